# Common set-up of every test file: tcltest, the built library and the host layer.
package require tcltest 2.5
namespace import -force ::tcltest::*

if {![info exists ::orvale_loaded]} {
    set ::orvale_loaded 1
    if {[info exists ::env(ORVALE_LIBDIR)]} {
        set auto_path [linsert $auto_path 0 $::env(ORVALE_LIBDIR)]
    }
    testConstraint snack [expr {![catch {package require snack}]}]
    package require Orvale
    package require orvale::host
    source [file join [file dirname [info script]] wav.tcl]
    source [file join [file dirname [info script]] reference.tcl]
}

# Runs the body inside a fresh directory of its own, since all output goes to the current one.
proc inDir {name body} {
    set old [pwd]
    set dir [makeDirectory $name]
    file delete -force $dir
    file mkdir $dir
    cd $dir
    try {
        uplevel 1 $body
    } finally {
        cd $old
    }
}

# Contents of a file, exactly as written.
proc slurp {path} {
    set f [open $path rb]
    try { return [read $f] } finally { close $f }
}

# A host that checks nothing, so that the command's own checks are what a test meets:
# ::bare holds the same settings as ::host and plain arithmetic procedures.
proc bareHost {files settings} {
    namespace delete ::bare
    namespace eval ::bare {
        variable listaFile {}
        variable a
        variable v
        foreach name {snd sndName sndLen frStart frEnd tStart tEnd tInt distInt aaa i lista} {
            variable $name
        }
        unset name
        proc timeBins {ms snd fftlen} {
            expr {$fftlen == 0 ? 0 : $ms * [$snd cget -rate] / 1000.0 / $fftlen}
        }
        proc strTimeToMs {t} { expr {$t * 1000.0} }
        proc freqToClass {hz snd fftlen} { expr {$hz * $fftlen / double([$snd cget -rate])} }
    }
    host::configure
    array set ::bare::a [array get ::host::a]
    array set ::bare::v [array get ::host::v]
    set ::bare::listaFile $files
    foreach {key value} $settings { set ::bare::$key $value }
}
namespace eval ::bare {}
