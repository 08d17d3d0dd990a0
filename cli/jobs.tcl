# Batches across processes and machines: each sound of the batch is analysed by a worker
# process of its own, run by GNU parallel, and the workers' trees are merged, in list order,
# into the tree that one serial run would have written in the current directory.
#
# A worker analyses its sound as the first of a two-sound batch whose second sound fails to
# open, so that it writes the sound's rows of the cross-file tables and Summary.txt exactly as
# a serial batch would. Only the profile row at the end of results/AciTotAll.txt is formed
# from the printed rows, so it may differ from a serial run's in the last digit.

namespace eval ::orvale::jobs {
    variable here [file dirname [file normalize [info script]]]
    variable crossFile {shannonAll.txt levAll.txt AciTotAll.txt AciIfTotAll.txt EvennessAll.txt
                        powTotAll.txt TotFreqAll.txt levDiffAll.txt levRappAll.txt}
    variable header "PowTotAll\tFreqTotAll\tAciTotAll\tShannonAll\tAciIfTotAll\tLevAll\tLevDiffAll\tLevRappAll\tEvennessAll\n"
}

proc ::orvale::jobs::readFile {path} {
    if {![file exists $path]} { return "" }
    set f [open $path rb]
    try { return [read $f] } finally { close $f }
}

proc ::orvale::jobs::appendFile {path text} {
    if {$text eq ""} return
    set f [open $path ab]
    try { puts -nonewline $f $text } finally { close $f }
}

# Runs the batch that ::host is configured with, in `jobs` worker processes (on the machines
# of `sshloginfile` when given). Returns like the command; fails like it, after merging every
# sound up to and including the one that failed.
proc ::orvale::jobs::run {jobs {sshloginfile {}}} {
    variable here
    variable crossFile
    variable header
    set files $::host::listaFile
    set count [llength $files]
    if {$count <= 1} {
        return [::host::run]
    }
    if {[auto_execok parallel] eq ""} {
        error "--jobs needs GNU parallel (Debian package parallel)"
    }

    set work [file join [pwd] .orvale-jobs]
    file delete -force $work
    file mkdir $work
    set job [dict create files $files a [array get ::host::a] v [array get ::host::v] \
        libdir [expr {[info exists ::env(ORVALE_LIBDIR)] ? [file normalize $::env(ORVALE_LIBDIR)] : ""}]]
    set f [open [file join $work job.tcl] w]
    puts $f [list set job $job]
    close $f

    # The frame of a batch, laid down as the command lays it down.
    file mkdir results
    foreach table $crossFile { close [open [file join results $table] w] }
    set f [open results/Summary.txt w]
    puts -nonewline $f $header
    close $f

    set cmd [list parallel --will-cite --jobs $jobs --halt soon,fail=1]
    if {$sshloginfile ne ""} {
        lappend cmd --sshloginfile $sshloginfile
        if {[info exists ::env(ORVALE_LIBDIR)]} { lappend cmd --env ORVALE_LIBDIR }
    }
    lappend cmd [info nameofexecutable] [file join $here jobs_worker.tcl] $work {} :::
    for {set i 0} {$i < $count} {incr i} { lappend cmd $i }
    set chan [open |[concat $cmd [list 2>@ stderr]] r]

    # Sounds are merged in list order as soon as every earlier one is done.
    set finished {}
    set next 0
    set failed -1
    while {$next < $count && [gets $chan line] >= 0} {
        if {[regexp {^done (\d+) (\d+)$} $line -> index code]} {
            dict set finished $index $code
        }
        while {[dict exists $finished $next]} {
            merge $work $next $count
            if {[dict get $finished $next] != 0} {
                set failed $next
                break
            }
            incr next
        }
        if {$failed >= 0} break
    }
    # parallel ends with the number of failed jobs as its status.
    catch {close $chan}

    # The workers' trees hold nothing that a serial run would have left.
    if {$failed >= 0} {
        set message [readFile [file join $work $failed error.txt]]
        file delete -force $work
        return -code error -errorcode {ORVALE WORKER} $message
    }
    if {$next < $count} {
        file delete -force $work
        error "the workers stopped after $next of $count sounds"
    }
    profile $work $count
    file delete -force $work
    return
}

# Adds the worker's output for sound `index` to the tree in the current directory.
proc ::orvale::jobs::merge {work index count} {
    variable crossFile
    set dir [file join $work $index]
    set file [lindex $::host::listaFile $index]
    if {[llength $::host::progress]} {
        uplevel #0 [list {*}$::host::progress [expr {$index + 1}] $count $file]
    }
    foreach trace {parametri.txt rand.txt DEBUG_C.txt} {
        appendFile $trace [readFile [file join $dir $trace]]
    }
    # Per-file directories, file by file: the files of the sound replace those of an earlier
    # sound of the same name, anything else in the directory stays.
    foreach sub [glob -nocomplain -type d -directory [file join $dir results] *] {
        set target [file join results [file tail $sub]]
        file mkdir $target
        foreach path [glob -nocomplain -type f -directory $sub *] {
            file copy -force $path $target
        }
    }
    foreach table $crossFile {
        appendFile [file join results $table] [readFile [file join $dir results $table]]
    }
    set summary [readFile [file join $dir results Summary.txt]]
    appendFile results/Summary.txt [string range $summary [string first \n $summary]+1 end]
}

# The run's ACI profile from the sounds' printed rows: bins of the first sound, as many cells
# as the last sound has bins.
proc ::orvale::jobs::profile {work count} {
    set rows {}
    for {set i 0} {$i < $count} {incr i} {
        set text [readFile [file join $work $i results AciTotAll.txt]]
        lappend rows [split [string trimright [lindex [split $text \n] 0] \t] \t]
    }
    set profile [lmap cell [lindex $rows 0] {expr {0.0}}]
    foreach row $rows {
        set j 0
        foreach cell $row {
            if {$j >= [llength $profile]} break
            lset profile $j [expr {[lindex $profile $j] + $cell}]
            incr j
        }
    }
    set cells [expr {min([llength [lindex $rows end]], [llength $profile])}]
    set text \n
    foreach cell [lrange $profile 0 $cells-1] { append text [format %f $cell] \t }
    appendFile results/AciTotAll.txt $text
}
