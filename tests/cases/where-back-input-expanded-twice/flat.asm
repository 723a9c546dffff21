line1
A1
line1

; multiple include of file a.inc suppressed
line3
A3
line3
