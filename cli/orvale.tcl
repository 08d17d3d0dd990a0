#!/usr/bin/env tclsh
# orvale: soundscape-ecology indices for sound files, from the command line.
#
#     orvale [options] FILE|DIR...
#     orvale plot [RESULTS_DIR]
#     orvale report [RESULTS_DIR]
#
# Loads the Orvale library and the host namespace, turns the options into the
# host settings, and runs one batch over the files; then writes the tables,
# plots and report that a person reads (the modules beside this file). The
# library is looked up on auto_path; ORVALE_LIBDIR, when set, is searched
# first (a build tree).

package require Tcl 8.6

namespace eval ::orvale::cli {
    variable version 1.0

    # Installed, this file is bin/orvale and its modules sit in the package
    # directory instead; see requireModules.
    variable scriptDir [file dirname [file normalize [info script]]]
    variable modules {inputs.tcl tables.tcl plots.tcl report.tcl jobs.tcl}

    # Extensions of the sound files that a directory stands for.
    variable soundExtensions {.wav .aif .aiff .aifc .au .snd .ogg .mp3}

    # Options that set a host setting: option, argument, setting, kind, help.
    # The kind says how the value is checked before the run (see checkValue);
    # the default shown by --help is the host's own.
    variable settingOptions {
        --fftlen    N     v(fftlen)    pow2     {FFT length in samples, a power of two}
        --window    NAME  v(wintype)   window   {FFT window: hamming, hanning, bartlett, blackman, rectangle}
        --preemph   X     v(preemph)   number   {pre-emphasis factor, 0 for none}
        --channel   N     v(channel)   channel  {channel analysed, 0 = the first (or left, right, both, all)}
        --fmin      HZ    a(frStart)   number   {lowest frequency analysed, Hz}
        --fmax      HZ    a(frEnd)     number   {highest frequency analysed, Hz; -1 = half the sample rate}
        --start     TIME  a(tStart)    time     {start of the analysed stretch}
        --end       TIME  a(tEnd)      endtime  {end of the analysed stretch; -1 = the end of the sound}
        --interval  MS    a(tInt)      number   {length of one analysis interval, milliseconds}
        --step      MS    a(distInt)   number   {milliseconds between interval starts; less than --interval counts as --interval}
        --threshold N     a(filtro)    number   {only spectrum values above N count (linear magnitude, not dB)}
        --random    {}    a(random)    flag     {analyse --nrand intervals at random whole seconds instead of a regular grid}
        --nrand     N     a(nRand)     integer  {number of random intervals}
        --classes   N     a(classiLev) integer  {number of level classes}
    }

