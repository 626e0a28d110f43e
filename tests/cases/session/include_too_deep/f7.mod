include f8.mod;
