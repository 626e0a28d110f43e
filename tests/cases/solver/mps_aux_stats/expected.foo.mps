NAME          foo
ROWS
 L  R0001
 L  R0002
 N  R0003
COLUMNS
    C0001     R0001     1
    C0001     R0002     1
    C0001     R0003     3
    C0002     R0001     1
    C0002     R0002     3
    C0002     R0003     2
RHS
    B         R0001     4
    B         R0002     6
BOUNDS
 UP BOUND     C0002     4
ENDATA
