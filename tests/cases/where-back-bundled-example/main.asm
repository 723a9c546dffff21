; Blink an LED: the program, with its definitions pulled in.
#include "io.inc"
#include "delay.inc"

start:
    ldi r16, 1 << LED_PIN
    out DDRB, r16
loop:
    out PORTB, r16
    rcall delay
    eor r16, r16
    rjmp loop
