main.flat: main.asm io.inc delay.inc
io.inc:
delay.inc:
