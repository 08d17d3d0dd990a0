# Runs hostile cases one after the other in this process and reports each on stdout:
#     start INDEX
#     done INDEX OUTCOME KIND MILLISECONDS MESSAGE
# A case that crashes or hangs the process leaves its start line without a done line; the
# parent (hostile.test) sees that and goes on with a fresh process.
#
#     tclsh hostile_worker.tcl CASEFILE SOUNDDIR WORKDIR FIRST
#
# CASEFILE holds one case per line: {index sounds settings}.

lassign $argv caseFile soundDir workDir first
# tcltest, loaded by load.tcl, would read these as its own options.
set argv {}
source [file join [file dirname [info script]] load.tcl]

# The command's own refusals name the setting or the value they refuse.
set kinds {
    command {^(sndLen|frStart|frEnd|tStart|tEnd|tInt|distInt|filtro|random|nRand|classiLev|v\(fftlen\)|length in seconds)[: ]}
    command {^band frStart -?\d+ to frEnd -?\d+ does not fit}
    command {^random intervals cannot be drawn from }
    command {^not enough memory for }
    command {^powerSpectrum gave }
    file    {^couldn't open "}
    file    {^(results/|parametri\.txt|rand\.txt|DEBUG_C\.txt)[^:]*: }
    file    {^expected a list of values but got: }
    tcl     {^expected (floating-point number|integer|boolean value) but got }
    tcl     {^can't use (non-numeric|empty|invalid octal) (string|floating-point value|number)}
    tcl     {^(missing operator|empty expression|invalid bareword|missing operand|syntax error in expression|unexpected end of file|extra characters after close-brace|missing close-brace|missing close-bracket|unbalanced)}
    tcl     {^(divide by zero|domain error|floating-point value too large|integer value too large)}
    tcl     {^floating point value is Not a Number}
    snack   {^-(fftlength|channel|windowtype|winlength|preemphasisfactor|start|end) }
    snack   {^FFT window out of bounds}
}

proc classify {msg} {
    foreach {kind re} $::kinds {
        if {[regexp -- $re $msg]} { return $kind }
    }
    return unclear
}

# The last trace block of sound base: the kept integers by label.
proc traceOf {base} {
    set blocks [split [string map [list "\nsndName " "\x00"] "\n[slurp parametri.txt]"] \x00]
    set block {}
    foreach b $blocks {
        if {[lindex [split $b \n] 0] eq $base} { set block $b }
    }
    set t {}
    foreach {label key} {sndlen sndLen frStart frStart frEnd frEnd tStart tStart tEnd tEnd tInt tInt
                         distInt distInt fitro filtro random random nRand nRand {$v(fftlen)} fftlen
                         {$a(classiLev)} classiLev} {
        if {![regexp -line "^[regsub -all {[$()]} $label {\\&}] (-?\\d+)$" $block -> value]} {
            error "trace of $base has no $label line"
        }
        dict set t $key $value
    }
    regexp {n intervalli fft \t (-?\d+) } $block -> nFrames
    dict set t nFrames $nFrames
    return $t
}

# Tab-ended cells of one line; a cell may be followed by one blank (an undefined ACI).
proc cells {line} {
    set parts [split $line \t]
    if {[string trim [lindex $parts end]] ne ""} { error "line does not end with a tab: [string range $line 0 60]" }
    return [lmap c [lrange $parts 0 end-1] {string trimleft $c " "}]
}

proc linesOf {path} {
    set text [slurp $path]
    if {$text eq ""} { return {} }
    if {[string index $text end] ne "\n"} { error "[file tail $path] does not end with a line feed" }
    # An empty band gives lines that are empty but still count.
    return [lrange [split $text \n] 0 end-1]
}

proc checkCells {what values count pattern} {
    if {[llength $values] != $count} { error "$what: [llength $values] cells, want $count" }
    foreach v $values {
        if {![regexp $pattern $v]} { error "$what: cell \"$v\" is not a number" }
    }
}

set real {^-?(\d+\.\d{6}|inf|nan)$}
set int {^-?\d+$}

# How many intervals the settings give: the grid, or nRand random draws.
proc wantIntervals {t} {
    dict with t {}
    if {$random != 0} { return [expr {$nRand > 0 ? $nRand : 0}] }
    set n 0
    for {set s $tStart} {$s < $tEnd} {incr s $distInt} {
        if {$s + $tInt >= $nFrames || ($s + $tInt) * $fftlen >= $sndLen - $fftlen} break
        incr n
    }
    return $n
}

# One sound's 16 files: their names, line and cell counts, and totals that add up.
proc checkSound {base} {
    set t [traceOf $base]
    set nBins [expr {[dict get $t frEnd] - [dict get $t frStart]}]
    set nIf [expr {max($nBins - 1, 0)}]
    set dir results/$base
    set want [lsort [lmap s {_AciEvenness _AciIfTot _AciTot _TotFreq _TotPow _aci _aciIf _freq _lev
                             _levDiff _levRapp _pow _shannon _spect _surf _surfIf} {string cat $base $s .txt}]]
    set got [lsort [glob -nocomplain -tails -directory $dir *]]
    if {$got ne $want} { error "$dir holds {$got}" }
    set f $dir/$base

    set aci [linesOf ${f}_aci.txt]
    set n [llength $aci]
    if {$n != [wantIntervals $t]} { error "$n intervals, want [wantIntervals $t] ($t)" }
    foreach line $aci { checkCells _aci [cells $line] $nBins $::real }
    set ifLines [linesOf ${f}_aciIf.txt]
    if {[llength $ifLines] != $n} { error "_aciIf: [llength $ifLines] lines for $n intervals" }
    foreach line $ifLines { checkCells _aciIf [cells $line] $nIf $::real }
    set tot [linesOf ${f}_AciIfTot.txt]
    if {[llength $tot] != $n} { error "_AciIfTot: [llength $tot] lines for $n intervals" }
    foreach line $tot { checkCells _AciIfTot [list $line] 1 $::real }

    # The per-file totals are the column sums of the per-interval lines.
    foreach {lines total} {_pow _TotPow _freq _TotFreq} {
        set rows [linesOf $f$lines.txt]
        if {[llength $rows] != $n} { error "$lines: [llength $rows] lines for $n intervals" }
        set sums [lrepeat $nBins 0]
        foreach line $rows {
            set c [cells $line]
            checkCells $lines $c $nBins $::int
            set sums [lmap s $sums v $c {expr {$s + $v}}]
        }
        set row [cells [slurp $f$total.txt]]
        checkCells $total $row $nBins $::int
        if {$row ne $sums} { error "$total {$row} is not the sum of $lines {$sums}" }
    }
    checkCells _AciTot [cells [slurp ${f}_AciTot.txt]] $nBins $::real
    checkCells _shannon [cells [slurp ${f}_shannon.txt]] $n $::real

    set spect [linesOf ${f}_spect.txt]
    if {[llength $spect] != $n * [dict get $t tInt]} {
        error "_spect: [llength $spect] lines for $n intervals of [dict get $t tInt] frames"
    }
    foreach line $spect { checkCells _spect [cells $line] [expr {[dict get $t fftlen] / 2}] $::int }
    foreach {file per} [list _surf $nBins _surfIf $nIf] {
        set rows [linesOf $f$file.txt]
        if {[llength $rows] != $n * $per} { error "$file: [llength $rows] lines, want [expr {$n * $per}]" }
        foreach line $rows {
            if {![regexp {^\d+\t\d+\t(-?\d+\.\d{6}|0|inf|nan)$} $line]} { error "$file: line \"$line\"" }
        }
    }
    checkCells _lev [cells [slurp ${f}_lev.txt]] [expr {max($n - 1, 0)}] $::int
    checkCells _levDiff [cells [slurp ${f}_levDiff.txt]] [expr {max($n - 2, 0)}] $::int
    checkCells _levRapp [cells [slurp ${f}_levRapp.txt]] 1 $::real
    set even [cells [slurp ${f}_AciEvenness.txt]]
    if {[llength $even] != 1 && [llength $even] != $nBins + 1} { error "_AciEvenness: [llength $even] cells" }
    checkCells _AciEvenness $even [llength $even] $::real
    return $n
}

# The whole tree after TCL_OK; an error says what is wrong with it.
proc checkTree {sounds} {
    set total 0
    foreach s $sounds { incr total [checkSound [file rootname $s]] }
    set top [lsort [glob -nocomplain -tails -directory results *]]
    set bases [lsort [lmap s $sounds {file rootname $s}]]
    if {[llength $sounds] > 1} {
        set tables [lsort {AciIfTotAll.txt AciTotAll.txt EvennessAll.txt Summary.txt TotFreqAll.txt
                           levAll.txt levDiffAll.txt levRappAll.txt powTotAll.txt shannonAll.txt}]
        if {$top ne [lsort [concat $bases $tables]]} { error "results/ holds {$top}" }
        set rows [lrange [linesOf results/Summary.txt] 1 end]
        if {[llength $rows] != [llength $sounds]} { error "Summary: [llength $rows] rows" }
        foreach row $rows { checkCells Summary [cells $row] 9 {^-?(\d+|\d+\.\d{6}|inf|nan)$} }
        foreach table {powTotAll TotFreqAll levAll levDiffAll shannonAll EvennessAll levRappAll AciIfTotAll} {
            set lines [linesOf results/$table.txt]
            if {[llength $lines] != [llength $sounds]} { error "$table: [llength $lines] rows" }
        }
    } elseif {$top ne $bases} {
        error "results/ holds {$top}"
    }
    set drawn [expr {[file exists rand.txt] ? [llength [linesOf rand.txt]] : 0}]
    set randomIntervals 0
    foreach s $sounds {
        set t [traceOf [file rootname $s]]
        if {[dict get $t random] != 0} { incr randomIntervals [wantIntervals $t] }
    }
    if {$drawn != $randomIntervals} { error "rand.txt holds $drawn starts, want $randomIntervals" }
    return $total
}

set cases [split [string trim [slurp $caseFile]] \n]
foreach c $cases {
    lassign $c index sounds settings
    if {$index < $first} continue
    puts "start $index"
    flush stdout
    set dir [file join $workDir case-$index]
    file delete -force $dir
    file mkdir $dir
    set old [pwd]
    cd $dir
    foreach s $sounds { file copy [file join $soundDir $s] $s }
    bareHost $sounds $settings
    set t0 [clock milliseconds]
    set code [catch {namespace eval ::bare Orvale} msg]
    set ms [expr {[clock milliseconds] - $t0}]
    if {$code == 0} {
        if {[catch {checkTree $sounds} why]} {
            set outcome malformed
            set kind tree
            set msg $why
        } else {
            set outcome ok
            set kind [expr {$why == 0 ? "empty" : "intervals"}]
        }
    } else {
        set outcome error
        set kind [classify $msg]
        if {$msg eq "" || $kind eq "unclear"} { set outcome unclear }
    }
    cd $old
    # The command leaves a sound it failed on for the caller to release.
    foreach snd [info commands ::sound*] { catch {[namespace tail $snd] destroy} }
    if {$outcome in {ok error}} { file delete -force $dir }
    puts [list done $index $outcome $kind $ms [string map {\n " | "} [string range $msg 0 300]]]
    flush stdout
}
exit 0
