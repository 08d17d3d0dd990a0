# An independent model of what one sound's per-interval files must hold, written from the
# definitions of the indices with Tcl's own arithmetic (big integers, no overflow), so that
# the command's output can be compared with it byte for byte.
namespace eval ref {}

# Frame spectra as stored: every value truncated toward zero.
proc ref::frame {snd i fftlen opts} {
    dict with opts {}
    lmap x [$snd powerSpectrum -start $i -end [expr {$i + $fftlen - 1}] -fftlen $fftlen \
                -winlen $fftlen -windowtype $wintype -preemph $preemph -channel $channel] {
        expr {int($x)}
    }
}

proc ref::cell {x} { format %f $x }

# The texts that one interval [t0, t0 + n) with index k appends to each per-file table.
proc ref::interval {snd k t0 n fftlen frStart frEnd filtro opts} {
    set rows {}
    for {set j 0} {$j <= $n} {incr j} {
        lappend rows [frame $snd [expr {($t0 + $j) * $fftlen}] $fftlen $opts]
    }
    set out [dict create spect "" pow "" freq "" aci "" surf "" aciIf "" surfIf ""]
    foreach row [lrange $rows 0 end-1] {
        dict append out spect "[join $row \t]\t\n"
    }
    set end [lindex $rows $n]

    # Shannon: mean over the interval's frames of -sum p ln p.
    set S 0.0
    foreach row [lrange $rows 0 end-1] {
        set sum 0.0
        foreach v [lrange $row $frStart [expr {$frEnd - 1}]] {
            if {$v > $filtro} { set sum [expr {$sum + $v}] }
        }
        set h 0.0
        if {$sum != 0} {
            foreach v [lrange $row $frStart [expr {$frEnd - 1}]] {
                if {$v > $filtro && $v != 0} {
                    set p [expr {$v / $sum}]
                    set h [expr {$h + $p * log($p)}]
                }
            }
        }
        set S [expr {$S + $h}]
    }
    dict set out shannon [expr {$n == 0 ? -0.0 : $S / $n * -1.0}]

    set aciIfTot 0.0
    for {set b $frStart} {$b < $frEnd} {incr b} {
        set pow 0; set count 0; set num 0
        for {set j 0} {$j < $n} {incr j} {
            set v [lindex $rows $j $b]
            set next [lindex $rows [expr {$j + 1}] $b]
            if {$v > $filtro} {
                incr pow $v; incr count
                if {$next > $filtro} { incr num [expr {abs($v - $next)}] }
            }
        }
        set den $pow
        if {[lindex $end $b] > $filtro} { incr den [lindex $end $b] }
        dict append out pow "$pow\t"
        dict append out freq "$count\t"
        set bb [expr {$b - $frStart}]
        if {$den != 0} {
            set aci [cell [expr {double($num) / $den}]]
            dict append out aci "$aci\t"
            dict append out surf "$k\t$bb\t$aci\n"
            dict lappend out aciValues [expr {double($num) / $den}]
        } else {
            dict append out aci "0.000000\t "
            dict append out surf "$k\t$bb\t0\n"
            dict lappend out aciValues 0.0
        }
        if {$b + 1 < $frEnd} {
            set sumF 0.0; set numF 0.0
            for {set j 0} {$j <= $n} {incr j} {
                set v [lindex $rows $j $b]
                set w [lindex $rows $j [expr {$b + 1}]]
                if {$v > $filtro} {
                    set sumF [expr {$sumF + ($v + $w)}]
                    if {$j < $n && $w > $filtro} { set numF [expr {$numF + abs($v - $w)}] }
                }
            }
            if {$sumF != 0} {
                set x [expr {$numF / $sumF}]
                dict append out aciIf "[cell $x]\t"
                dict append out surfIf "$k\t$bb\t[cell $x]\n"
                set aciIfTot [expr {$aciIfTot + $x}]
            } else {
                dict append out aciIf "0.000000\t "
                dict append out surfIf "$k\t$bb\t0\n"
            }
        }
    }
    foreach key {pow freq aci aciIf} { dict append out $key \n }
    dict set out AciIfTot "[cell $aciIfTot]\n"
    return $out
}

# The per-interval tables of a whole sound analysed at the given starts.
proc ref::perInterval {path starts n fftlen frStart frEnd filtro opts} {
    set snd [snack::sound -file $path]
    set files [dict create spect "" pow "" freq "" aci "" surf "" aciIf "" surfIf "" AciIfTot "" shannon ""]
    set k 0
    foreach s $starts {
        set one [interval $snd $k $s $n $fftlen $frStart $frEnd $filtro $opts]
        foreach key {spect pow freq aci surf aciIf surfIf AciIfTot} {
            dict append files $key [dict get $one $key]
        }
        dict append files shannon "[cell [dict get $one shannon]]\t"
        dict lappend files aciRows [dict get $one aciValues]
        incr k
    }
    $snd destroy
    return $files
}

# The same tables as the command wrote them for sound `base`.
proc ref::written {base} {
    set files {}
    foreach key {spect pow freq aci surf aciIf surfIf AciIfTot shannon} {
        dict set files $key [slurp results/$base/${base}_$key.txt]
    }
    return $files
}

# Keys whose texts differ between two such dictionaries (empty when all agree).
proc ref::differences {want got} {
    set bad {}
    foreach key [dict keys $got] {
        if {[dict get $want $key] ne [dict get $got $key]} { lappend bad $key }
    }
    return $bad
}
