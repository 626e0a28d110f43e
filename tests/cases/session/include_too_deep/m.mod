param p;
include f1.mod;
