#pragma once
// Driving a COM object through IDispatch the way an automation client does, and a recording
// IDispatch that stands in for the control object and fails loudly on anything unexpected.

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <utility>
#include <vector>

namespace ka::test {

// COM on this thread in a single-threaded apartment, as on the control object's thread.
class ComApartment {
public:
    ComApartment() noexcept : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    HRESULT result() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

// An owned interface pointer.
template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ~ComPtr() { reset(); }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    // Address for an out-parameter; the old pointer is released first.
    T** put() noexcept {
        reset();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
    void reset() noexcept {
        if (p_) std::exchange(p_, nullptr)->Release();
    }

private:
    T* p_ = nullptr;
};

// A VARIANT owned by value, movable, cleared when it goes.
class OwnedVariant {
public:
    OwnedVariant() noexcept { VariantInit(&v_); }
    ~OwnedVariant() { VariantClear(&v_); }
    OwnedVariant(OwnedVariant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
    OwnedVariant& operator=(OwnedVariant&& other) noexcept {
        if (this != &other) {
            VariantClear(&v_);
            v_ = other.v_;
            VariantInit(&other.v_);
        }
        return *this;
    }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;

    VARIANT* get() noexcept { return &v_; }
    const VARIANT& operator*() const noexcept { return v_; }
    const VARIANT* operator->() const noexcept { return &v_; }

private:
    VARIANT v_;
};

// The arguments of one call, written in declared order; handed to Invoke last first.
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

    // Valid until the next change of this object.
    DISPPARAMS Params();
    size_t Count() const noexcept { return args_.size(); }

private:
    std::vector<OwnedVariant> args_;     // declared order
    std::vector<VARIANT> reversed_;      // shallow views for DISPPARAMS
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

// The scale service object's dispatch interface as the control object calls it.
enum ScaleDispid : DISPID {
    kOpenService = 1,
    kClose = 2,
    kClaim = 3,
    kRelease = 4,
    kCheckHealth = 5,
    kClearInput = 6,
    kClearOutput = 7,
    kDirectIO = 8,
    kSetPropertyNumber = 9,
    kGetPropertyString = 10,
    kSetPropertyString = 11,
    kDisplayText = 12,
    kReadWeight = 13,
    kZeroScale = 14,
    kCOFreezeEvents = 15,
    kGetPropertyNumber = 16,
    kSetUnitPrice = 17,
    kGetUnitPrice = 18,
    kGetSalesPrice = 19,
    kReleaseDevice = 20,
};

constexpr char kScaleProgId[] = "KolvaneAris.ScaleTRM07";
constexpr long kPropClaimed = 1;
constexpr long kPropDataEventEnabled = 2;
constexpr long kPropDeviceEnabled = 3;
constexpr long kPropFreezeEvents = 4;
constexpr long kPropResultCode = 6;
constexpr long kPropResultCodeExtended = 7;
constexpr long kPropAsyncMode = 9003;

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
    long ResultCode() const { return GetPropertyNumber(kPropResultCode); }
    // Enables or disables through the DeviceEnabled property and answers the ResultCode after it.
    long SetDeviceEnabled(bool enabled) const {
        SetPropertyNumber(kPropDeviceEnabled, enabled ? 1 : 0);
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
