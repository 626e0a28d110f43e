include inc.mod;
param q q;
