# plots.tcl: PNG pictures of a result tree, drawn by gnuplot.
#
#   results/plots/NAME_aci.png     ACI per interval and frequency (_surf.txt)
#   results/plots/NAME_series.png  Shannon and ACI-If total per interval
#   results/plots/batch.png        per-file indices per recording (two or more)
#
# Everything comes from summary.csv, intervals.csv and the _surf.txt tables,
# so a tree can be redrawn at any time. One gnuplot process draws them all.

namespace eval ::orvale::plots {
    variable terminal {set terminal pngcairo noenhanced font ",10" size}
    variable soundSize {900,420}
    variable batchSize {1000,780}
    # A colour scale that stays readable in grey and for colour-blind readers.
    variable palette {set palette defined (0 '#440154', 0.25 '#3b528b', 0.5 '#21918c', 0.75 '#5ec962', 1 '#fde725')}
    # Columns of the batch plot: summary.csv column, panel title.
    variable batchPanels {
        aci_total   {ACI total}
        shannon_sum {Shannon index, sum over intervals}
        aciIf_total {ACI-If total}
        evenness    {evenness (inverse Simpson over bins)}
        levRapp     {levRapp}
        power_total {power total (linear magnitude)}
    }
}

proc ::orvale::plots::requireGnuplot {} {
    if {[auto_execok gnuplot] eq ""} {
        return -code error -errorcode {ORVALE FAIL} \
            "gnuplot is not installed (Debian package gnuplot-nox); plots and the report need it"
    }
}

# A gnuplot string literal: single quotes, where only a doubled quote is special.
proc ::orvale::plots::quote {text} {
    return "'[string map {' ''} $text]'"
}

# A number for gnuplot, or NaN for a cell that is none ("inf", "nan", empty).
proc ::orvale::plots::number {cell} {
    if {[string is double -strict $cell] && ![regexp -nocase {inf|nan} $cell]} {
        return $cell
    }
    return NaN
}

proc ::orvale::plots::placeholder {text} {
    return [list \
        "set label 1 [quote $text] at graph 0.5, graph 0.5 center" \
        "unset colorbox" \
        "plot \[0:1\] \[0:1\] NaN notitle" \
        "unset label 1" "set colorbox"]
}

# Script lines for the ACI surface of one sound.
proc ::orvale::plots::surface {resultsDir sound output} {
    variable terminal
    variable soundSize
    set base [dict get $sound sndBase]
    set n [dict get $sound n_intervals]
    set frStart [dict get $sound frStart]
    set nBins [expr {[dict get $sound frEnd] - $frStart}]
    set binHz [expr {double([dict get $sound rate_hz]) / [dict get $sound fftlen]}]
    set surf [::orvale::tables::perFilePath $resultsDir $base _surf.txt]
    variable palette
    set lines [list "reset" "$terminal $soundSize" $palette "set output [quote $output]" \
        "set title [quote "$base: acoustic complexity (ACI) per interval and frequency"]" \
        "set xlabel 'interval k'" "set ylabel 'frequency (Hz)'" "set cblabel 'ACI'"]
    if {$n eq "" || $n < 1 || $nBins < 1 || ![file exists $surf]} {
        return [concat $lines [placeholder "no interval analysed"]]
    }
    set low [expr {($frStart - 0.5) * $binHz}]
    set high [expr {($frStart + $nBins - 0.5) * $binHz}]
    lappend lines "set xrange \[-0.5:[expr {$n - 0.5}]\]" "set yrange \[$low:$high\]" \
        "set tics out" "set xtics nomirror" "set ytics nomirror"
    set y "((\$2 + $frStart) * $binHz)"
    if {$n >= 2 && $nBins >= 2} {
        lappend lines "plot [quote $surf] using 1:$y:3 with image notitle"
    } else {
        # gnuplot's image wants a grid of two by two at least.
        lappend lines "set style fill solid 1.0 noborder" \
            "plot [quote $surf] using 1:$y:(0.5):([expr {$binHz / 2}]):3\
                with boxxyerror lc palette notitle"
    }
    return $lines
}

