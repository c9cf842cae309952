#pragma once
// Driving a COM object through IDispatch the way an automation client does, and a recording
// IDispatch that stands in for the control object and fails loudly on anything unexpected.

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <utility>
#include <vector>

#include "common/com/owners.h"
#include "common/opos_ids.h"

namespace ka::test {

// COM on this thread in a single-threaded apartment, as on the control object's thread.
struct ComApartment : ka::com::ApartmentScope {
    ComApartment() noexcept : ka::com::ApartmentScope(ka::com::EnterSingleThreadedApartment()) {}
    HRESULT result() const noexcept { return get(); }
};

template <typename T>
using ComPtr = ka::com::ComPtr<T>;
using OwnedVariant = ka::com::UniqueVariant;

// The arguments of one call, in declared order.
class CallArgs {
public:
    CallArgs() = default;
    CallArgs(CallArgs&&) = default;
    CallArgs& operator=(CallArgs&&) = default;

    CallArgs& Long(long value);
    CallArgs& Text(const std::string& ansi);
    CallArgs& Wide(const std::wstring& text);
    CallArgs& LongRef(long* variable);
    CallArgs& TextRef(BSTR* variable);
    CallArgs& Dispatch(IDispatch* object);
    CallArgs& Currency(LONGLONG scaledBy10000);
    // Any other VARIANT, copied (VariantCopy) so by-reference forms keep pointing to the caller.
    CallArgs& Variant(const VARIANT& value);
    // The argument an automation client passes for an omitted optional parameter.
    CallArgs& Missing();

    // Shallow views of the arguments, valid until the next change of this object.
    std::vector<VARIANT> Views() const;
    size_t Count() const noexcept { return args_.size(); }

private:
    std::vector<OwnedVariant> args_;
};

// The result of one Invoke: its HRESULT, the argument index it blamed and the result VARIANT.
struct CallOutcome {
    HRESULT hr = E_FAIL;
    UINT argError = static_cast<UINT>(-1);
    OwnedVariant value;
};

std::string HrText(HRESULT hr);

// Creates the object registered under the ProgID as an in-process server.
HRESULT CreateDispatch(const char* progId, ComPtr<IDispatch>& object);

class DispatchClient {
public:
    DispatchClient() = default;
    explicit DispatchClient(ComPtr<IDispatch> object) noexcept : object_(std::move(object)) {}

    // Creates the object registered under the ProgID as an in-process server.
    static HRESULT Create(const char* progId, DispatchClient& client);

    IDispatch* get() const noexcept { return object_.get(); }
    explicit operator bool() const noexcept { return static_cast<bool>(object_); }
    void reset() noexcept { object_.reset(); }

    CallOutcome Invoke(DISPID dispid, CallArgs args = {}, WORD flags = DISPATCH_METHOD) const;
    // The DISPID of a name, or DISPID_UNKNOWN with the failing HRESULT in *hr.
    DISPID IdOf(const std::wstring& name, HRESULT* hr = nullptr) const;

    // Calls that record a gtest failure, naming the HRESULT, when the call fails or the result
    // has the wrong type.
    long CallLong(DISPID dispid, CallArgs args = {}) const;
    std::string CallString(DISPID dispid, CallArgs args = {}) const;
    LONGLONG CallCurrency(DISPID dispid, CallArgs args = {}) const;
    void CallVoid(DISPID dispid, CallArgs args = {}) const;

private:
    ComPtr<IDispatch> object_;
};

// The scale service object's dispatch interface and property indexes, as the control object uses them.
using namespace opos::so;

constexpr char kScaleProgId[] = "KolvaneAris.ScaleTRM07";
// A service object held the way the control object holds it, with one call per method.
class ScaleClient : public DispatchClient {
public:
    using DispatchClient::DispatchClient;
    static HRESULT Create(ScaleClient& client);

