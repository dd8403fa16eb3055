; Orvane monitor: 512 bytes at $FE00-$FFFF.
;
; What the board runs after the reset key: it keeps the eight LED digits lit, reads the keypad, lets you
; examine and change memory, start a program, plant a breakpoint, show the registers when it is hit, and
; write memory to tape or read it back.
;
; The keys:
;   0-f    hex digits
;   m      memory: type an address, any function key, then type bytes into that address
;   g      go: type an address, any function key runs the program there
;   p      breakpoint: type an address, any function key plants a BRK there (or takes it out again)
;   s      store to tape: type the start address, a function key, the end address (not stored), a
;          function key, and the block goes out on the tape line
;   l      load from tape: reads a block back to the addresses it was stored from
;   r      resume a program stopped at a breakpoint
;   ^ v    step the address up or down and show the byte there
;
; A program that wants its breakpoints (BRK) reported puts REGS ($FFB3) into the IRQ vector at $1E/$1F
; and the amount to step back into $1B (2 points back at the BRK itself); the monitor never sets these.
;
; Routines a program may call:
;   $FE00 SHOWFOUR  $FE0C SCAN      $FE5E SHOWMEM   $FE64 SHOWWORD  $FE6F SHOWBYTE  $FE7A SHOWDIGIT
;   $FE88 HEXENTRY  $FEA0 ADVANCE   $FEB1 TAPEOUT   $FECD FULLBIT   $FED0 HALFBIT   $FEDD TAPEIN
;   $FEF3 RESET     $FFB3 REGS
;
; Every entry point is pinned with .assert: the space between them is used to the byte, and a routine
; that grows into the next one stops the build.

; ---------------------------------------------------------------------------------------------------
; Page zero. $00-$1F belong to the monitor; $20 up is yours.

ADDR     = $00          ; memory address of "m", low byte first (also the field "^" and "v" step)
GOADDR   = $02          ; address "g" jumps to
BRKADDR  = $04          ; breakpoint address of "p"
TSTART   = $06          ; tape block start, advanced as bytes go
TEND     = $08          ; tape block end, not included
SAVEA    = $0A          ; registers saved by REGS, reloaded by "r"
SAVEX    = $0B
SAVEY    = $0C
SAVEP    = $0D          ; status saved by REGS ...
KEYCODE  = $0D          ; ... and every key code SCAN returns
SCANMODE = $0E          ; bit 7 set: SCAN waits for a key; clear: one pass over the display only
KEYSTATE = $0F          ; $80 no key held, $40 a key seen once, else the last stable port reading
DISPBUF  = $10          ; $10-$17: segment patterns of digits 0 (left) to 7 (right)
BRKBYTE  = $18          ; the opcode a breakpoint replaced
KEYCOL   = $19          ; column of the key being debounced
SCRATCH  = $1A          ; X (or Y) kept here for a moment
BRKADJ   = $1B          ; REGS subtracts this from the return address
NMIVEC   = $1C          ; the NMI handler's address
IRQVEC   = $1E          ; the IRQ/BRK handler's address

; RIO 0. Port A: bits 0-2 select the digit and keypad column, bits 3-5 read the keypad rows (0 = key
; down; bit 5 keys 0-7, bit 3 keys 8-f, bit 4 the function keys), bit 6 is the tape output and bit 7
; the tape input. Port B: the segments of the selected digit (bit 0 = a ... bit 6 = g, bit 7 = point).
PORTA    = $0E20
PORTB    = $0E21
DDRA     = $0E22
DDRB     = $0E23

; Patterns used for the command prompts in digit 0.
PROMPT   = $F7          ; "m"; "g", "p", "s" are $F5, $F3, $F1: PROMPT EOR (2 * command number)
ENDPROMPT = $08         ; end address of "s"

        .segment "MONITOR"

; ---------------------------------------------------------------------------------------------------
; SHOWFOUR ($FE00): show four page-zero bytes as eight hex digits, then SCAN.
;   in:  X = address of the byte for digits 6-7; X-1 goes to 4-5, X-2 to 2-3, X-3 to 0-1
;   out: as SCAN (key code in A and KEYCODE, carry set for a function key); X = X-4, Y = 0

