; Blink an LED: the program, with its definitions pulled in.
; I/O registers
.equ DDRB, 0x04
.equ PORTB, 0x05
.equ LED_PIN, 5

; multiple include of file io.inc suppressed
delay:
    ldi r17, 255
delay_loop:
    dec r17
    brne delay_loop
    ret

start:
    ldi r16, 1 << LED_PIN
    out DDRB, r16
loop:
    out PORTB, r16
    rcall delay
    eor r16, r16
    rjmp loop
