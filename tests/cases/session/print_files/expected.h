x 0
