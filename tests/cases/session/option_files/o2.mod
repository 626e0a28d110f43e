param o2 o2;
