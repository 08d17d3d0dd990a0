#include <snack.h>
#include <tcl.h>

#include "driver/orvale_cmd.h"

namespace {

// Both stub tables are bound before the package is provided, and the command exists
// only once the package is.
int initialise(Tcl_Interp* interp)
{
    if (Tcl_InitStubs(interp, "8", 0) == nullptr) return TCL_ERROR;
    // Snack's stub initialiser takes a non-const string.
    static char snackVersion[] = "2";
    if (Snack_InitStubs(interp, snackVersion, 0) == nullptr) return TCL_ERROR;
    if (Tcl_PkgProvide(interp, "Orvale", "1.0") != TCL_OK) return TCL_ERROR;
    Tcl_CreateCommand(interp, "Orvale", orvale::OrvaleCmd, nullptr, nullptr);
    return TCL_OK;
}

}  // namespace

extern "C" {

DLLEXPORT int Orvale_Init(Tcl_Interp* interp) { return initialise(interp); }

// A safe interpreter gets the same command, with the same file-system effects.
DLLEXPORT int Orvale_SafeInit(Tcl_Interp* interp) { return initialise(interp); }

}
