#include "tools/scalectl/control_client.h"

#include "common/com/dispatch_call.h"
#include "common/opos_ids.h"

namespace scalectl {

HRESULT ControlClient::Create() {
    return CoCreateInstance(opos::control::kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                            reinterpret_cast<void**>(control_.put()));
}

HRESULT ControlClient::Find(const wchar_t* name, DISPID& id) {
    auto known = ids_.find(name);
    if (known != ids_.end()) {
        id = known->second;
        return S_OK;
    }
    HRESULT hr = ka::com::LookupDispid(control_.get(), name, &id);
    if (SUCCEEDED(hr)) ids_[name] = id;
    return hr;
}

HRESULT ControlClient::ConnectEvents() { return connection_.Connect(control_.get(), &sink_); }

bool ControlClient::Has(const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    return SUCCEEDED(Find(name, id));
}

Outcome ControlClient::Method(const wchar_t* name, std::initializer_list<VARIANT> args) {
    Outcome outcome;
    DISPID id = DISPID_UNKNOWN;
    outcome.hr = Find(name, id);
    if (FAILED(outcome.hr)) return outcome;
    ka::com::UniqueVariant result;
    outcome.hr = ka::com::InvokeByDispid(control_.get(), id, DISPATCH_METHOD, args, result.put());
    if (SUCCEEDED(outcome.hr)) outcome.hr = ka::com::ResultAsLong(result.get(), &outcome.value);
    return outcome;
}

Outcome ControlClient::GetNumber(const wchar_t* name) {
    Outcome outcome;
    DISPID id = DISPID_UNKNOWN;
    outcome.hr = Find(name, id);
    if (FAILED(outcome.hr)) return outcome;
    ka::com::UniqueVariant result;
    outcome.hr = ka::com::InvokeByDispid(control_.get(), id, DISPATCH_PROPERTYGET, {}, result.put());
    if (FAILED(outcome.hr)) return outcome;
    if (V_VT(&result.get()) == VT_BOOL) {
        outcome.value = V_BOOL(&result.get()) != VARIANT_FALSE ? 1 : 0;
        return outcome;
    }
    outcome.hr = ka::com::ResultAsLong(result.get(), &outcome.value);
    return outcome;
}

HRESULT ControlClient::PutBool(const wchar_t* name, bool value) {
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = Find(name, id);
    if (FAILED(hr)) return hr;
    return ka::com::InvokeByDispid(control_.get(), id, DISPATCH_PROPERTYPUT, {ka::com::BoolArg(value)}, nullptr);
}

HRESULT ControlClient::GetText(const wchar_t* name, std::wstring& text) {
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = Find(name, id);
    if (FAILED(hr)) return hr;
    ka::com::UniqueVariant result;
    hr = ka::com::InvokeByDispid(control_.get(), id, DISPATCH_PROPERTYGET, {}, result.put());
    if (FAILED(hr)) return hr;
    hr = VariantChangeType(result.addressof(), result.addressof(), 0, VT_BSTR);
    if (FAILED(hr)) return hr;
    BSTR value = V_BSTR(&result.get());
    text.assign(value ? value : L"", value ? SysStringLen(value) : 0);
    return S_OK;
}

}  // namespace scalectl