SHOWFOUR:
        ldy     #6
@byte:  lda     $00,x
        jsr     SHOWBYTE
        dex
        dey
        dey
        bpl     @byte
        ; fall into SCAN

; ---------------------------------------------------------------------------------------------------
; SCAN ($FE0C): light the display from DISPBUF and read the keypad.
;
; Each digit, 7 down to 0, gets its pattern on port B, is selected (which latches it) and lit for 256
; rounds of an 11-cycle loop: about 2,850 cycles a digit, 23 ms for the eight. The keypad column is the
; digit number, so the rows read right after selecting a digit belong to that column.
;
; Debounce: with no key held any column with a row low is noted in KEYCOL and KEYSTATE goes to $40.
; Then only that column counts: all rows high again means released ($80); the same reading as
; KEYSTATE means still held; a different one becomes KEYSTATE and is the key. So a key shows up on the
; second pass that sees it, and only once until it is let go.
;
; Readings are kept AND $7F: the tape input (bit 7) is masked off, and bit 6, an input here, always
; reads 1, so a reading always has bit 6 set - as has $40 - and never bit 7 - as has $80.
;
;   in:  SCANMODE bit 7 set: pass after pass until a key is reported; clear: one pass
;   out: A = KEYCODE = key code: $00-$0F the digits, $10-$17 m g p s l r ^ v; carry set for a
;        function key, V set. One pass without a key gives $18 (carry set).
;        Port B = 0, DDRA = $07. X kept, Y = 0.

SCAN:
        stx     SCRATCH
        ldy     #0              ; every hold below runs the full 256 rounds
@pass:  ldx     #7
        stx     DDRA            ; digit lines out; rows and tape lines in
@digit: lda     DISPBUF,x
        sta     PORTB
        stx     PORTA           ; select the digit: this latches the pattern
        lda     PORTA
        and     #$7F
        bit     KEYSTATE        ; V clear only in state $80
        bvs     @held
        stx     KEYCOL          ; no key held yet: this column is the candidate
@held:  cpx     KEYCOL
        bne     @hold           ; another column: nothing to look at
        cmp     #$78
        bcs     @release        ; all rows high
        bvc     @first
        cmp     KEYSTATE
        beq     @hold           ; held as before
        sta     KEYSTATE
        bne     @report         ; a new reading: that is the key
@first: lda     #$40
        bne     @state
@release:
        lda     #$80
@state: sta     KEYSTATE
@hold:  cmp     ($0F,x)         ; a 6-cycle read; its pointer lies in DISPBUF, never in the RIO page
        dey
        bne     @hold
        dex
        bpl     @digit
        bit     SCANMODE
        bmi     @pass
        tya                     ; one pass, no key: A = 0 gives code $18
@report:
        eor     #$38            ; rows to 0-7 ($20), 8-f ($08), function ($10)
        and     #$1F
        sta     KEYCODE
        cmp     #$10            ; carry set for a function key
        sty     PORTB           ; blank: the next digit select latches nothing stale
        ldx     SCRATCH
        rts
        .byte   $FF             ; spare

; ---------------------------------------------------------------------------------------------------
; SHOWMEM ($FE5E): show the byte at the address held in page zero at X in digits 6-7.
;   in:  X = page-zero address of the pointer (low byte first)
;   out: X kept, Y = 6; A clobbered

SHOWMEM:
        lda     ($00,x)
        ldy     #6
        bne     SHOWBYTE

; ---------------------------------------------------------------------------------------------------
; SHOWWORD ($FE64): show the 16-bit value held in page zero at X in digits 1-4.
;   in:  X = page-zero address of the value (low byte first)
;   out: X kept, Y = 3; A clobbered

SHOWWORD:
        lda     $01,x
        ldy     #1
        jsr     SHOWBYTE
        lda     $00,x
        ldy     #3
        ; fall into SHOWBYTE

; ---------------------------------------------------------------------------------------------------
; SHOWBYTE ($FE6F): put the two hex digits of A into DISPBUF, high digit at digit Y, low at Y+1.
; SHOWDIGIT ($FE7A): put the low hex digit of A into DISPBUF at digit Y.
;   in:  A, Y = digit 0-7 (0-6 for SHOWBYTE)
;   out: A = the pattern stored last; X, Y kept; SCRATCH used