    # Options of the run itself: option, argument, help.
    variable runOptions {
        --out       DIR   {directory for results/ and the trace files parametri.txt, rand.txt, DEBUG_C.txt; created if missing (default: the current directory)}
        --plots     {}    {after the run, draw PNG plots into results/plots (needs gnuplot)}
        --report    {}    {after the run, draw the plots and write results/report.html}
        --drop-spectra {} {delete each sound's _spect.txt as soon as the sound is done (an hour at 44.1 kHz writes over 500 MB of it)}
        --jobs      N     {analyse the sounds in N worker processes run by GNU parallel; the merged tree is the serial run's (default 1)}
        --sshloginfile FILE {with --jobs, spread the workers over the machines GNU parallel reads from FILE; they must share --out and the sound files}
        --help      {}    {print this help and exit}
        --version   {}    {print the version and exit}
    }

    # Words that, first on the command line, name an action on a result
    # tree instead of sound files ("./plot" or "-- plot" for a directory).
    variable treeActions {plot report}
}

# Errors of this kind are the user's command line: exit status 2.
proc ::orvale::cli::usageError {message} {
    return -code error -errorcode {ORVALE USAGE} $message
}

# Errors found before or during the run: exit status 1.
proc ::orvale::cli::fail {message} {
    return -code error -errorcode {ORVALE FAIL} $message
}

# Option table rows by option name: {argument setting kind help}, where
# setting and kind are empty for a run option.
proc ::orvale::cli::optionTable {} {
    variable settingOptions
    variable runOptions
    set table {}
    foreach {opt arg key kind help} $settingOptions {
        dict set table $opt [list $arg $key $kind $help]
    }
    foreach {opt arg help} $runOptions {
        dict set table $opt [list $arg {} {} $help]
    }
    return $table
}

# Splits argv into options and operands. Returns a dict: action (analyse,
# help or version), settings (setting value ... in command-line order), out,
# and paths. Values are not checked here; see checkSettings.
proc ::orvale::cli::parseArgs {argv} {
    variable treeActions
    set table [optionTable]
    set result [dict create action analyse settings {} out . paths {} \
        plots 0 report 0 dropSpectra 0 jobs 1 sshloginfile {}]
    set settings {}
    set paths {}
    set first 0
    if {[lindex $argv 0] in $treeActions} {
        dict set result action [lindex $argv 0]
        set first 1
    }
    for {set k $first} {$k < [llength $argv]} {incr k} {
        set word [lindex $argv $k]
        if {$word eq "--"} {
            lappend paths {*}[lrange $argv $k+1 end]
            break
        }
        if {$word eq "-" || [string index $word 0] ne "-"} {
            lappend paths $word
            continue
        }
        # --name=value is the same as --name value.
        set hasValue [regexp {^(--[^=]+)=(.*)$} $word -> word value]
        if {$word eq "-h"} {
            set word --help
        }
        if {![dict exists $table $word]} {
            usageError "unknown option \"$word\""
        }
        lassign [dict get $table $word] arg key kind
        if {$arg eq ""} {
            if {$hasValue} {
                usageError "option $word takes no value"
            }
            set value 1
        } elseif {!$hasValue} {
            if {$k + 1 >= [llength $argv]} {
                usageError "option $word needs a value ($arg)"
            }
            set value [lindex $argv [incr k]]
        }
        switch -- $word {
            --help    { dict set result action help }
            --version { dict set result action version }
            --out     { dict set result out $value }
            --plots   { dict set result plots 1 }
            --report  { dict set result report 1 }
            --drop-spectra { dict set result dropSpectra 1 }
            --jobs    {
                if {![string is digit -strict $value] || $value < 1} {
                    usageError "--jobs needs a whole number of workers, 1 or more, not \"$value\""
                }
                dict set result jobs [scan $value %d]
            }
            --sshloginfile { dict set result sshloginfile $value }
            default   { lappend settings $word $value }
        }
    }
    dict set result settings $settings
    dict set result paths $paths
    set action [dict get $result action]
    if {$action in $treeActions} {
        if {[llength $settings] || [llength $paths] > 1 || [dict get $result out] ne "."
                || [dict get $result plots] || [dict get $result report]
                || [dict get $result dropSpectra] || [dict get $result jobs] != 1
                || [dict get $result sshloginfile] ne ""} {
            usageError "orvale $action takes one results directory and no options"
        }
    }
    return $result
}

# Checks a value that is plainly wrong for its kind and returns it in the
# form the host expects. Ranges are the command's to refuse.
proc ::orvale::cli::checkValue {opt kind value} {
    set integer {^[-+]?\d+$}
    set number {^[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?$}
    switch -- $kind {
        flag {
            return 1
        }
        integer - pow2 {
            if {![regexp $integer $value]} {
                usageError "$opt wants a whole number, not \"$value\""
            }
            # scan reads "0512" as decimal; the command would take it for octal.
            scan $value %lld value
            if {$kind eq "pow2" && ($value < 1 || ($value & ($value - 1)))} {
                usageError "$opt wants a power of two (256, 512, 1024...), not $value"
            }
            return $value
        }
        number {
            if {![regexp $number $value]} {
                usageError "$opt wants a number, not \"$value\""
            }
            if {[regexp $integer $value]} {
                scan $value %lld value
            } else {
                scan $value %f value
            }
            return $value
        }
        channel {
            if {[regexp $integer $value]} {
                scan $value %lld value
                return $value
            }
            if {[string tolower $value] ni {left right both all}} {
                usageError "$opt wants a channel number or left, right, both, all, not \"$value\""
            }
            return $value
        }
        window {
            if {[string tolower $value] ni {hamming hanning bartlett blackman rectangle}} {
                usageError "$opt wants hamming, hanning, bartlett, blackman or rectangle, not \"$value\""
            }
            return $value
        }
        time - endtime {
            if {$kind eq "endtime" && $value eq "-1"} {
                return $value
            }
            if {[catch {::host::strTimeToMs $value}]} {
                usageError "$opt wants seconds (90, 1.5) or M:SS, H:MM:SS, not \"$value\""
            }
            return $value
        }
    }
    error "option kind $kind has no check"
}

# Turns the option/value list of parseArgs into host settings.
proc ::orvale::cli::checkSettings {settings} {
    set table [optionTable]
    set result {}
    foreach {opt value} $settings {
        lassign [dict get $table $opt] arg key kind
        lappend result $key [checkValue $opt $kind $value]
    }
    return $result
}

# The library's directory (ORVALE_LIBDIR) goes first on auto_path; the host
# namespace alone is enough for --help.
proc ::orvale::cli::requireHost {} {
    global env auto_path
    if {[info exists env(ORVALE_LIBDIR)] && $env(ORVALE_LIBDIR) ne ""} {
        set dir [file normalize $env(ORVALE_LIBDIR)]
        if {$dir ni $auto_path} {
            set auto_path [linsert $auto_path 0 $dir]
        }
    }
    package require orvale::host 1.0
}

proc ::orvale::cli::requireLibrary {} {
    requireHost
    package require snack
    package require Orvale 1.0
}

# Sources the front end's modules: beside this script (the source tree), or
# else in the directory that orvale::host was loaded from (an install).
proc ::orvale::cli::requireModules {} {
    variable scriptDir
    variable modules
    if {[namespace exists ::orvale::tables]} {
        return
    }
    requireHost
    set hostScript [lindex [package ifneeded orvale::host [package present orvale::host]] end]
    foreach dir [list $scriptDir [file dirname $hostScript]] {
        if {[file exists [file join $dir [lindex $modules 0]]]} {
            foreach module $modules {
                uplevel #0 [list source [file join $dir $module]]
            }
            return
        }
    }
    fail "the front end's modules ([join $modules {, }]) are neither in $scriptDir\
        nor beside $hostScript"
}

# The file's base name as the command derives it, for the clash warning.
proc ::orvale::cli::baseName {path} {
    set name [lindex [split $path /] end]
    set dot [string last . $name]
    if {$dot < 0} {
        return $name
    }
    return [string range $name 0 $dot-1]
}

# Absolute paths of the sound files that the command-line paths stand for,
# in order: a directory gives the sound files directly in it, sorted by name
# (numbers in names by value), a file is taken as given. Snack opens a
# missing file as an empty sound, so every path is checked here.
proc ::orvale::cli::soundFiles {paths} {
    variable soundExtensions
    if {![llength $paths]} {
        usageError "no sound files or directories given"
    }
    set files {}
    foreach path $paths {
        set abs [file normalize $path]
        if {![file exists $abs]} {
            fail "no such file or directory: $path"
        }
        if {![file isdirectory $abs]} {
            if {![file readable $abs]} {
                fail "cannot read $path"
            }
            lappend files $abs
            continue
        }
        if {![file readable $abs] || ![file executable $abs]} {
            fail "cannot read directory $path"
        }
        set found {}
        set flac 0
        foreach file [glob -nocomplain -types f -directory $abs *] {
            set extension [string tolower [file extension $file]]
            if {$extension in $soundExtensions} {
                lappend found $file
            } elseif {$extension eq ".flac"} {
                incr flac
            }
        }
        # Snack would read FLAC as noise at the wrong rate: it is never picked.
        set flacHint "Snack cannot read FLAC: convert to WAV first, for example with sox"
        if {![llength $found]} {
            set message "no sound files ([join [lmap e $soundExtensions {string range $e 1 end}] {, }]) in directory $path"
            if {$flac} {
                append message " ($flac FLAC files: $flacHint)"
            }
            fail $message
        }
        if {$flac} {
            puts stderr "orvale: warning: $flac FLAC files in $path left out ($flacHint)"
        }
        foreach file [lsort -dictionary $found] {
            if {![file readable $file]} {
                fail "cannot read $file"
            }
            lappend files $file
        }
    }
    return $files
}

proc ::orvale::cli::warnClashes {files} {
    set seen {}
    foreach file $files {
        set base [baseName $file]
        if {[dict exists $seen $base] && [dict get $seen $base] ne $file} {
            puts stderr "orvale: warning: [dict get $seen $base] and $file share the name\
                \"$base\": results/$base holds the later one"
        }
        dict set seen $base $file
    }
}

proc ::orvale::cli::progress {index count file} {
    puts stderr "\[$index/$count\] $file"
}

# One help entry: the option in a column of its own, the text wrapped to 79
# columns beside it; the tail, such as "(default 512)", is never split.
proc ::orvale::cli::helpEntry {option text {tail {}}} {
    set indent [string repeat " " 20]
    set first [format "  %-17s " $option]
    if {[string length $first] > 20} {
        set lines [list [string trimright $first]]
        set line $indent
    } else {
        set lines {}
        set line $first
    }
    set empty [string length $line]
    set words [split $text " "]
    if {$tail ne ""} {
        lappend words $tail
    }
    foreach word $words {
        if {[string length $line] > $empty
                && [string length $line] + [string length $word] >= 79} {
            lappend lines [string trimright $line]
            set line $indent
        }
        append line "$word "
    }
    lappend lines [string trimright $line]
    return [join $lines \n]
}

proc ::orvale::cli::usage {} {
    variable settingOptions
    variable runOptions
    set lines {
        "Usage: orvale \[options\] FILE|DIR..."
        "       orvale plot \[RESULTS_DIR\]"
        "       orvale report \[RESULTS_DIR\]"
        ""
        "Computes soundscape-ecology indices (ACI, Shannon, level classes, evenness)"
        "for each sound file. A directory stands for the sound files directly in it"
        "(wav, aif, aiff, aifc, au, snd, ogg, mp3), sorted by name. Files that Snack"
        "would misread (FLAC, unknown or empty files) are refused before the run."
        ""
        "Every run also writes results/summary.csv (a row per sound: file, start time"
        "from a YYYYMMDD_HHMMSS name, settings, per-file indices), results/intervals.csv"
        "(a row per analysed interval) and results/run.log. 'orvale plot' redraws the"
        "plots and 'orvale report' writes results/report.html from an existing"
        "results directory (default: ./results)."
        ""
        "TIME is seconds (90, 1.5) or M:SS or H:MM:SS with an optional fraction"
        "(1:30, 0:01:30.250). The setting that each option sets is shown in"
        "brackets, as parametri.txt names it."
        ""
        "Analysis options:"
    }
    ::host::configure
    foreach {opt arg key kind help} $settingOptions {
        if {$kind eq "flag"} {
            set default [expr {[set ::host::$key] ? "on" : "off"}]
        } else {
            set default [set ::host::$key]
        }
        lappend lines [helpEntry [string trimright "$opt $arg"] \
            "$help \[$key\]" "(default $default)"]
    }
    lappend lines "" "Other options:"
    foreach {opt arg help} $runOptions {
        lappend lines [helpEntry [string trimright "$opt $arg"] $help]
    }
    lappend lines "" "Exit status: 0 done, 1 failed (the message says why), 2 bad command line."
    return [join $lines \n]
}

# One batch over the files: every check comes before the first file is
# written, since the command starts by creating results/. Then the tables,
# and the plots and report when asked for.
proc ::orvale::cli::analyse {opts} {
    requireHost
    set settings [checkSettings [dict get $opts settings]]
    requireLibrary
    requireModules
    set files [soundFiles [dict get $opts paths]]
    warnClashes $files
    set sounds [::orvale::inputs::inspect $files]
    set report [dict get $opts report]
    set plots [expr {[dict get $opts plots] || $report}]
    if {$plots} {
        ::orvale::plots::requireGnuplot
    }

    # One process, or workers under GNU parallel whose merged tree is the same.
    set runner ::host::run
    if {[dict get $opts jobs] > 1} {
        if {[auto_execok parallel] eq ""} {
            fail "--jobs needs GNU parallel (Debian package parallel)"
        }
        set loginFile [dict get $opts sshloginfile]
        if {$loginFile ne ""} {
            set loginFile [file normalize $loginFile]
            if {![file readable $loginFile]} {
                fail "--sshloginfile $loginFile cannot be read"
            }
        }
        set runner [list ::orvale::jobs::run [dict get $opts jobs] $loginFile]
    }

    set out [file normalize [dict get $opts out]]
    if {[file exists $out] && ![file isdirectory $out]} {
        fail "--out $out is not a directory"
    }
    if {[catch {file mkdir $out} message]} {
        fail "cannot create --out directory: $message"
    }
    cd $out

    ::host::configure -files $files -set $settings \
        -progress [list [namespace current]::soundStarted]
    set run [runBatch $sounds [dict get $opts dropSpectra] [dict get $opts argv] $runner]
    if {[dict get $run failed]} {
        return -options [dict get $run options] [dict get $run message]
    }

    set results [file join $out results]
    set count [llength $files]
    puts stderr "orvale: analysed $count [expr {$count == 1 ? "sound" : "sounds"}];\
        results in $results"
    if {$plots} {
        set n [::orvale::plots::draw $results]
        puts stderr "orvale: $n plots in [file join $results plots]"
    }
    if {$report} {
        set label [file join [dict get $opts out] results]
        puts stderr "orvale: report: [::orvale::report::write $results $label]"
    }
}

# The run in progress, for soundStarted: started (index of the sound under
# way), bases (the sounds' base names), dropSpectra, log (progress lines).
namespace eval ::orvale::cli {
    variable current {}
}

# Progress callback of the host, inside the command's run: an error here
# would end the run, so nothing may escape.
proc ::orvale::cli::soundStarted {index count file} {
    variable current
    progress $index $count $file
    try {
        dict set current started $index
        dict lappend current log "\[$index/$count\] $file\
            ([clock format [clock seconds] -format %H:%M:%S])"
        # The previous sound is done once the next one opens.
        if {[dict get $current dropSpectra] && $index > 1} {
            dropSpectra [lindex [dict get $current bases] $index-2]
        }
    } on error {message} {
        puts stderr "orvale: warning: $message"
    }
}

proc ::orvale::cli::dropSpectra {base} {
    set path [::orvale::tables::perFilePath results $base _spect.txt]
    if {[catch {file delete $path} message]} {
        puts stderr "orvale: warning: cannot delete $path: $message"
    }
}

# Runs the command over the configured files in the current directory and
# writes summary.csv, intervals.csv and run.log for the sounds it finished,
# all of them unless it failed. Returns a dict: failed, and when it failed
# the message and return options of the command's error.
proc ::orvale::cli::runBatch {sounds dropSpectra argv {runner ::host::run}} {
    variable current
    set bases [lmap s $sounds {baseName [dict get $s path]}]
    set current [dict create started 0 dropSpectra $dropSpectra bases $bases log {}]
    set capture [::orvale::tables::startCapture .]
    set began [clock seconds]
    set failed [catch {{*}$runner} message options]
    set traces [::orvale::tables::captured . $capture]
    if {$failed} {
        # Every sound before the one under way is finished.
        set done [expr {max(0, [dict get $current started] - 1)}]
    } else {
        set done [llength $sounds]
        if {$dropSpectra && $done} {
            dropSpectra [lindex $bases end]
        }
    }

    set blocks [::orvale::tables::parseTrace [dict get $traces parametri.txt]]
    set finished {}
    foreach sound [lrange $sounds 0 $done-1] block $blocks base [lrange $bases 0 $done-1] {
        if {$sound eq ""} break
        if {$block eq "" || [dict get $block sndName] ne $base} {
            set result [dict create failed 1 options {-code error -errorcode {ORVALE FAIL}} \
                message "parametri.txt does not hold this run's block for [dict get $sound path]"]
            return $result
        }
        dict set sound params $block
        dict set sound settings [dict create window $::host::v(wintype) \
            preemph $::host::v(preemph) channel $::host::v(channel)]
        lappend finished $sound
    }
    # A one-sound run leaves Summary.txt as an earlier run wrote it.
    set summaryRows {}
    if {[llength $sounds] > 1} {
        set summaryRows [::orvale::tables::commandSummary results]
    }
    set randLines [::orvale::tables::lines [dict get $traces rand.txt]]
    set log [dict create argv $argv directory [pwd] began $began ended [clock seconds] \
        sounds [llength $sounds] done $done progress [dict get $current log] traces $traces]
    if {$failed} {
        dict set log error $message
    }
    try {
        foreach warning [::orvale::tables::write results $finished $randLines $summaryRows] {
            puts stderr "orvale: warning: $warning"
        }
        ::orvale::tables::writeRunLog results $log
    } on error {tableMessage tableOptions} {
        if {!$failed} {
            return -options $tableOptions $tableMessage
        }
    }
    if {$failed} {
        puts stderr "orvale: results/summary.csv and intervals.csv hold the $done\
            [expr {$done == 1 ? "sound" : "sounds"}] finished before the failure"
        return [dict create failed 1 message $message options $options]
    }
    return [dict create failed 0]
}

# The results directory that plot and report work on: the one given, or
# ./results, or the results/ inside the directory given (an --out).
proc ::orvale::cli::resultsDir {path} {
    if {$path eq ""} {
        set path results
    }
    set dir [file normalize $path]
    if {![file exists [file join $dir summary.csv]]
            && [file exists [file join $dir results summary.csv]]} {
        set dir [file join $dir results]
    }
    if {![file isdirectory $dir]} {
        fail "no such results directory: $path"
    }
    if {![file exists [file join $dir summary.csv]]} {
        fail "no summary.csv in $path: analyse the recordings with orvale first"
    }
    return $dir
}

# orvale plot / orvale report on an existing result tree.
proc ::orvale::cli::treeAction {action opts} {
    requireModules
    set given [lindex [dict get $opts paths] 0]
    set dir [resultsDir $given]
    switch -- $action {
        plot {
            ::orvale::plots::requireGnuplot
            set n [::orvale::plots::draw $dir]
            puts stderr "orvale: $n plots in [file join $dir plots]"
        }
        report {
            # The page names the directory as the user did.
            if {$given eq ""} {
                set given results
            } elseif {$dir ne [file normalize $given]} {
                set given [file join $given results]
            }
            puts stderr "orvale: report: [::orvale::report::write $dir $given]"
        }
    }
}

proc ::orvale::cli::main {argv} {
    try {
        set opts [parseArgs $argv]
        dict set opts argv $argv
        switch -- [dict get $opts action] {
            help {
                requireHost
                puts [usage]
            }
            version {
                variable version
                puts $version
            }
            analyse {
                analyse $opts
            }
            plot - report {
                treeAction [dict get $opts action] $opts
            }
        }
    } trap {ORVALE USAGE} {message} {
        puts stderr "orvale: $message"
        puts stderr "Try 'orvale --help' for the options."
        return 2
    } on error {message} {
        puts stderr "orvale: $message"
        return 1
    }
    return 0
}

# Sourced (by the tests), the file only defines its procedures.
if {[info exists argv0] && [file normalize [info script]] eq [file normalize $argv0]} {
    exit [::orvale::cli::main $argv]
}
