check: 1 > 0;
check: 2 > 0;
check: 3>0;
delete check 3, check 4;
