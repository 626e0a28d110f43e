param p;
