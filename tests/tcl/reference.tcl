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
                dict lappend out aciIfValues $x
                set aciIfTot [expr {$aciIfTot + $x}]
            } else {
                dict append out aciIf "0.000000\t "
                dict append out surfIf "$k\t$bb\t0\n"
                dict lappend out aciIfValues 0.0
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
        dict lappend files aciIfRows [expr {[dict exists $one aciIfValues] ? [dict get $one aciIfValues] : {}}]
        dict lappend files shannonValues [dict get $one shannon]
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

# The per-file totals, level-class distances and evenness of a sound from its ACI rows and
# its per-interval power and occupancy lines.
proc ref::perFile {files classes} {
    set rows [expr {[dict exists $files aciRows] ? [dict get $files aciRows] : {}}]
    set out [dict create]

    # Power and occupancy: column sums of the per-interval lines.
    foreach {key suffix} {pow TotPow freq TotFreq} {
        set tot {}
        foreach line [split [string trimright [dict get $files $key] \n] \n] {
            set cells [split [string trimright $line \t] \t]
            if {$tot eq ""} { set tot [lrepeat [llength $cells] 0] }
            set i 0
            foreach c $cells { lset tot $i [expr {[lindex $tot $i] + $c}]; incr i }
        }
        dict set out $suffix [join [lmap c $tot {string cat $c \t}] ""]
        dict set out ${suffix}Sum [tcl::mathop::+ 0 {*}$tot]
    }

    # ACI totals per bin, in interval order.
    set nBins [expr {[llength $rows] ? [llength [lindex $rows 0]] : 0}]
    set aciTot {}
    for {set j 0} {$j < $nBins} {incr j} {
        set t 0.0
        foreach row $rows { set t [expr {$t + [lindex $row $j]}] }
        lappend aciTot $t
    }
    dict set out aciTotRow $aciTot
    dict set out AciTot [join [lmap c $aciTot {string cat [cell $c] \t}] ""]

    # Level classes and edit distances between consecutive rows.
    set lev {}; set levDiff {}
    if {[llength $rows]} {
        set max [lindex $rows 0 0]
        foreach row $rows { foreach x $row { if {$x > $max} { set max $x } } }
        set width [expr {double($max) / $classes}]
        set classRows [lmap row $rows {
            lmap x $row {
                if {$width == 0} { set c same } elseif {$x != $max} {
                    set c [expr {int($x / $width)}]
                } else { set c [expr {int($x / $width - 1.0)}] }
            }
        }]
        set prev -1
        for {set k 0} {$k + 1 < [llength $classRows]} {incr k} {
            set d [editDistance [lindex $classRows $k] [lindex $classRows $k+1]]
            if {$prev >= 0} { lappend levDiff [expr {abs($d - $prev)}] }
            lappend lev $d
            set prev $d
        }
    }
    set levSum [expr {double([tcl::mathop::+ 0 {*}$lev])}]
    set levDiffSum [expr {double([tcl::mathop::+ 0 {*}$levDiff])}]
    dict set out lev [join [lmap c $lev {string cat $c \t}] ""]
    dict set out levDiff [join [lmap c $levDiff {string cat $c \t}] ""]
    dict set out levSum $levSum
    dict set out levDiffSum $levDiffSum
    dict set out levRapp [expr {$levSum != 0 ? $levDiffSum / $levSum : 0.0}]

    # Evenness: inverse Simpson index of the bins' shares of the grand total.
    set grand 0.0
    for {set j 0} {$j < $nBins} {incr j} { foreach row $rows { set grand [expr {$grand + [lindex $row $j]}] } }
    if {$grand == 0} {
        dict set out evennessCells [string repeat "0.000000\t" $nBins]
        dict set out evenness Inf
    } else {
        set sq 0.0
        foreach t $aciTot { set p [expr {$t / $grand}]; set sq [expr {$sq + $p * $p}] }
        dict set out evennessCells ""
        dict set out evenness [expr {1.0 / $sq}]
    }
    return $out
}

proc ref::editDistance {a b} {
    set n [llength $a]; set m [llength $b]
    set prev {}
    for {set j 0} {$j <= $m} {incr j} { lappend prev $j }
    for {set i 1} {$i <= $n} {incr i} {
        set cur [list $i]
        for {set j 1} {$j <= $m} {incr j} {
            if {[lindex $a $i-1] eq [lindex $b $j-1]} {
                lappend cur [lindex $prev $j-1]
            } else {
                lappend cur [expr {1 + min([lindex $prev $j-1], [lindex $cur $j-1], [lindex $prev $j])}]
            }
        }
        set prev $cur
    }
    lindex $prev $m
}

# "%f" as the platform's printf writes an infinity.
proc ref::fixed {x} { expr {$x eq "Inf" ? "inf" : [cell $x]} }
