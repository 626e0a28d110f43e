include f10.mod;
