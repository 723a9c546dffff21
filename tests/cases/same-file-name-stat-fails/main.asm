; the program
start:
    rjmp start
