top
b1
b2