# Script lines for the per-interval series of one sound; rows are its
# intervals.csv rows.
proc ::orvale::plots::series {sound rows output block} {
    variable terminal
    variable soundSize
    set base [dict get $sound sndBase]
    set lines [list "reset" "$terminal $soundSize" "set output [quote $output]"]
    if {![llength $rows]} {
        lappend lines "set title [quote "$base: indices per interval"]"
        return [concat $lines [placeholder "no interval analysed"]]
    }
    # Random intervals are analysed in draw order; the lines follow time.
    set data [lsort -real -index 0 [lmap r $rows {
        list [dict get $r start_s] [number [dict get $r shannon]] [number [dict get $r aciIf_total]]
    }]]
    lappend lines "$block << EOD" {*}[lmap d $data {join $d \t}] "EOD" \
        "set multiplot layout 2,1 title [quote "$base: indices per interval"]" \
        "set lmargin 12" "set grid" \
        "set ylabel 'Shannon index'" "unset xlabel" \
        "plot $block using 1:2 with linespoints pt 7 ps 0.6 lc rgb '#21918c' notitle" \
        "set ylabel 'ACI-If total'" "set xlabel 'interval start (s)'" \
        "plot $block using 1:3 with linespoints pt 7 ps 0.6 lc rgb '#3b528b' notitle" \
        "unset multiplot" "undefine $block"
    return $lines
}

# Script lines for the batch plot: the per-file indices of every sound,
# against start time when every name carries one, else in list order.
proc ::orvale::plots::batch {sounds output} {
    variable terminal
    variable batchSize
    variable batchPanels
    set lines [list "reset" "$terminal $batchSize" "set output [quote $output]"]
    set timed [expr {[llength [lsearch -all -exact [lmap s $sounds {dict get $s start_time}] ""]] == 0}]
    set data {}
    set index 0
    foreach s $sounds {
        incr index
        set x [expr {$timed ? [clock scan [dict get $s start_time] \
            -format "%Y-%m-%d %H:%M:%S" -gmt 1] : $index}]
        lappend data [join [concat $x [lmap {column title} $batchPanels {
            number [dict get $s $column]
        }]] \t]
    }
    set title "Per-file indices of [llength $sounds] recordings"
    lappend lines {$batch << EOD} {*}$data "EOD" "set grid" "set key off" \
        "set offsets graph 0.05, graph 0.05, graph 0.1, graph 0.1"
    if {$timed} {
        lappend lines "set xdata time" "set timefmt '%s'" "set format x \"%m-%d\\n%H:%M\""
        append title ", by recording start"
    } else {
        lappend lines "set xrange \[0.5:[expr {[llength $sounds] + 0.5}]\]"
        append title ", in list order"
        if {[llength $sounds] <= 24} {
            set i 0
            set tics [lmap s $sounds {
                string cat [quote [dict get $s sndBase]] " " [incr i]
            }]
            lappend lines "set xtics ([join $tics {, }]) rotate by 30 right"
        }
    }
    lappend lines "set multiplot layout 3,2 title [quote $title]"
    set column 1
    foreach {name title} $batchPanels {
        incr column
        lappend lines "set title [quote $title]" \
            "plot \$batch using 1:$column with points pt 7 ps 1.2 lc rgb '#3b528b'"
    }
    lappend lines "unset multiplot" {undefine $batch}
    return $lines
}

# Draws every plot of the tree in resultsDir into resultsDir/plots and
# returns how many PNG files were written.
proc ::orvale::plots::draw {resultsDir} {
    requireGnuplot
    set sounds [::orvale::tables::readCsv [file join $resultsDir summary.csv]]
    set byKey {}
    foreach row [::orvale::tables::readCsv [file join $resultsDir intervals.csv]] {
        dict lappend byKey [list [dict get $row file] [dict get $row sndBase]] $row
    }
    set dir [file join $resultsDir plots]
    file mkdir $dir
    set script {}
    set outputs {}
    set index 0
    foreach sound $sounds {
        incr index
        set base [dict get $sound sndBase]
        set key [list [dict get $sound file] $base]
        set rows {}
        if {[dict exists $byKey $key]} {
            set rows [dict get $byKey $key]
        }
        set aci [file join $dir ${base}_aci.png]
        set series [file join $dir ${base}_series.png]
        lappend script {*}[surface $resultsDir $sound $aci] \
            {*}[series $sound $rows $series "\$s$index"]
        lappend outputs $aci $series
    }
    if {[llength $sounds] > 1} {
        set output [file join $dir batch.png]
        lappend script {*}[batch $sounds $output]
        lappend outputs $output
    }
    lappend script "unset output"
    foreach output $outputs {
        file delete $output
    }
    if {[catch {exec gnuplot << [join $script \n] 2>@1} message]} {
        return -code error -errorcode {ORVALE FAIL} "gnuplot failed: $message"
    }
    set written [llength [lmap output [lsort -unique $outputs] {
        if {![file exists $output] || [file size $output] == 0} continue
        set output
    }]]
    return $written
}

# The plots of one sound and of the batch that exist in a tree, for the report.
proc ::orvale::plots::files {resultsDir sndBase} {
    set dir [file join $resultsDir plots]
    list [file join $dir ${sndBase}_aci.png] [file join $dir ${sndBase}_series.png]
}
