# Whole result trees: what a fault or a refusal may and may not have changed.
namespace eval tree { namespace export snapshot changes notPrefixes }

# Every file under dir, path -> contents.
proc tree::snapshot {{dir .}} {
    set out {}
    foreach path [lsort [glob -nocomplain -directory $dir *]] {
        if {[file isdirectory $path]} {
            set out [dict merge $out [snapshot $path]]
        } else {
            dict set out $path [slurp $path]
        }
    }
    return $out
}

# What changed between two snapshots: {path how ...}. A file that only grew is "appended".
proc tree::changes {before after} {
    set out {}
    dict for {path text} $after {
        if {![dict exists $before $path]} {
            lappend out $path new
        } elseif {[dict get $before $path] ne $text} {
            set old [dict get $before $path]
            lappend out $path [expr {[string equal -length [string length $old] $old $text] ? "appended" : "rewritten"}]
        }
    }
    dict for {path text} $before {
        if {![dict exists $after $path]} { lappend out $path removed }
    }
    return $out
}

# Files of got that are not the start of the same file in want (or not in want at all).
proc tree::notPrefixes {got want} {
    set out {}
    dict for {path text} $got {
        if {![dict exists $want $path]} {
            lappend out "$path: not in the whole run"
        } elseif {![string equal -length [string length $text] $text [dict get $want $path]]} {
            lappend out "$path: not the start of the whole run's"
        }
    }
    return $out
}
