# Runs the tcltest files of this folder (all, or those named by -file) against the built library.
package require tcltest 2.5
namespace import ::tcltest::*

set dir [file dirname [file normalize [info script]]]
configure -testdir $dir -singleproc 1 {*}$argv
file mkdir [configure -tmpdir]

# tcltest reports failures but exits 0: count them ourselves, and a file that cannot be
# sourced counts as a failure too.
proc tcltest::cleanupTestsHook {} {
    variable numTests
    set ::orvale_failed [expr {$numTests(Failed) + [llength $::tcltest::failFiles]}]
}
set ::orvale_failed 0
runAllTests
exit [expr {$::orvale_failed > 0 || [llength $::tcltest::failFiles] > 0}]
