# Helpers of the front-end tests: running orvale, reading what it and the
# command wrote.
package require csv

namespace eval fe {
    variable sourceDir [expr {[info exists ::env(ORVALE_SOURCE_DIR)]
        ? $::env(ORVALE_SOURCE_DIR)
        : [file dirname [file dirname [file dirname [file normalize [info script]]]]]}]
    variable script [file join $sourceDir cli orvale.tcl]
}

# Runs the front end in the current directory: dict code, out, err (Snack's
# mixer complaint dropped). Leading options: -env {NAME value ...} sets
# variables for the child, -script PATH runs another copy of the front end.
proc fe::orvale {args} {
    variable script
    set env {}
    set run $script
    while {[lindex $args 0] in {-env -script}} {
        switch -- [lindex $args 0] {
            -env    { set env [lindex $args 1] }
            -script { set run [lindex $args 1] }
        }
        set args [lrange $args 2 end]
    }
    close [file tempfile outPath]
    close [file tempfile errPath]
    set saved {}
    try {
        # Element by element: unsetting the whole env array would cut its
        # link to the process environment.
        foreach {name value} $env {
            if {[info exists ::env($name)]} {
                dict set saved $name $::env($name)
            }
            set ::env($name) $value
        }
        set code 0
        try {
            exec [info nameofexecutable] $run {*}$args >$outPath 2>$errPath
        } trap CHILDSTATUS {- opts} {
            set code [lindex [dict get $opts -errorcode] 2]
        }
        set err [lsearch -all -inline -not [split [string trimright [slurp $errPath]] \n] \
            {Unable to open mixer*}]
        return [dict create code $code out [slurp $outPath] err [join $err \n]]
    } finally {
        foreach {name value} $env {
            if {[dict exists $saved $name]} {
                set ::env($name) [dict get $saved $name]
            } else {
                unset ::env($name)
            }
        }
        file delete $outPath $errPath
    }
}

# A CSV file as a list of dicts keyed by its header line.
proc fe::csv {path} {
    set records {}
    set pending ""
    set first 1
    foreach line [split [string trimright [slurp $path] \n] \n] {
        if {!$first} {
            append pending \n
        }
        append pending $line
        set first 0
        if {[csv::iscomplete $pending]} {
            lappend records [csv::split $pending]
            set pending ""
            set first 1
        }
    }
    set header [lindex $records 0]
    lmap r [lrange $records 1 end] {
        set d {}
        foreach name $header value $r {
            dict set d $name $value
        }
        set d
    }
}

proc fe::header {path} {
    csv::split [lindex [split [slurp $path] \n] 0]
}

# Cells of a tab-separated command table, the blank after an undefined
# ACI cell dropped.
proc fe::cells {path} {
    lmap c [split [slurp $path] "\t\n"] {
        set c [string trim $c " "]
        if {$c eq ""} continue
        set c
    }
}

# Lines of a command table that ends each line with a line feed.
proc fe::lines {path} {
    lrange [split [slurp $path] \n] 0 end-1
}

proc fe::table {dir base suffix} {
    return "$dir/$base/$base$suffix"
}

# Every block of parametri.txt as a dict (labels as written).
proc fe::blocks {path} {
    set blocks {}
    foreach block [regexp -all -inline {sndName [^\n]*\n(?:[^\n]+\n)+} [slurp $path]] {
        set d {}
        foreach line [split $block \n] {
            if {[regexp {^sndName (.*)$} $line -> name]} {
                dict set d sndName $name
            } elseif {[regexp {^(.*\S)\s+(\S+)\s*$} $line -> label value]} {
                dict set d $label $value
            }
        }
        lappend blocks $d
    }
    return $blocks
}

proc fe::near {a b tolerance} {
    expr {abs($a - $b) <= $tolerance}
}

# Width and height of a PNG file, or {} when it is none.
proc fe::pngSize {path} {
    set f [open $path rb]
    set head [read $f 24]
    close $f
    if {[string range $head 0 7] ne "\x89PNG\r\n\x1a\n"} {
        return {}
    }
    binary scan [string range $head 16 23] II w h
    list $w $h
}
