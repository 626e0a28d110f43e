param here here;
