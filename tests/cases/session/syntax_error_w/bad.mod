param p;

display );
display 2;
