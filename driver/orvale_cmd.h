#pragma once
#include <tcl.h>

namespace orvale {

int OrvaleCmd(ClientData, Tcl_Interp* interp, int, const char**);

}  // namespace orvale
