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
