include x.mod;
