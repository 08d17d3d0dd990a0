# Writes a small demo set of field-like recordings: bird-like chirps over background noise.
#   tclsh scripts/make_demo.tcl DIR
package require snack

set dir [lindex $argv 0]
if {$dir eq ""} { puts stderr "usage: tclsh make_demo.tcl DIR"; exit 2 }
file mkdir $dir

set rate 22050
set pi [expr {acos(-1)}]

# name seconds noise-amplitude {chirp-start-s chirp-length-s f0 f1 amplitude ...}
set recordings {
    dawn_chorus 8 300 {0.5 0.4 2500 4500 6000  1.3 0.3 3000 5500 5000  2.2 0.5 2000 3500 7000
                       3.4 0.4 4000 6000 4000  4.6 0.3 2500 4500 6000  5.5 0.6 1800 3000 6500
                       6.8 0.4 3000 5000 5000}
    midday 8 900 {1.0 0.5 3500 4000 3000  4.0 0.5 3500 4000 3000}
    rain 8 2500 {}
}

expr {srand(20240501)}
foreach {name seconds noise chirps} $recordings {
    set path [file join $dir $name.wav]
    if {[file exists $path]} continue
    set n [expr {$seconds * $rate}]
    set samples [lrepeat $n 0.0]
    for {set i 0} {$i < $n} {incr i} {
        lset samples $i [expr {$noise * (rand() * 2 - 1)}]
    }
    foreach {t0 len f0 f1 amp} $chirps {
        set first [expr {int($t0 * $rate)}]
        set count [expr {int($len * $rate)}]
        set phase 0.0
        for {set k 0} {$k < $count && $first + $k < $n} {incr k} {
            set x [expr {double($k) / $count}]
            set f [expr {$f0 + ($f1 - $f0) * $x}]
            set phase [expr {$phase + 2 * $pi * $f / $rate}]
            # A smooth swell and fade, like a song note.
            set swell [expr {sin($pi * $x)}]
            set i [expr {$first + $k}]
            lset samples $i [expr {[lindex $samples $i] + $amp * $swell * sin($phase)}]
        }
    }
    set snd [snack::sound -rate $rate]
    $snd length $n
    set i 0
    foreach s $samples {
        $snd sample $i [expr {max(-32768, min(32767, int(round($s))))}]
        incr i
    }
    $snd write $path
    $snd destroy
    puts stderr "demo: wrote $path"
}
