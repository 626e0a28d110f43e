include f14.mod;
