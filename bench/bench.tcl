# Speed and memory of one Orvale batch against the floor that Snack sets.
#
#   tclsh bench/bench.tcl ?-minutes {10 20}? ?-fftlen {512 2048}? ?-data DIR? ?-reps N? ?-scripts 1?
#
# For each recording length and FFT length a fresh tclsh times, on the same generated
# 44.1 kHz recording: the floor (a bare loop of the very powerSpectrum calls the command makes)
# and one Orvale batch with 5-second intervals. It prints one line per case:
#   fftlen minutes floor_s run_s ratio audio_min_per_s peak_rss_mb
# Times are CPU seconds of the process (user and system, from /proc/self/schedstat), so that
# other work on the machine does not blur the ratio. floor_s and run_s are the best of -reps
# repetitions (5); ratio is the median of the repetitions' own run/floor ratios, each timed
# back to back. Peak RSS is the child's high-water mark.
#
# With -scripts 1 a comment line follows each case: the time of the per-frame scripts that
# the command must evaluate ("set i", the frame script with its unbraced expr, "unset lista"),
# in a loop as bare as the floor's: what the command costs before it adds anything of its own.

set here [file dirname [file normalize [info script]]]

proc option {name default} {
    set i [lsearch -exact $::argv $name]
    expr {$i >= 0 ? [lindex $::argv $i+1] : $default}
}

# CPU time of this process in seconds, to the nanosecond.
proc cpuTime {} {
    set f [open /proc/self/schedstat]
    set ns [lindex [read $f] 0]
    close $f
    expr {$ns / 1e9}
}

proc peakRss {} {
    set f [open /proc/self/status]
    set text [read $f]
    close $f
    regexp {VmHWM:\s+(\d+) kB} $text -> kb
    expr {$kb / 1024.0}
}

# A field-like recording: broadband noise with a tone over it, written once and reused.
proc recording {dir minutes} {
    set path [file join $dir bench_${minutes}min.wav]
    if {[file exists $path]} { return $path }
    file mkdir $dir
    set n [expr {$minutes * 60 * 44100}]
    set noise [snack::sound -rate 44100]
    $noise length $n
    set g [snack::filter generator 0 2000 0.0 noise -1]
    $noise filter $g -continuedrain 0
    set tone [snack::sound -rate 44100]
    $tone length $n
    set t [snack::filter generator 3000 6000 0.0 sine -1]
    $tone filter $t -continuedrain 0
    $noise mix $tone
    $noise write $path
    foreach x [list $noise $tone $g $t] { $x destroy }
    return $path
}

# The frame script exactly as the command evaluates it.
set frameScript [subst -nocommands -novariables {if { $i < [expr $sndLen - $v(fftlen)] }  {set lista [$snd powerSpectrum -start $i -end [expr $i + $v(fftlen) - 1] \t\t\t\t\t\t\t\t\t-fftlen $v(fftlen) -winlen $v(fftlen) -windowtype $v(wintype) \t\t\t\t\t\t\t\t\t-preemph $v(preemph) \t\t\t\t\t\t\t\t\t-channel $v(channel)]}}]

# The scripts alone over the frames the command asks for, compiled into a loop as bare as
# the floor's.
proc scriptsAlone {snd sndLen starts span fftlen} [string map [list @frame@ $frameScript] {
    array set v [array get ::host::v]
    set t0 [cpuTime]
    foreach first $starts {
        for {set f $first} {$f <= $first + $span} {incr f $fftlen} {
            set i $f
            @frame@
            unset lista
        }
    }
    expr {[cpuTime] - $t0}
}]

