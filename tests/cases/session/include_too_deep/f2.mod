include f3.mod;
