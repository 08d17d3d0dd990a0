# tables.tcl: results/summary.csv and results/intervals.csv, one row per
# sound and one per analysed interval, read back from the tab-separated tree
# that the command wrote. Nothing the command wrote is changed.
#
# A value that a per-file table holds as one cell is copied as printed; a sum
# over cells is formed here from the printed (six-decimal) cells and printed
# with "%.6f", so it can differ from the command's own Summary.txt, which sums
# before rounding, in the last decimal or two.

package require csv

namespace eval ::orvale::tables {
    variable summaryColumns {
        file sndBase start_time duration_s rate_hz channels
        fftlen window preemph channel band_low_hz band_high_hz frStart frEnd
        interval_s step_s filtro classiLev mode n_intervals
        power_total occupancy_total aci_total shannon_sum aciIf_total
        lev_sum levDiff_sum levRapp evenness
    }
    variable intervalColumns {
        file sndBase k start_s end_s shannon aci_sum aciIf_total
    }
    # The command's trace files; a run appends to each.
    variable traceFiles {parametri.txt rand.txt DEBUG_C.txt}
    # Summary.txt columns beside the summary.csv columns they match.
    variable commandSummary {
        PowTotAll power_total FreqTotAll occupancy_total AciTotAll aci_total
        ShannonAll shannon_sum AciIfTotAll aciIf_total LevAll lev_sum
        LevDiffAll levDiff_sum LevRappAll levRapp EvennessAll evenness
    }
}

proc ::orvale::tables::fail {message} {
    return -code error -errorcode {ORVALE FAIL} $message
}

# The recording's start as "YYYY-MM-DD HH:MM:SS" when its name carries
# YYYYMMDD_HHMMSS (the last such group, set off from other digits), as
# autonomous recorders name their files; empty otherwise or when the date
# does not exist.
proc ::orvale::tables::startTime {path} {
    set name [file tail $path]
    if {![regexp {^(?:.*[^0-9])?([0-9]{8})_([0-9]{6})(?:[^0-9].*)?$} $name -> date time]} {
        return ""
    }
    set stamp $date$time
    # clock scan rolls 32 January over into February; a date that does
    # not come back unchanged does not exist.
    if {[catch {clock scan $stamp -format %Y%m%d%H%M%S -gmt 1} seconds]
            || [clock format $seconds -format %Y%m%d%H%M%S -gmt 1] ne $stamp} {
        return ""
    }
    return [clock format $seconds -format "%Y-%m-%d %H:%M:%S" -gmt 1]
}

# --- The run's share of the trace files ------------------------------------

# Sizes of the trace files in dir before a run; see captured.
proc ::orvale::tables::startCapture {dir} {
    variable traceFiles
    set sizes {}
    foreach name $traceFiles {
        set path [file join $dir $name]
        dict set sizes $name [expr {[file exists $path] ? [file size $path] : 0}]
    }
    return $sizes
}

# What the run appended to each trace file since startCapture.
proc ::orvale::tables::captured {dir sizes} {
    set texts {}
    dict for {name size} $sizes {
        set path [file join $dir $name]
        set text ""
        if {[file exists $path]} {
            set f [open $path r]
            try {
                fconfigure $f -encoding utf-8
                # A file shorter than before was replaced: all of it is new.
                if {[file size $path] >= $size} {
                    seek $f $size
                }
                set text [read $f]
            } finally {
                close $f
            }
        }
        dict set texts $name $text
    }
    return $texts
}

# parametri.txt blocks as dicts, in order. Keys: sndName and the trace
# labels, with fftlen, classiLev and nFrames for the three long ones.
proc ::orvale::tables::parseTrace {text} {
    set blocks {}
    set block {}
    foreach line [split $text \n] {
        if {[string match "sndName *" $line]} {
            if {[dict size $block]} {
                lappend blocks $block
            }
            set block [dict create sndName [string range $line 8 end]]
        } elseif {[dict size $block] && [regexp {^(.*\S)\s+(-?\d+)\s*$} $line -> label value]} {
            set label [string map {
                {$v(fftlen)} fftlen {$a(classiLev)} classiLev {n intervalli fft} nFrames
            } $label]
            dict set block $label $value
        }
    }
    if {[dict size $block]} {
        lappend blocks $block
    }
    return $blocks
}

# --- Reading the per-file tables -------------------------------------------

# Path of a per-file table, formed as the command forms it (an empty base
# name gives results//_suffix, that is the table directly in results).
proc ::orvale::tables::perFilePath {resultsDir sndBase suffix} {
    return "$resultsDir/$sndBase/$sndBase$suffix"
}

