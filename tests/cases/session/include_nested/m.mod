include b.mod;
param q q;