SHOWBYTE:
        pha
        iny
        jsr     SHOWDIGIT       ; low digit first, one place right
        dey
        pla
        lsr     a
        lsr     a
        lsr     a
        lsr     a
        ; fall into SHOWDIGIT for the high digit

SHOWDIGIT:
        stx     SCRATCH
        and     #$0F
        tax
        lda     SEGMENTS,x
        sta     DISPBUF,y
        ldx     SCRATCH
RETURN: rts

; ---------------------------------------------------------------------------------------------------
; HEXENTRY ($FE88): let the user type a 16-bit value. Shows the word in digits 1-4, and each digit key
; shifts it four bits left and into the low end; a function key ends the entry.
;   in:  X = page-zero address of the word (low byte first); SCANMODE bit 7 set
;   out: A = the function key's code, carry set; X kept, Y = 0

HEXENTRY:
        jsr     SHOWWORD
        jsr     SCAN
        bcs     RETURN
        ldy     #4
@shift: asl     $00,x
        rol     $01,x
        dey
        bne     @shift
        ora     $00,x
        sta     $00,x
        bvs     HEXENTRY        ; SCAN leaves V set after a key
        .byte   $FF             ; spare

; ---------------------------------------------------------------------------------------------------
; ADVANCE ($FEA0): add one to the word at TSTART+X and compare it with the word at TEND+X.
; COMPARE ($FEA6): the comparison alone.
;   in:  X = 0 for the tape block's start and end
;   out: Z set when they are equal; A clobbered; X, Y kept

ADVANCE:
        inc     TSTART,x
        bne     COMPARE
        inc     TSTART+1,x
COMPARE:
        lda     TSTART,x
        cmp     TEND,x
        bne     @done
        lda     TSTART+1,x
        cmp     TEND+1,x
@done:  rts

; ---------------------------------------------------------------------------------------------------
; TAPEOUT ($FEB1): write the byte in A to tape on port A bit 6: a start bit (low), the eight bits
; least significant first, a stop bit (high), one bit time each.
;
; A set bit above the data (SEC, ROR) marks the end: after eight shifts A is 0 and the carry brings
; that bit back as the stop bit. The last bit time is the tail of FULLBIT, falling through.
;   in:  A = the byte
;   out: DDRA = $40 (only the tape line is an output), tape line high; A = 0, Y clobbered; X kept

TAPEOUT:
        ldy     #$40
        sty     DDRA
        ldy     #$07            ; the start bit: line low
        sec
        ror     a               ; carry = bit 0; the marker takes bit 7
        bne     @level          ; A holds the marker: always taken
@bit:   jsr     FULLBIT
        ldy     #$07            ; the carry's level for the line
        bcc     @shift
        ldy     #$FF
@shift: lsr     a
@level: sty     PORTA
        bne     @bit            ; data bits still to go
        bcs     @bit            ; the marker: the stop bit goes out next
        ; fall into FULLBIT for the stop bit's time

; ---------------------------------------------------------------------------------------------------
; FULLBIT ($FECD): wait one bit time, two half bits: 3,316 cycles with the call.
; HALFBIT ($FED0): wait half a bit time: 72 rounds and then 256 of a 5-cycle loop, 1,658 cycles with
; the call. About 300 bits a second at 1 MHz.
;   out: A, Y and the flags other than N and Z kept; X kept (through SCRATCH)

FULLBIT:
        jsr     HALFBIT
HALFBIT:
        stx     SCRATCH
        ldx     #72
@count: dex
        bne     @count
@full:  dex
        bne     @full
        ldx     SCRATCH
        rts

; ---------------------------------------------------------------------------------------------------
; TAPEIN ($FEDD): read one byte from tape on port A bit 7. Waits for the start bit, then samples each
; bit in its middle, least significant first; neither the start nor the stop bit is checked.
;
; ASL PORTA moves the input line into the carry. A starts as $80 so the eighth ROR drops that bit into
; the carry and ends the loop.
;   in:  DDRA bit 7 clear (SCAN leaves it so)
;   out: A = the byte; X, Y kept