proc ::orvale::tables::slurp {path} {
    if {![file exists $path]} {
        fail "missing result table $path"
    }
    set f [open $path r]
    try {
        return [read $f]
    } finally {
        close $f
    }
}

# The cells of a tab-separated text; the blank that follows an undefined
# ACI cell is dropped with the tab.
proc ::orvale::tables::cells {text} {
    set result {}
    foreach cell [split $text "\t\n"] {
        set cell [string trim $cell " "]
        if {$cell ne ""} {
            lappend result $cell
        }
    }
    return $result
}

# The lines of a table whose every line ends with a line feed; a line may
# be empty (an empty band gives an empty _aci.txt line).
proc ::orvale::tables::lines {text} {
    set lines [split $text \n]
    if {[lindex $lines end] eq ""} {
        set lines [lrange $lines 0 end-1]
    }
    return $lines
}

# Exact sum of integer cells (Tcl integers do not overflow).
proc ::orvale::tables::sumInt {cells} {
    set sum 0
    foreach c $cells {
        set sum [expr {$sum + $c}]
    }
    return $sum
}

# Sum of real cells, printed "%.6f"; a cell that is not a number ("nan",
# "inf" from the command's printf) makes the sum what C would print.
proc ::orvale::tables::sumReal {cells} {
    set sum 0.0
    foreach c $cells {
        if {[string match -nocase *nan* $c] || [catch {expr {$sum + $c}} sum]} {
            return nan
        }
    }
    return [format %.6f $sum]
}

# The values of one sound, from its per-file tables: a dict of the
# summary.csv index columns plus the per-interval lists shannon, aciSums
# and aciIf.
proc ::orvale::tables::fileValues {resultsDir sndBase} {
    foreach suffix {
        _TotPow.txt _TotFreq.txt _AciTot.txt _shannon.txt _AciIfTot.txt _aci.txt
        _lev.txt _levDiff.txt _levRapp.txt _AciEvenness.txt
    } {
        set t($suffix) [slurp [perFilePath $resultsDir $sndBase $suffix]]
    }
    set shannon [cells $t(_shannon.txt)]
    set aciIf [lines $t(_AciIfTot.txt)]
    set aciSums [lmap row [lines $t(_aci.txt)] {sumReal [cells $row]}]
    set n [llength $aciIf]
    if {[llength $shannon] != $n || [llength $aciSums] != $n} {
        fail "the tables of $resultsDir/$sndBase disagree on the number of intervals\
            ($n in _AciIfTot.txt, [llength $shannon] in _shannon.txt,\
            [llength $aciSums] in _aci.txt)"
    }
    dict create \
        n_intervals $n \
        power_total [sumInt [cells $t(_TotPow.txt)]] \
        occupancy_total [sumInt [cells $t(_TotFreq.txt)]] \
        aci_total [sumReal [cells $t(_AciTot.txt)]] \
        shannon_sum [sumReal $shannon] \
        aciIf_total [sumReal $aciIf] \
        lev_sum [sumInt [cells $t(_lev.txt)]] \
        levDiff_sum [sumInt [cells $t(_levDiff.txt)]] \
        levRapp [lindex [cells $t(_levRapp.txt)] 0] \
        evenness [lindex [cells $t(_AciEvenness.txt)] end] \
        shannon $shannon aciSums $aciSums aciIf $aciIf
}

# Rows of the command's Summary.txt, each a dict of its nine columns.
proc ::orvale::tables::commandSummary {resultsDir} {
    set path [file join $resultsDir Summary.txt]
    if {![file exists $path]} {
        return {}
    }
    set rows [lines [slurp $path]]
    set header [split [lindex $rows 0] \t]
    lmap row [lrange $rows 1 end] {
        set cells [split $row \t]
        set d {}
        foreach name $header cell [lrange $cells 0 [llength $header]-1] {
            dict set d $name $cell
        }
        set d
    }
}

# --- The two tables --------------------------------------------------------

proc ::orvale::tables::seconds {frames fftlen rate} {
    format %.6f [expr {double($frames) * $fftlen / $rate}]
}

