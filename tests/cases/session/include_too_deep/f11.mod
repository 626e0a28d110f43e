include f12.mod;
