include f7.mod;