# The sounds of one finished run, each a dict:
#   path, rate, channels, samples, duration   (inputs::inspect)
#   params    its parametri.txt block (parseTrace)
#   settings  window, preemph, channel as the host had them
# randLines are the lines the run appended to rand.txt; summaryRows the
# command's Summary.txt rows of this run (empty for a one-sound run).
# Returns {summaryRows intervalRows warnings}, rows as lists in column order.
proc ::orvale::tables::build {resultsDir sounds randLines summaryRows} {
    set bases [lmap s $sounds {dict get $s params sndName}]
    set summary {}
    set intervals {}
    set warnings {}
    set index 0
    foreach sound $sounds {
        set p [dict get $sound params]
        set base [dict get $p sndName]
        set rate [dict get $sound rate]
        set fftlen [dict get $p fftlen]
        set random [expr {[dict get $p random] != 0}]
        # A later sound with the same base name has rewritten this one's
        # tables; only the command's Summary.txt row still holds its values.
        set shadowed [expr {$base in [lrange $bases $index+1 end]}]
        set commandRow [lindex $summaryRows $index]
        if {$shadowed} {
            set values [shadowedValues $commandRow]
            lappend warnings "[dict get $sound path]: a later sound rewrote results/$base;\
                its summary.csv values come from Summary.txt and its intervals are not in intervals.csv"
        } else {
            set values [fileValues $resultsDir $base]
            if {[dict size $commandRow]} {
                lappend warnings {*}[crossCheck $sound $values $commandRow]
            }
        }
        set n [dict get $values n_intervals]
        # The grid's first n starts are the analysed ones: the command
        # passes over only the starts at the end of the sound.
        if {$random} {
            set starts [lrange $randLines 0 $n-1]
            set randLines [lrange $randLines $n end]
        } else {
            set starts {}
            for {set k 0} {$k < $n} {incr k} {
                lappend starts [expr {[dict get $p tStart] + $k * [dict get $p distInt]}]
            }
        }
        set settings [dict get $sound settings]
        set row [list [dict get $sound path] $base [startTime [dict get $sound path]] \
            [format %.6f [dict get $sound duration]] $rate [dict get $sound channels] \
            $fftlen [dict get $settings window] [dict get $settings preemph] \
            [dict get $settings channel] \
            [format %.6f [expr {double([dict get $p frStart]) * $rate / $fftlen}]] \
            [format %.6f [expr {double([dict get $p frEnd]) * $rate / $fftlen}]] \
            [dict get $p frStart] [dict get $p frEnd] \
            [seconds [dict get $p tInt] $fftlen $rate] \
            [if {$random} {string cat} {seconds [dict get $p distInt] $fftlen $rate}] \
            [dict get $p fitro] [dict get $p classiLev] \
            [expr {$random ? "random" : "grid"}] $n]
        foreach column {
            power_total occupancy_total aci_total shannon_sum aciIf_total
            lev_sum levDiff_sum levRapp evenness
        } {
            lappend row [dict get $values $column]
        }
        lappend summary $row
        if {!$shadowed} {
            for {set k 0} {$k < $n} {incr k} {
                set start [lindex $starts $k]
                lappend intervals [list [dict get $sound path] $base $k \
                    [seconds $start $fftlen $rate] \
                    [seconds [expr {$start + [dict get $p tInt]}] $fftlen $rate] \
                    [lindex [dict get $values shannon] $k] \
                    [lindex [dict get $values aciSums] $k] \
                    [lindex [dict get $values aciIf] $k]]
            }
        }
        incr index
    }
    return [list $summary $intervals $warnings]
}

# summary.csv values from a Summary.txt row alone.
proc ::orvale::tables::shadowedValues {commandRow} {
    variable commandSummary
    set values [dict create n_intervals ""]
    foreach {theirs ours} $commandSummary {
        set cell ""
        if {[dict exists $commandRow $theirs]} {
            set cell [dict get $commandRow $theirs]
        }
        # The command prints integer sums of lev cells with "%f".
        if {$ours in {lev_sum levDiff_sum} && [regexp {^(\d+)\.0+$} $cell -> whole]} {
            set cell $whole
        }
        dict set values $ours $cell
    }
    return $values
}

