param never;
