# One worker of a parallel batch: tclsh jobs_worker.tcl WORK INDEX
# Analyses sound INDEX of the batch described in WORK/job.tcl into WORK/INDEX, and prints
# "done INDEX CODE" when it ends; the exit status is CODE.

lassign $argv work index
source [file join $work job.tcl]
if {[dict get $job libdir] ne ""} {
    set auto_path [linsert $auto_path 0 [dict get $job libdir]]
}
set code [catch {
    package require snack
    package require Orvale
    package require orvale::host

    set dir [file join $work $index]
    file delete -force $dir
    file mkdir $dir
    cd $dir

    set target [lindex [dict get $job files] $index]
    ::host::configure -files [list $target]
    array set ::host::a [dict get $job a]
    array set ::host::v [dict get $job v]
    # A second sound that never opens makes the run a batch of several sounds: the first one's
    # rows are written and ended as in any batch, and the command stops at the second.
    set end "orvale: end of the worker's sound"
    namespace eval ::host::snack {}
    proc ::host::snack::sound {args} [string map [list @END@ [list $end]] {
        if {[lindex $args end] eq "\0end"} { error @END@ }
        tailcall ::snack::sound {*}$args
    }]
    lappend ::host::listaFile "\0end"
    if {[catch {namespace eval ::host Orvale} message] && $message ne $end} {
        error $message $::errorInfo $::errorCode
    }
} message]
if {$code} {
    file mkdir [file join $work $index]
    set f [open [file join $work $index error.txt] w]
    puts -nonewline $f $message
    close $f
}
puts "done $index $code"
exit $code
