include f5.mod;
