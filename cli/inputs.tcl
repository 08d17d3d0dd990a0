# inputs.tcl: the sound files as Snack will read them.
#
# Snack opens anything: a file whose header it does not know becomes
# headerless 16-bit audio at 16000 Hz, without an error, and the command would
# analyse that noise. Every file is opened here before the run, so such a file
# is refused up front, and its rate, channels and length are kept for the
# tables.

namespace eval ::orvale::inputs {
    # Snack's optional format packages and what they add.
    variable formatPackages {snackogg {Ogg Vorbis} snackmpg MP3}
    # Formats whose packages loaded, filled by loadFormats.
    variable extraFormats {}
    variable formatsLoaded 0
}

# Loads the format packages that are installed; a missing one only narrows
# what can be read.
proc ::orvale::inputs::loadFormats {} {
    variable formatPackages
    variable extraFormats
    variable formatsLoaded
    if {$formatsLoaded} {
        return $extraFormats
    }
    package require snack
    foreach {pkg label} $formatPackages {
        if {![catch {package require $pkg}]} {
            lappend extraFormats $label
        }
    }
    set formatsLoaded 1
    return $extraFormats
}

# The formats that can be analysed, for messages.
proc ::orvale::inputs::acceptedFormats {} {
    join [concat {WAV AIFF AU/SND SMP} [loadFormats]] {, }
}

# What the first bytes say, for the formats that Snack misreads or needs a
# package for: flac, ogg, mp3, mp4 or empty when none of these.
proc ::orvale::inputs::sniff {path} {
    set f [open $path rb]
    try {
        set head [read $f 12]
    } finally {
        close $f
    }
    if {[string range $head 0 3] eq "fLaC"} {
        return flac
    }
    if {[string range $head 0 3] eq "OggS"} {
        return ogg
    }
    if {[string range $head 4 7] eq "ftyp"} {
        return mp4
    }
    if {[string range $head 0 2] eq "ID3"} {
        return mp3
    }
    # An MPEG audio frame starts with eleven set bits.
    if {[binary scan $head Su sync] && ($sync & 0xFFE0) == 0xFFE0} {
        return mp3
    }
    return ""
}

# Why a file that Snack took for headerless audio cannot be analysed.
proc ::orvale::inputs::refusal {path size} {
    variable extraFormats
    set name [file tail $path]
    if {$size == 0} {
        return "$path: empty file"
    }
    switch -- [sniff $path] {
        flac {
            set wav [file rootname $name].wav
            return "$path: FLAC, which Snack cannot read (it would take it for headerless\
                audio at the wrong rate); convert it to WAV first, for example\
                with: sox '$name' '$wav'"
        }
        ogg {
            return "$path: Ogg, and Snack's snackogg package is not installed\
                (Debian package tcl-snack)"
        }
        mp3 {
            return "$path: MP3, and Snack's snackmpg package is not installed\
                (Debian package tcl-snack)"
        }
        mp4 {
            return "$path: MP4/AAC, which Snack cannot read; convert it to WAV first"
        }
    }
    return "$path: not a sound format that Snack recognises (it would read it as\
        headerless 16-bit audio at 16000 Hz); accepted: [acceptedFormats]"
}

# Opens each file with Snack and returns one dict per file, in order:
# path, format, rate, channels, samples, duration (seconds). A file that
# Snack would misread is an error; the message lists every such file.
proc ::orvale::inputs::inspect {files} {
    loadFormats
    set sounds {}
    set problems {}
    foreach path $files {
        set snd [snack::sound -file $path]
        try {
            set format [$snd cget -fileformat]
            set rate [$snd cget -rate]
            set channels [$snd cget -channels]
            set samples [$snd length]
        } finally {
            $snd destroy
        }
        # A FLAC file can carry a header that Snack half-recognises; its
        # content decides, not what Snack made of it.
        if {$format eq "RAW" || [sniff $path] eq "flac"} {
            lappend problems [refusal $path [file size $path]]
            continue
        }
        lappend sounds [dict create path $path format $format rate $rate \
            channels $channels samples $samples \
            duration [expr {$rate > 0 ? double($samples) / $rate : 0.0}]]
    }
    if {[llength $problems] == 1} {
        return -code error -errorcode {ORVALE FAIL} "cannot analyse [lindex $problems 0]"
    }
    if {[llength $problems]} {
        return -code error -errorcode {ORVALE FAIL} \
            "cannot analyse [llength $problems] files:\n  [join $problems "\n  "]"
    }
    return $sounds
}
