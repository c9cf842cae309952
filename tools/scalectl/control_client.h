#pragma once
// scalectl's side of the OPOS Scale control object: every member is found by name, so the same
// calls work against the real control object on a terminal and against our stand-in.

#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <map>
#include <string>

#include "common/com/control_events.h"
#include "common/com/owners.h"

namespace scalectl {

// The outcome of one call: the HRESULT of the call itself and, when it succeeded, its value.
struct Outcome {
    HRESULT hr = S_OK;
    long value = 0;
    bool called() const { return SUCCEEDED(hr); }
};

class ControlClient {
public:
    // Creates the control object by its class identifier.
    HRESULT Create();

    Outcome Method(const wchar_t* name, std::initializer_list<VARIANT> args);
    // Numeric and boolean properties; true reads 1.
    Outcome GetNumber(const wchar_t* name);
    HRESULT PutBool(const wchar_t* name, bool value);
    HRESULT GetText(const wchar_t* name, std::wstring& text);
    // Whether the control object has a member of this name.
    bool Has(const wchar_t* name);
    // From now on the control object's events reach Events(), on this thread while it serves messages.
    HRESULT ConnectEvents();
    const ka::com::ApplicationEvents& Events() const noexcept { return sink_; }

private:
    HRESULT Find(const wchar_t* name, DISPID& id);

    // The sink outlives the control and the connection, which hold it.
    ka::com::ApplicationEvents sink_;
    ka::com::ComPtr<IDispatch> control_;
    ka::com::EventConnection connection_;
    std::map<std::wstring, DISPID> ids_;
};

}  // namespace scalectl
