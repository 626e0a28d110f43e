param p;
include nofile;
param q;
