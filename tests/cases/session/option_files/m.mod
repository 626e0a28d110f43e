param m m;
