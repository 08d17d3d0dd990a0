#pragma once
#include <string>

#include <tcl.h>

namespace orvale {

// The only code that evaluates Tcl scripts. Every script runs in the caller's current frame
// and namespace. A failing call throws TclFailure and leaves Tcl's own message as the result;
// a value we refuse throws RunError.
class Host {
public:
    explicit Host(Tcl_Interp* interp) : interp_(interp) {}

    void eval(const char* script);
    void eval(const std::string& script) { eval(script.c_str()); }
    void eval(Tcl_Obj* keptScript);  // compiled once, evaluated again and again

    Tcl_Obj* result() const { return Tcl_GetObjResult(interp_); }
    std::string resultString() const;
    double resultDouble() const;
    int resultInt() const;

    // Result as a double truncated toward zero; refuses what no 32-bit integer holds.
    int truncated(double value, const char* name) const;
    int evalTruncated(const std::string& script, const char* name);

    // Splits the result into list elements; the array stays valid until the next script.
    void resultElements(int& count, Tcl_Obj**& elements) const;
    double elementDouble(Tcl_Obj* element) const;

    // "set NAME VALUE" as one command call: the same effect as the script, without parsing it.
    void setVariable(Tcl_Obj* name, Tcl_WideInt value);

    void destroySound(const std::string& command);
    Tcl_Interp* interp() const { return interp_; }

private:
    Tcl_Interp* interp_;
};

// A script or a name kept as one Tcl object: a script is compiled once, a name looked up fast.
class KeptObject {
public:
    explicit KeptObject(const char* text) : obj_(Tcl_NewStringObj(text, -1)) { Tcl_IncrRefCount(obj_); }
    ~KeptObject() { Tcl_DecrRefCount(obj_); }
    KeptObject(const KeptObject&) = delete;
    KeptObject& operator=(const KeptObject&) = delete;
    Tcl_Obj* get() const { return obj_; }

private:
    Tcl_Obj* obj_;
};

}  // namespace orvale
