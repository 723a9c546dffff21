top
a
