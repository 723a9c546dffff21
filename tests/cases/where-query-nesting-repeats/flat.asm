m1
a1
b1
b2
a3
m3

; multiple include of file a.inc suppressed
m6