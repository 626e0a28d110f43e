include f2.mod;
