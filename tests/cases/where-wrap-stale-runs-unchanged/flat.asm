start:
; io
    bad two
    bad one
