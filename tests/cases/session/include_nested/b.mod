include c.mod;
param r r;
