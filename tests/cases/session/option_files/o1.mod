param o1 o1;
