# Small test sounds, synthesised and written by Snack itself.
namespace eval wav {}

# wav::write PATH ?-rate R? ?-samples N? ?-freq F? ?-amp A? ?-channels C? ?-kind sine|noise|silence?
proc wav::write {path args} {
    array set o {-rate 16000 -samples 4096 -freq 1000 -amp 4000 -channels 1 -kind sine}
    foreach {k val} $args {
        if {![info exists o($k)]} { error "wav::write: unknown option $k" }
        set o($k) $val
    }
    set snd [snack::sound -rate $o(-rate) -channels $o(-channels)]
    try {
        switch -- $o(-kind) {
            silence { $snd length $o(-samples) }
            sine - noise {
                # The generator fills the sound in place: without -continuedrain 0 it stops
                # at 100000 samples or runs on past the end.
                $snd length $o(-samples)
                set gen [snack::filter generator $o(-freq) $o(-amp) 0.0 $o(-kind) -1]
                $snd filter $gen -continuedrain 0
                $gen destroy
            }
            default { error "wav::write: unknown kind $o(-kind)" }
        }
        $snd write $path
    } finally {
        $snd destroy
    }
    return $path
}

# A stereo sound whose left channel carries one tone and whose right another.
proc wav::stereo {path rate samples leftFreq rightFreq amp} {
    set l [snack::sound -rate $rate]
    set r [snack::sound -rate $rate]
    foreach {snd freq} [list $l $leftFreq $r $rightFreq] {
        $snd length $samples
        set gen [snack::filter generator $freq $amp 0.0 sine -1]
        $snd filter $gen -continuedrain 0
        $gen destroy
    }
    set s [snack::sound -rate $rate -channels 2]
    $s length $samples
    for {set i 0} {$i < $samples} {incr i} {
        $s sample $i [$l sample $i] [$r sample $i]
    }
    $s write $path
    foreach x [list $l $r $s] { $x destroy }
    return $path
}
