param second second;
