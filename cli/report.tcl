# report.tcl: results/report.html, one static page that a browser opens
# from disk: the per-file table, the settings, the plots (embedded as data
# URIs), each recording's intervals and the run's trace. It links to nothing
# and loads nothing.

namespace eval ::orvale::report {
    # Columns of the per-file table: summary.csv column, heading.
    variable indexColumns {
        sndBase         recording
        start_time      {start}
        duration_s      {duration (s)}
        n_intervals     intervals
        power_total     {power total}
        occupancy_total {occupancy total}
        aci_total       {ACI total}
        shannon_sum     {Shannon sum}
        aciIf_total     {ACI-If total}
        lev_sum         {lev sum}
        levDiff_sum     {levDiff sum}
        levRapp         levRapp
        evenness        evenness
    }
    variable settingColumns {
        sndBase      recording
        file         file
        rate_hz      {rate (Hz)}
        channels     channels
        channel      {channel analysed}
        fftlen       fftlen
        window       window
        preemph      preemph
        band_low_hz  {band from (Hz)}
        band_high_hz {band to (Hz)}
        frStart      frStart
        frEnd        frEnd
        interval_s   {interval (s)}
        step_s       {step (s)}
        filtro       filtro
        classiLev    classiLev
        mode         mode
    }
    variable intervalColumns {
        k           k
        start_s     {start (s)}
        end_s       {end (s)}
        shannon     Shannon
        aci_sum     {ACI sum}
        aciIf_total {ACI-If total}
    }
    # What a reader needs to read the per-file table; the full definitions
    # are in the project's docs/indices.md.
    variable glossary {
        {power total} {sum over the analysed intervals, frames and bins of the spectrum values above filtro (linear magnitudes, not dB)}
        {occupancy total} {number of (frame, bin) cells above filtro}
        {ACI total} {acoustic complexity index over time: per bin, the summed absolute change between consecutive frames divided by the bin's total, summed over bins and intervals}
        {Shannon sum} {spectral entropy -&Sigma; p ln p of each frame over the band, averaged over the interval's frames, summed over intervals}
        {ACI-If total} {the same complexity across frequency: differences between neighbouring bins, summed over bin pairs and intervals}
        {lev sum, levDiff sum, levRapp} {edit distances between the ACI level-class profiles of consecutive intervals, their changes, and levDiff sum / lev sum}
        {evenness} {inverse Simpson index of the ACI totals over the bins: 1 when one bin holds all complexity, the number of bins when all hold the same; inf for a silent sound}
    }
    variable style {
        body { font: 14px/1.45 "DejaVu Sans", "Helvetica Neue", Arial, sans-serif; color: #1d2327; margin: 0 auto; max-width: 1180px; padding: 16px 24px 48px; background: #fbfbf8; }
        h1 { font-size: 24px; margin: 8px 0 2px; color: #17324d; }
        h2 { font-size: 19px; margin: 32px 0 8px; padding-bottom: 4px; border-bottom: 2px solid #21918c; color: #17324d; }
        h3 { font-size: 16px; margin: 24px 0 4px; }
        .meta { color: #5b6670; margin: 0 0 12px; }
        nav a { margin-right: 14px; color: #1f5f8b; }
        table { border-collapse: collapse; margin: 8px 0 12px; font-size: 13px; background: #fff; }
        th, td { border: 1px solid #d5d9dc; padding: 3px 8px; text-align: right; white-space: nowrap; }
        th { background: #e8f1f0; font-weight: 600; }
        td.text, th.text { text-align: left; }
        .scroll { overflow-x: auto; }
        img { display: block; max-width: 100%; margin: 6px 0; border: 1px solid #e1e4e6; background: #fff; }
        dt { font-weight: 600; margin-top: 6px; }
        dd { margin-left: 18px; color: #39434b; }
        pre { background: #f1f3f4; border: 1px solid #d5d9dc; padding: 10px; overflow-x: auto; font-size: 12px; }
        .note { color: #8a5a00; }
        summary { cursor: pointer; color: #1f5f8b; }
    }
}

proc ::orvale::report::html {text} {
    string map {& &amp; < &lt; > &gt; \" &quot; ' &#39;} $text
}

# A table of rows (dicts) in the given columns; text columns align left.
proc ::orvale::report::table {id columns rows {textColumns {}}} {
    set out "<div class=\"scroll\"><table id=\"[html $id]\"><thead><tr>"
    foreach {column heading} $columns {
        set class [expr {$column in $textColumns ? " class=\"text\"" : ""}]
        append out "<th$class>[html $heading]</th>"
    }
    append out "</tr></thead><tbody>\n"
    foreach row $rows {
        append out "<tr>"
        foreach {column heading} $columns {
            set class [expr {$column in $textColumns ? " class=\"text\"" : ""}]
            set value ""
            if {[dict exists $row $column]} {
                set value [dict get $row $column]
            }
            append out "<td$class>[html $value]</td>"
        }
        append out "</tr>\n"
    }
    append out "</tbody></table></div>\n"
    return $out
}

# A PNG as an <img> with the picture inside the page.
proc ::orvale::report::image {path alt} {
    if {![file exists $path]} {
        return "<p class=\"note\">[html "No plot [file tail $path]."]</p>\n"
    }
    set f [open $path rb]
    try {
        set data [binary encode base64 [read $f]]
    } finally {
        close $f
    }
    return "<img alt=\"[html $alt]\" src=\"data:image/png;base64,$data\">\n"
}

# True when some plot of the tree is missing.
proc ::orvale::report::plotsMissing {resultsDir sounds} {
    foreach sound $sounds {
        foreach path [::orvale::plots::files $resultsDir [dict get $sound sndBase]] {
            if {![file exists $path]} {
                return 1
            }
        }
    }
    return [expr {[llength $sounds] > 1
        && ![file exists [file join $resultsDir plots batch.png]]}]
}

# Writes resultsDir/report.html and returns its path. Plots that are
# missing are drawn first when gnuplot is there. label names the directory
# on the page, as the user gave it.
proc ::orvale::report::write {resultsDir {label {}}} {
    variable indexColumns
    variable settingColumns
    variable intervalColumns
    variable glossary
    variable style
    set sounds [::orvale::tables::readCsv [file join $resultsDir summary.csv]]
    set intervals [::orvale::tables::readCsv [file join $resultsDir intervals.csv]]
    set note ""
    if {[plotsMissing $resultsDir $sounds]} {
        if {[catch {::orvale::plots::draw $resultsDir} message]} {
            set note "<p class=\"note\">[html "Plots not drawn: $message"]</p>\n"
        }
    }
    set byKey {}
    foreach row $intervals {
        dict lappend byKey [list [dict get $row file] [dict get $row sndBase]] $row
    }
    set count [llength $sounds]
    set title "Soundscape indices: $count [expr {$count == 1 ? "recording" : "recordings"}]"

    set page "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
    append page "<title>[html $title]</title>\n<style>$style</style>\n</head>\n<body>\n"
    append page "<h1>[html $title]</h1>\n"
    if {$label eq ""} {
        set label $resultsDir
    }
    append page "<p class=\"meta\">[html "Results: $label. Page written\
        [clock format [clock seconds] -format {%Y-%m-%d %H:%M:%S}]."]</p>\n"
    append page "<nav><a href=\"#indices\">Per-file indices</a><a href=\"#settings\">Settings</a>\
        <a href=\"#recordings\">Recordings</a><a href=\"#reading\">Reading the numbers</a>\
        <a href=\"#trace\">Run trace</a></nav>\n"
    append page $note

    append page "<h2 id=\"indices\">Per-file indices</h2>\n"
    append page [table summary-table $indexColumns $sounds {sndBase start_time}]
    if {$count > 1} {
        append page [image [file join $resultsDir plots batch.png] "per-file indices of every recording"]
    }

    append page "<h2 id=\"settings\">Settings</h2>\n"
    append page [table settings-table $settingColumns $sounds {sndBase file window mode}]

    append page "<h2 id=\"recordings\">Recordings</h2>\n"
    set index 0
    foreach sound $sounds {
        incr index
        set base [dict get $sound sndBase]
        set rows {}
        set key [list [dict get $sound file] $base]
        if {[dict exists $byKey $key]} {
            set rows [dict get $byKey $key]
        }
        append page "<section id=\"recording-$index\">\n<h3>[html $base]</h3>\n"
        set facts [list [dict get $sound file] "[dict get $sound duration_s] s" \
            "[dict get $sound rate_hz] Hz" "[dict get $sound channels] channel(s)"]
        if {[dict get $sound start_time] ne ""} {
            lappend facts "started [dict get $sound start_time]"
        }
        append page "<p class=\"meta\">[html [join $facts { · }]]</p>\n"
        lassign [::orvale::plots::files $resultsDir $base] aci series
        append page [image $aci "ACI per interval and frequency of $base"]
        append page [image $series "Shannon index and ACI-If total per interval of $base"]
        append page "<details><summary>[html "[llength $rows] analysed intervals"]</summary>\n"
        append page [table "intervals-$index" $intervalColumns $rows]
        append page "</details>\n</section>\n"
    }

    append page "<h2 id=\"reading\">Reading the numbers</h2>\n<dl>\n"
    foreach {term text} $glossary {
        # The texts are written here as HTML already.
        append page "<dt>[html $term]</dt><dd>$text</dd>\n"
    }
    append page "</dl>\n<p>[html "Sums in summary.csv are formed from the six-decimal cells\
        of the per-file tables and can differ from the command's Summary.txt in the\
        last decimals. The plots: in the ACI picture each column is one analysis\
        interval and each row one FFT bin; bright cells are bins whose level changes\
        a lot from frame to frame (song, calls), dark ones steady sound or silence."]</p>\n"

    append page "<h2 id=\"trace\">Run trace</h2>\n"
    set log [::orvale::tables::runLog $resultsDir]
    if {$log eq ""} {
        append page "<p class=\"note\">No run.log in this results directory.</p>\n"
    } else {
        append page "<pre>[html $log]</pre>\n"
    }
    append page "</body>\n</html>\n"

    set path [file join $resultsDir report.html]
    set f [open $path.part w]
    try {
        fconfigure $f -encoding utf-8 -translation lf
        puts -nonewline $f $page
    } finally {
        close $f
    }
    file rename -force $path.part $path
    return $path
}
