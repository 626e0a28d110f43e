param in_d1 in_d1;
