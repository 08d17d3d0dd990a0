# host.tcl: the host namespace that the Orvale command runs in.
#
# Orvale reads listaFile and the arrays a and v of the namespace it is called
# from, and calls [namespace current]::timeBins, strTimeToMs and freqToClass.
# A run is therefore
#
#     host::configure -files {dawn.wav dusk.wav} -set {a(tInt) 10000}
#     host::run                      ;# or: namespace eval ::host Orvale
#
# and everything it writes lands in the current directory.

package require Tcl 8.6

namespace eval ::host {
    variable a
    variable v
    variable listaFile {}
    # Command prefix called once per sound; see configure.
    variable progress {}
    variable started 0

    # The command sets these in the namespace it runs in. An unqualified
    # [set] at namespace level writes a global of the same name when the
    # namespace has none, so they are declared here.
    foreach name {sndName sndLen frStart frEnd tStart tEnd tInt distInt aaa} {
        variable $name
    }
    # snd, i and lista are unset between sounds or frames, which would drop a
    # plain declaration; links into scratch survive the unset.
    variable scratch
    foreach name {snd i lista} {
        unset -nocomplain ::host::$name
        upvar 0 scratch($name) $name
    }
    unset name
}

# Puts a and v back to values that suit a typical field recording.
proc ::host::Defaults {} {
    variable a
    variable v
    array unset a
    array unset v

    # FFT length in samples, also the frame length; Snack wants a power of two.
    set v(fftlen) 512
    # FFT window: hamming, hanning, bartlett, blackman or rectangle.
    set v(wintype) hamming
    # Pre-emphasis factor; 0.0 leaves the signal as it is.
    set v(preemph) 0.0
    # Channel analysed, 0 being the first.
    set v(channel) 0

    # Lowest frequency analysed, Hz.
    set a(frStart) 0
    # Highest frequency analysed, Hz; -1 means half the sample rate.
    set a(frEnd) -1
    # Start of the analysed stretch: seconds or a clock form (see strTimeToMs).
    set a(tStart) 0
    # End of the analysed stretch, as tStart; -1 means the end of the sound.
    set a(tEnd) -1
    # Length of one analysis interval, ms.
    set a(tInt) 5000
    # Distance between the starts of consecutive intervals, ms.
    set a(distInt) 5000
    # Only spectrum values above this take part; Snack's powerSpectrum gives
    # linear magnitudes, not decibels.
    set a(filtro) 0
    # Non-zero: nRand intervals at random whole seconds instead of a grid.
    set a(random) 0
    # Number of random intervals.
    set a(nRand) 10
    # Number of level classes.
    set a(classiLev) 7
}