TAPEIN:
        bit     PORTA
        bmi     TAPEIN          ; wait for the line to go low
        jsr     HALFBIT         ; to the middle of the start bit
        lda     #$80
@bit:   jsr     FULLBIT
        asl     PORTA
        ror     a
        bcc     @bit
        jmp     FULLBIT         ; through the stop bit

; ---------------------------------------------------------------------------------------------------
; RESET ($FEF3), through the reset vector. The decimal flag is left as it was.

RESET:
        ldx     #$FF
        txs
        stx     DDRB            ; all segment lines out
        stx     SCANMODE        ; SCAN waits for keys

; The command loop: every digit shows just its point (and KEYSTATE starts over at $80), then a key:
; a digit key starts the loop again, a function key is carried out.

CMDLOOP:
        lda     #$80
        ldx     #$F7            ; $F7 + $18 wraps to $0F: KEYSTATE, then the display
@fill:  sta     $18,x
        inx
        bne     @fill           ; X = 0: "^" and "v" step the memory address
CMDSCAN:
        jsr     SCAN
CMDKEY: bcc     CMDLOOP
        bcs     COMMAND

; l: header into TEND and TSTART, then the bytes to where the header says, each also on port B.
; It waits for the tape as long as it takes; the reset key ends the wait. A header with start = end
; brings no bytes; one with the end below the start runs on through $FFFF and $0000, page zero
; included, so such a tape can overwrite the monitor's own variables.

LOAD:   ldx     #4
@head:  jsr     TAPEIN
        sta     TSTART-1,x
        dex
        bne     @head
        jsr     COMPARE
        beq     CMDLOOP
@data:  jsr     TAPEIN
        sta     (TSTART,x)
        sta     PORTB
        jsr     ADVANCE
        bne     @data
        beq     CMDLOOP

; s: start address typed, now the end; then the block: end high, end low, start high, start low, and
; the bytes from start up to end (none when they are equal). Back to the command loop without
; clearing the display.

STORETAPE:
        ldx     #ENDPROMPT
        stx     DISPBUF         ; ENDPROMPT is also TEND
        jsr     HEXENTRY
        ldx     #4
@head:  lda     TSTART-1,x      ; $09, $08, $07, $06
        jsr     TAPEOUT
        dex
        bne     @head
        jsr     COMPARE         ; start = end: the header alone
        beq     CMDSCAN
@data:  lda     (TSTART,x)
        jsr     TAPEOUT
        jsr     ADVANCE
        bne     @data
        beq     CMDSCAN

; Data mode: the byte at the address held at X (ADDR, or BRKADDR after "p") in digits 6-7; a digit
; key shifts into it, a function key is carried out as a command.

DIGITKEY:
        lda     ($00,x)
        asl     a
        asl     a
        asl     a
        asl     a
        ora     KEYCODE
STORE:  sta     ($00,x)
SHOW:   jsr     SHOWWORD
DATA:   jsr     SHOWMEM
        jsr     SCAN
        bcc     DIGITKEY

; A function key: A = its code, X = the address field "^" and "v" step, Y = 0.

COMMAND:
        and     #7
        cmp     #4
        bcc     ADDRESSCMD      ; m g p s
        beq     LOAD            ; l
        cmp     #6
        bcc     RESUME          ; r
        beq     UP              ; ^
        lda     $00,x           ; v
        bne     @low
        dec     $01,x
@low:   dec     $00,x
        bcs     SHOW            ; carry still set from the CMP
UP:     inc     $00,x
        bne     SHOW
        inc     $01,x
        bcs     SHOW

; m, g, p, s: command number n = 0-3 names the field at 2n and the prompt PROMPT EOR 2n.

ADDRESSCMD:
        asl     a
        tax
        eor     #PROMPT
        sta     DISPBUF
        sty     DISPBUF+6       ; digits 6 and 7 blank while the address is typed
        sty     DISPBUF+7
        jsr     HEXENTRY
        cpx     #BRKADDR
        beq     TOGGLE          ; p
        bcs     STORETAPE       ; s
        txa
        beq     DATA            ; m
        jmp     (GOADDR)        ; g

