include f4.mod;
