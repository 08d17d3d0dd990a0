#include "driver/host.h"

#include <cmath>
#include <cstdint>

#include "driver/run_error.h"

namespace orvale {

void Host::eval(const char* script)
{
    if (Tcl_Eval(interp_, script) != TCL_OK) throw TclFailure{};
}

void Host::eval(Tcl_Obj* keptScript)
{
    if (Tcl_EvalObjEx(interp_, keptScript, 0) != TCL_OK) throw TclFailure{};
}

std::string Host::resultString() const
{
    int length = 0;
    const char* text = Tcl_GetStringFromObj(result(), &length);
    return std::string(text, static_cast<std::size_t>(length));
}

double Host::resultDouble() const
{
    double value = 0;
    if (Tcl_GetDoubleFromObj(interp_, result(), &value) != TCL_OK) throw TclFailure{};
    return value;
}

int Host::resultInt() const
{
    int value = 0;
    if (Tcl_GetIntFromObj(interp_, result(), &value) != TCL_OK) throw TclFailure{};
    return value;
}

int Host::truncated(double value, const char* name) const
{
    // A cast of NaN, of an infinity or of anything past 2^31 is undefined: refuse it instead.
    const double t = std::trunc(value);
    if (!(t >= INT32_MIN && t <= INT32_MAX))
        throw RunError(std::string(name) + ": value " + Tcl_GetString(result()) +
                       " is out of range (it must fit a 32-bit integer)");
    return static_cast<int>(t);  // truncates toward zero, as the host expects
}

int Host::evalTruncated(const std::string& script, const char* name)
{
    eval(script);
    return truncated(resultDouble(), name);
}

void Host::resultElements(int& count, Tcl_Obj**& elements) const
{
    // Snack answers a frame it cannot read (its file gone since the sound opened) with the
    // reason as an ordinary result: that text says more than the list parser's complaint.
    if (Tcl_ListObjGetElements(nullptr, result(), &count, &elements) != TCL_OK)
        throw RunError("expected a list of values but got: " + resultString().substr(0, 200));
}

double Host::elementDouble(Tcl_Obj* element) const
{
    double value = 0;
    if (Tcl_GetDoubleFromObj(interp_, element, &value) != TCL_OK) throw TclFailure{};
    return value;
}

void Host::setVariable(Tcl_Obj* name, Tcl_WideInt value)
{
    static thread_local Tcl_Obj* setWord = [] {
        Tcl_Obj* w = Tcl_NewStringObj("set", -1);
        Tcl_IncrRefCount(w);
        return w;
    }();
    Tcl_Obj* words[3] = {setWord, name, Tcl_NewWideIntObj(value)};
    Tcl_IncrRefCount(words[2]);
    const int code = Tcl_EvalObjv(interp_, 3, words, 0);
    Tcl_DecrRefCount(words[2]);
    if (code != TCL_OK) throw TclFailure{};
}

void Host::destroySound(const std::string& command)
{
    // The sound's own command, called directly: no script is built from its name.
    Tcl_Obj* words[2] = {Tcl_NewStringObj(command.c_str(), static_cast<int>(command.size())),
                         Tcl_NewStringObj("destroy", -1)};
    for (Tcl_Obj* w : words) Tcl_IncrRefCount(w);
    const int code = Tcl_EvalObjv(interp_, 2, words, 0);
    for (Tcl_Obj* w : words) Tcl_DecrRefCount(w);
    if (code != TCL_OK) throw TclFailure{};
}

}  // namespace orvale
