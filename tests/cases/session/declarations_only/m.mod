param p;
set S;