# Differences between the values read from the per-file tables and the
# command's Summary.txt row beyond what six-decimal cells explain.
proc ::orvale::tables::crossCheck {sound values commandRow} {
    variable commandSummary
    set p [dict get $sound params]
    set n [dict get $values n_intervals]
    set nBins [expr {max(0, [dict get $p frEnd] - [dict get $p frStart])}]
    # Each printed cell is off by at most half a unit of the sixth decimal.
    set slack [dict create aci_total [expr {($nBins + 2) * 5e-7}] \
        shannon_sum [expr {($n + 2) * 5e-7}] aciIf_total [expr {($n + 2) * 5e-7}]]
    set problems {}
    foreach {theirs ours} $commandSummary {
        if {![dict exists $commandRow $theirs]} continue
        set a [dict get $values $ours]
        set b [dict get $commandRow $theirs]
        if {[dict exists $slack $ours]} {
            set same [expr {$a eq $b || ([string is double -strict $a] && [string is double -strict $b]
                && ![string match -nocase *nan* "$a$b"] && abs($a - $b) <= [dict get $slack $ours])}]
        } elseif {$ours in {power_total occupancy_total lev_sum levDiff_sum}} {
            set same [expr {[string is double -strict $b] && $a == $b}]
        } else {
            set same [expr {$a eq $b}]
        }
        if {!$same} {
            lappend problems "[dict get $sound path]: $ours $a in summary.csv, $theirs $b in Summary.txt"
        }
    }
    return $problems
}

proc ::orvale::tables::writeCsv {path header rows} {
    set tmp $path.part
    set f [open $tmp w]
    try {
        fconfigure $f -encoding utf-8 -translation lf
        puts $f [csv::join $header]
        foreach row $rows {
            puts $f [csv::join $row]
        }
    } finally {
        close $f
    }
    file rename -force $tmp $path
}

# Writes summary.csv and intervals.csv into resultsDir; returns the
# warnings of build.
proc ::orvale::tables::write {resultsDir sounds randLines summaryRows} {
    variable summaryColumns
    variable intervalColumns
    lassign [build $resultsDir $sounds $randLines $summaryRows] summary intervals warnings
    writeCsv [file join $resultsDir summary.csv] $summaryColumns $summary
    writeCsv [file join $resultsDir intervals.csv] $intervalColumns $intervals
    return $warnings
}

# A CSV file written by writeCsv as a list of dicts keyed by its header.
proc ::orvale::tables::readCsv {path} {
    if {![file exists $path]} {
        fail "no $path: analyse the recordings with orvale first"
    }
    set f [open $path r]
    try {
        fconfigure $f -encoding utf-8
        set text [read $f]
    } finally {
        close $f
    }
    set records {}
    set pending ""
    foreach line [split $text \n] {
        # A quoted field may hold a line feed.
        if {$pending eq ""} {
            set pending $line
        } else {
            append pending \n $line
        }
        if {[csv::iscomplete $pending]} {
            if {$pending ne ""} {
                lappend records [csv::split $pending]
            }
            set pending ""
        }
    }
    set header [lindex $records 0]
    lmap record [lrange $records 1 end] {
        set d {}
        foreach name $header value $record {
            dict set d $name $value
        }
        set d
    }
}

# --- run.log ---------------------------------------------------------------

# A command line as a person would type it again.
proc ::orvale::tables::shellQuote {words} {
    join [lmap w $words {
        if {![regexp {^[-A-Za-z0-9_./:=+,@%]+$} $w]} {
            set w "'[string map [list ' {'\''}] $w]'"
        }
        set w
    }] " "
}

# results/run.log: what was run, where and when, the progress of the sounds
# and what the run appended to the command's trace files. log is the dict
# that the front end gathers around the run.
proc ::orvale::tables::writeRunLog {resultsDir log} {
    set when {{seconds} {clock format $seconds -format "%Y-%m-%d %H:%M:%S"}}
    set lines [list \
        "orvale [package present Orvale], Tcl [info patchlevel], Snack [package present snack]" \
        "command: orvale [shellQuote [dict get $log argv]]" \
        "directory: [dict get $log directory]" \
        "started: [apply $when [dict get $log began]]" \
        "ended: [apply $when [dict get $log ended]]"]
    if {[dict exists $log error]} {
        lappend lines "failed after [dict get $log done] of [dict get $log sounds] sounds:\
            [dict get $log error]"
    } else {
        lappend lines "analysed: [dict get $log sounds] sounds"
    }
    lappend lines "" {*}[dict get $log progress]
    dict for {name text} [dict get $log traces] {
        if {$text ne ""} {
            lappend lines "" "--- $name (this run)" [string trimright $text \n]
        }
    }
    set f [open [file join $resultsDir run.log] w]
    try {
        fconfigure $f -encoding utf-8 -translation lf
        puts $f [join $lines \n]
    } finally {
        close $f
    }
}

# The text of results/run.log, or empty when the tree has none.
proc ::orvale::tables::runLog {resultsDir} {
    set path [file join $resultsDir run.log]
    if {![file exists $path]} {
        return ""
    }
    set f [open $path r]
    try {
        fconfigure $f -encoding utf-8
        return [read $f]
    } finally {
        close $f
    }
}
