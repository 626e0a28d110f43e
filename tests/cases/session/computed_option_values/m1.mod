param q;
param r;
