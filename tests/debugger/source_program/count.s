.export count
.segment "CODE"
.proc count
        inx
        rts
.endproc
