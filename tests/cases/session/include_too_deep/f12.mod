include f13.mod;
