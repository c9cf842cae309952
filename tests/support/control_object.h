#pragma once
// Which OPOS Scale control object a suite goes through. Applications, the administrator and
// scalectl create the control object by its class; a run of a suite picks what that class creates
// with KA_CONTROL_OBJECT: "standard" for the standard's control object (OPOSScale.ocx, registered
// by the run script where ../shared/opos-cco has it), anything else for our stand-in, which COM
// then creates in its place (TreatAs).

#include <string>

namespace ka::test {

enum class ControlKind { StandIn, Standard };

ControlKind SelectedControl();
// "the stand-in" or "OPOSScale.ocx", for messages.
const char* ControlName(ControlKind kind);

// The in-process server registered for a class identifier ("{...}"), or "" when none is.
std::wstring RegisteredServer(const wchar_t* clsidText);

// The standard's control object holds the control object's class in this prefix.
bool StandardControlRegistered();

// Routes the control object's class to the selected control object for this process and the
// programs it starts. Empty on success, else why it cannot be had.
std::string UseSelectedControl();

}  // namespace ka::test
