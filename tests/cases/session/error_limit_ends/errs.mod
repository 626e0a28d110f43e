param p;
param ];
set );
param ,;
param q;