    long OpenService(const std::string& deviceClass, const std::string& deviceName, IDispatch* controlObject) const;
    long Close() const { return CallLong(kClose); }
    long Claim(long timeout) const { return CallLong(kClaim, std::move(CallArgs().Long(timeout))); }
    long Release() const { return CallLong(kRelease); }
    long ReleaseDevice() const { return CallLong(kReleaseDevice); }
    long ReadWeight(long* weight, long timeout) const {
        return CallLong(kReadWeight, std::move(CallArgs().LongRef(weight).Long(timeout)));
    }
    long GetPropertyNumber(long index) const { return CallLong(kGetPropertyNumber, std::move(CallArgs().Long(index))); }
    void SetPropertyNumber(long index, long number) const {
        CallVoid(kSetPropertyNumber, std::move(CallArgs().Long(index).Long(number)));
    }
    std::string GetPropertyString(long index) const {
        return CallString(kGetPropertyString, std::move(CallArgs().Long(index)));
    }
    void SetPropertyString(long index, const std::string& text) const {
        CallVoid(kSetPropertyString, std::move(CallArgs().Long(index).Text(text)));
    }
    long ResultCode() const { return GetPropertyNumber(opos::pidx::kResultCode); }
    // Enables or disables through the DeviceEnabled property and answers the ResultCode after it.
    long SetDeviceEnabled(bool enabled) const {
        SetPropertyNumber(opos::pidx::kDeviceEnabled, enabled ? 1 : 0);
        return ResultCode();
    }
};

// One call the fake control object received.
struct ReceivedCall {
    std::string name;
    DISPID dispid = DISPID_UNKNOWN;
    std::vector<long> args;  // by-value longs, then the value behind a by-reference long
    std::string text;        // the text behind a by-reference string (SODirectIO), in ANSI
    DWORD threadId = 0;
};

// Stands in for the control object: answers GetIDsOfNames for the event request methods it
// knows, records every Invoke, and reports a gtest failure for anything else. It lives on the
// test's stack; the service object holds it without a reference, so it is never deleted by COM.
class RecordingControlObject final : public IDispatch {
public:
    // The event request methods it answers; leave one out to make binding fail on it.
    explicit RecordingControlObject(std::vector<std::string> names = {"SOData", "SODirectIO", "SOError",
                                                                       "SOStatusUpdate"});
    ~RecordingControlObject();
    RecordingControlObject(const RecordingControlObject&) = delete;
    RecordingControlObject& operator=(const RecordingControlObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* dispids) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) noexcept override;

    // The DISPID this object hands out for an event request name (its 1-based place in the list).
    DISPID DispidOf(const std::string& name) const;
    // Names asked through GetIDsOfNames, in order, converted to ANSI.
    std::vector<std::string> AskedNames() const;
    std::vector<ReceivedCall> Calls() const;
    // Waits, bounded, until at least `count` calls have arrived.
    bool WaitForCalls(size_t count, DWORD timeoutMs) const;
    // The value written back through SOError's by-reference error response.
    void SetErrorResponse(long response) noexcept { errorResponse_ = response; }
    // What every later Invoke answers after recording the call, to stand for a failing control object.
    void SetInvokeResult(HRESULT result) noexcept { invokeResult_ = result; }
    // Called on the receiving thread inside every Invoke, before it returns.
    void SetOnCall(void (*hook)(void* context, const ReceivedCall& call), void* context) noexcept {
        hook_ = hook;
        hookContext_ = context;
    }
    // References the service object took; it must take none.
    LONG ExtraReferences() const noexcept { return refCount_ - 1; }

private:
    std::vector<std::string> names_;
    mutable CRITICAL_SECTION lock_;
    mutable CONDITION_VARIABLE arrived_;
    std::vector<std::string> asked_;
    std::vector<ReceivedCall> calls_;
    long errorResponse_ = 0;
    HRESULT invokeResult_ = S_OK;
    void (*hook_)(void*, const ReceivedCall&) = nullptr;
    void* hookContext_ = nullptr;
    LONG refCount_ = 1;
};

}  // namespace ka::test