; p: a byte other than 0 goes to BRKBYTE and a BRK (0) takes its place; a 0 gets BRKBYTE back.
; Then data mode on the breakpoint address.

TOGGLE: lda     ($00,x)
        beq     @back
        sta     BRKBYTE
        tya                     ; Y = 0: the BRK opcode
        .byte   $2C             ; BIT abs: skips the next instruction
@back:  lda     BRKBYTE
        bcs     STORE           ; carry set by CPX #BRKADDR

; r: back into the program that REGS reported, with its A, X and Y as saved (or changed since).

RESUME: lda     SAVEA
        ldx     SAVEX
        ldy     SAVEY
        rti

        .byte   $FF             ; spare

; ---------------------------------------------------------------------------------------------------
; NMI ($FFAD) and IRQ/BRK ($FFB0) go on through the vectors in RAM, which the program sets.

NMI:    jmp     (NMIVEC)
IRQ:    jmp     (IRQVEC)

; ---------------------------------------------------------------------------------------------------
; REGS ($FFB3): the register display, for the IRQ/BRK vector at IRQVEC.
;
; Shows A, X, Y and the status in digits 0-1, 2-3, 4-5, 6-7 and waits for a key. Then takes BRKADJ
; off the return address on the stack, so that RTI (the "r" command) resumes there, shows that
; address in digits 0-3 and the stack pointer as 01xx in 4-7, and waits again: a function key is
; carried out as a command, a digit key goes back to the command loop.
;
; The second display is built in DISPBUF itself: SHOWFOUR reads $13 to $10 and writes each byte's
; digits only over bytes it has already read.

REGS:   sta     SAVEA
        stx     SAVEX
        sty     SAVEY
        pla                     ; the status the interrupt pushed
        pha
        sta     SAVEP
        lda     #$FF
        sta     SCANMODE
        ldx     #SAVEP
        jsr     SHOWFOUR
        cld
        pla                     ; the status, kept in X for a moment
        tax
        pla                     ; return address low
        sec
        sbc     BRKADJ
        sta     DISPBUF+1
        pla                     ; return address high
        sbc     #0
        sta     DISPBUF
        pha
        lda     DISPBUF+1
        pha
        txa
        pha
        tsx
        stx     DISPBUF+3
        iny                     ; Y = 0 after SCAN
        sty     DISPBUF+2
        ldx     #DISPBUF+3
        jsr     SHOWFOUR
        ldx     #ADDR
        jmp     CMDKEY

; ---------------------------------------------------------------------------------------------------
; Segment patterns of the hex digits 0-F.

        .segment "SEGMENTS"
SEGMENTS:
        .byte   $3F, $06, $5B, $4F, $66, $6D, $7D, $07, $7F, $6F, $77, $7C, $58, $5E, $79, $71

        .segment "VECTORS"
        .word   NMI, RESET, IRQ

; ---------------------------------------------------------------------------------------------------
; The fixed addresses.

        .assert SHOWFOUR = $FE00, error, "SHOWFOUR moved"
        .assert SCAN = $FE0C, error, "SCAN moved"
        .assert SHOWMEM = $FE5E, error, "SHOWMEM moved"
        .assert SHOWWORD = $FE64, error, "SHOWWORD moved"
        .assert SHOWBYTE = $FE6F, error, "SHOWBYTE moved"
        .assert SHOWDIGIT = $FE7A, error, "SHOWDIGIT moved"
        .assert HEXENTRY = $FE88, error, "HEXENTRY moved"
        .assert ADVANCE = $FEA0, error, "ADVANCE moved"
        .assert COMPARE = $FEA6, error, "COMPARE moved"
        .assert TAPEOUT = $FEB1, error, "TAPEOUT moved"
        .assert FULLBIT = $FECD, error, "FULLBIT moved"
        .assert HALFBIT = $FED0, error, "HALFBIT moved"
        .assert TAPEIN = $FEDD, error, "TAPEIN moved"
        .assert RESET = $FEF3, error, "RESET moved"
        .assert NMI = $FFAD, error, "NMI moved"
        .assert IRQ = $FFB0, error, "IRQ moved"
        .assert REGS = $FFB3, error, "REGS moved"
        .assert SEGMENTS = $FFEA, error, "segment table moved"
