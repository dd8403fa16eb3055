; A program of two modules for the debug information's tests: a macro, a .repeat, .proc scopes and
; cheap locals.
.include "macros.inc"
.import count
.export start
.segment "CODE"
start:  ldx #0
@loop:  inc2 $10
        jsr count
        .repeat 2
        nop
        .endrepeat
        jmp @loop
.proc helper
        lda #1
again:  bne again
@inner: rts
.endproc
limit = $40
