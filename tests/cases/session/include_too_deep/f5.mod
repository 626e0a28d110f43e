include f6.mod;
