check: 1 > 0;
check: 2 > 0;
delete check 3333333333;
delete ,check 2222222222;
delete check 2.5, check 0.5;
delete check 1e30;
redeclare check 4294967297: 1 > 0;
redeclare check 3: 1 > 0;
delete check 2, check 1;