proc child {path fftlen reps scripts} {
    package require snack
    package require Orvale
    package require orvale::host

    set work [file join [file dirname $path] run_$fftlen]
    file delete -force $work
    file mkdir $work
    cd $work

    host::configure -files [list $path] -set [list v(fftlen) $fftlen a(tInt) 5000 a(distInt) 5000]
    # The frames the command asks for: every interval of the grid and its end frame.
    set snd [snack::sound -file $path]
    set rate [$snd cget -rate]
    set sndLen [$snd length]
    set tInt [expr {int(5000 * $rate / 1000.0 / $fftlen)}]
    set nFrames [expr {$sndLen / $fftlen}]
    # Interval starts only: a list of every frame would itself weigh megabytes in the peak.
    set starts {}
    for {set s 0} {$s + $tInt < $nFrames && ($s + $tInt) * $fftlen < $sndLen - $fftlen} {incr s $tInt} {
        lappend starts [expr {$s * $fftlen}]
    }
    set last [expr {$fftlen - 1}]
    set span [expr {$tInt * $fftlen}]

    # The floor as a proc of its own, so that each repetition can take the two in either order.
    proc floorLoop {snd starts span fftlen last} {
        set t0 [cpuTime]
        foreach first $starts {
            for {set i $first} {$i <= $first + $span} {incr i $fftlen} {
                $snd powerSpectrum -start $i -end [expr {$i + $last}] -fftlen $fftlen -winlen $fftlen \
                    -windowtype hamming -preemph 0.0 -channel 0
            }
        }
        expr {[cpuTime] - $t0}
    }
    proc runOnce {} {
        file delete -force results parametri.txt
        set t0 [cpuTime]
        host::run
        expr {[cpuTime] - $t0}
    }

    # The machine's speed drifts over seconds: each repetition times the floor and the run
    # back to back, in alternating order, and the ratio is the median of the repetitions'.
    set floors {}
    set runs {}
    set ratios {}
    set alone Inf
    for {set r 0} {$r < $reps} {incr r} {
        if {$r % 2 == 0} {
            set f [floorLoop $snd $starts $span $fftlen $last]
            set t [runOnce]
        } else {
            set t [runOnce]
            set f [floorLoop $snd $starts $span $fftlen $last]
        }
        lappend floors $f
        lappend runs $t
        lappend ratios [expr {$t / $f}]
        if {$scripts} { set alone [expr {min($alone, [scriptsAlone $snd $sndLen $starts $span $fftlen])}] }
    }
    set floor [tcl::mathfunc::min {*}$floors]
    set run [tcl::mathfunc::min {*}$runs]
    set ratios [lsort -real $ratios]
    set n [llength $ratios]
    set ratio [expr {($n % 2) ? [lindex $ratios [expr {$n / 2}]]
                     : ([lindex $ratios [expr {$n / 2 - 1}]] + [lindex $ratios [expr {$n / 2}]]) / 2.0}]
    $snd destroy
    set minutes [expr {$sndLen / $rate / 60.0}]
    puts [format "%6d %7.1f %8.3f %8.3f %6.3f %8.1f %8.1f" $fftlen $minutes $floor $run \
              $ratio [expr {$minutes / $run}] [peakRss]]
    if {$scripts} {
        puts [format "# %d %.1f: the scripts alone %.3f s, %.3f of the floor" $fftlen $minutes $alone \
                  [expr {$alone / $floor}]]
    }
    cd [file dirname $path]
    file delete -force $work
}

if {[lindex $argv 0] eq "-child"} {
    lassign $argv - path fftlen reps scripts
    child $path $fftlen $reps $scripts
    exit 0
}

package require snack
set data [file normalize [option -data [file join [pwd] bench-data]]]
set reps [option -reps 5]
set scripts [option -scripts 0]
puts [format "%6s %7s %8s %8s %6s %8s %8s" fftlen minutes floor_s run_s ratio min/s rss_mb]
foreach minutes [option -minutes {10 20}] {
    set path [recording $data $minutes]
    foreach fftlen [option -fftlen {512 2048}] {
        # Snack's mixer warning goes to stderr; a failing child still fails through its exit code.
        puts [exec [info nameofexecutable] [info script] -child $path $fftlen $reps $scripts 2>/dev/null]
        flush stdout
    }
}