# Reads text as a finite decimal number. scan takes "08" as 8 where expr
# would refuse it as a bad octal number.
proc ::host::Number {caller what text} {
    if {[regexp {^[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?$} $text]
            && [scan $text %f n] == 1 && $n * 0 == 0} {
        return $n
    }
    return -code error -errorcode {ORVALE HOST VALUE} \
        "$caller: expected $what but got \"$text\""
}

proc ::host::SampleRate {caller snd} {
    set rate [Number $caller "a sample rate" [$snd cget -rate]]
    if {$rate <= 0} {
        return -code error -errorcode {ORVALE HOST VALUE} \
            "$caller: sound $snd has sample rate $rate"
    }
    return $rate
}

proc ::host::FftLength {caller fftlen} {
    set n [Number $caller "an FFT length in samples" $fftlen]
    if {$n <= 0} {
        return -code error -errorcode {ORVALE HOST VALUE} \
            "$caller: expected a positive FFT length but got \"$fftlen\""
    }
    return $n
}

# Milliseconds to whole FFT frames of snd. Truncated toward zero like every
# conversion in the command: -40 ms at 16 kHz and fftlen 512 is -1 frame, not
# -2, so a negative time keeps its sign for the caller to refuse.
proc ::host::timeBins {ms snd fftlen} {
    set ms [Number timeBins "a time in ms" $ms]
    set rate [SampleRate timeBins $snd]
    set fftlen [FftLength timeBins $fftlen]
    # One division: an exact number of frames stays exact.
    return [expr {entier($ms * $rate / (1000.0 * $fftlen))}]
}

# Hz to the index of the FFT bin of snd that holds it, truncated toward zero
# (a negative frequency gives a negative index).
proc ::host::freqToClass {hz snd fftlen} {
    set hz [Number freqToClass "a frequency in Hz" $hz]
    set rate [SampleRate freqToClass $snd]
    set fftlen [FftLength freqToClass $fftlen]
    return [expr {entier($hz * $fftlen / $rate)}]
}

# A time setting to milliseconds: seconds (90, 1.5) or a clock form M:SS or
# H:MM:SS (1:30, 0:01:30.250), where minutes and seconds after a colon have
# two digits below 60. The digits are shifted rather than multiplied, so
# 1.005 s is exactly 1005 ms; a whole number of ms comes back as an integer.
proc ::host::strTimeToMs {t} {
    if {[regexp {^(\d*)(?:\.(\d*))?$} $t -> sec frac] && "$sec$frac" ne ""} {
        set h 0
        set m 0
        if {$sec eq ""} {
            set sec 0
        }
    } elseif {[regexp {^(\d+):([0-5]\d)(?:\.(\d*))?$} $t -> m sec frac]} {
        set h 0
    } elseif {![regexp {^(\d+):([0-5]\d):([0-5]\d)(?:\.(\d*))?$} $t -> h m sec frac]} {
        return -code error -errorcode {ORVALE HOST TIME} \
            "strTimeToMs: \"$t\" is not a time: expected seconds (90, 1.5)\
             or M:SS, H:MM:SS with an optional fraction (1:30, 0:01:30.250)"
    }
    # scan reads "08" as decimal, where expr would take it for octal.
    foreach var {h m sec} {
        scan [set $var] %lld $var
    }
    # The first three digits of the fraction are whole milliseconds.
    set whole [scan [string range ${frac}000 0 2] %d]
    set rest [string range $frac 3 end]
    set ms [expr {(($h * 60 + $m) * 60 + $sec) * 1000 + $whole}]
    if {[string trimright $rest 0] eq ""} {
        return $ms
    }
    return [expr {$ms + [scan 0.$rest %f]}]
}

# The command reads each sound's name exactly once, as the sound opens, so a
# write trace on sndName sees every sound start.
proc ::host::SndNameWritten {args} {
    variable progress
    variable started
    variable listaFile
    variable sndName
    set count [llength $listaFile]
    incr started
    if {[llength $progress]} {
        uplevel #0 [list {*}$progress $started $count $sndName]
    }
    # A finished run leaves the count ready for the next one.
    if {$started >= $count} {
        set started 0
    }
}

# host::configure ?-files LIST? ?-set {a(name) value ...}? ?-progress CMD?
#
# Every call starts from the defaults: files, settings and progress that are
# not given are reset. -set takes element names of a and v; -progress is a
# command prefix called with the index (from 1), the count and the file name
# as each sound starts, since the command reads each sound's name once.
proc ::host::configure {args} {
    variable a
    variable v
    variable listaFile
    variable progress
    variable started

    # A refused call still leaves the defaults, never half of its settings.
    Defaults
    set listaFile {}
    set progress {}
    set started 0
    set known [lsort [concat \
        [lmap k [array names a] {string cat a( $k )}] \
        [lmap k [array names v] {string cat v( $k )}]]]

    if {[llength $args] % 2} {
        return -code error -errorcode {ORVALE HOST USAGE} \
            "host::configure: missing value for \"[lindex $args end]\""
    }
    foreach {opt value} $args {
        switch -- $opt {
            -files - -progress {}
            -set {
                if {[catch {llength $value} n] || $n % 2} {
                    return -code error -errorcode {ORVALE HOST USAGE} \
                        "host::configure: -set wants name value pairs, got \"$value\""
                }
                foreach {key val} $value {
                    if {$key ni $known} {
                        return -code error -errorcode {ORVALE HOST SETTING} \
                            "host::configure: unknown setting \"$key\":\
                             expected one of [join $known {, }]"
                    }
                }
            }
            default {
                return -code error -errorcode {ORVALE HOST USAGE} \
                    "host::configure: unknown option \"$opt\":\
                     expected -files, -set or -progress"
            }
        }
    }

    foreach {opt value} $args {
        switch -- $opt {
            -files    { set listaFile $value }
            -progress { set progress $value }
            -set {
                foreach {key val} $value {
                    set $key $val
                }
            }
        }
    }
    return
}

# Runs the command over listaFile in this namespace; returns what it returns.
proc ::host::run {} {
    variable started 0
    namespace eval ::host Orvale
}

namespace eval ::host {
    Defaults
    # Sourced again, the file must not call the progress command twice.
    trace remove variable sndName write ::host::SndNameWritten
    trace add variable sndName write ::host::SndNameWritten
}

package provide orvale::host 1.0
