param a a;
