param c;
