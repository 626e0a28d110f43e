include ./y.mod;
include ./x.mod;
