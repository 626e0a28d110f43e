include f11.mod;
