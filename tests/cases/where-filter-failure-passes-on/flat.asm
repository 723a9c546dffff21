top
a1
