top
more
