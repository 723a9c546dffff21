start
