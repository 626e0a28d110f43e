include f9.mod;
