#pragma once
#include <stdexcept>
#include <string>

namespace orvale {

// A failure with a message of our own; the command ends with TCL_ERROR and this text.
struct RunError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A Tcl call failed and has already left its message as the interpreter result.
struct TclFailure {};

}  // namespace orvale
