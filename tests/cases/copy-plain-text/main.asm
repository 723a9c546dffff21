label:	mov eax, 1 ; one

    #include "x.inc"
	#include "x.inc"
#INCLUDE "x.inc"
#Include "x.inc"
; #include "x.inc"
#includ
#inc
last line without line feed