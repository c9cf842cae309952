#include "tests/support/dispatch_client.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "common/com/dispatch_call.h"

namespace ka::test {

namespace {

std::wstring Widen(const std::string& ansi) {
    if (ansi.empty()) return {};
    const int size = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], size);
    return wide;
}

std::string Narrow(const wchar_t* wide, size_t length) {
    if (!wide || length == 0) return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(length), &ansi[0], size, nullptr, nullptr);
    return ansi;
}

}  // namespace

std::string HrText(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// ---- CallArgs -------------------------------------------------------------------------------

CallArgs& CallArgs::Long(long value) {
    args_.emplace_back(ka::com::LongArg(value));
    return *this;
}

CallArgs& CallArgs::Text(const std::string& ansi) { return Wide(Widen(ansi)); }

CallArgs& CallArgs::Wide(const std::wstring& text) {
    args_.emplace_back(ka::com::TextArg(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))));
    return *this;
}

CallArgs& CallArgs::LongRef(long* variable) {
    args_.emplace_back(ka::com::LongRefArg(variable));
    return *this;
}

CallArgs& CallArgs::TextRef(BSTR* variable) {
    args_.emplace_back(ka::com::TextRefArg(variable));
    return *this;
}

CallArgs& CallArgs::Dispatch(IDispatch* object) {
    if (object) object->AddRef();
    args_.emplace_back(ka::com::DispatchArg(object));
    return *this;
}

CallArgs& CallArgs::Currency(LONGLONG scaledBy10000) {
    args_.emplace_back(ka::com::CurrencyArg(scaledBy10000));
    return *this;
}

CallArgs& CallArgs::Variant(const VARIANT& value) {
    args_.emplace_back();
    const HRESULT hr = VariantCopy(args_.back().put(), const_cast<VARIANT*>(&value));
    EXPECT_EQ(hr, S_OK) << "VariantCopy " << HrText(hr);
    return *this;
}

CallArgs& CallArgs::Missing() {
    VARIANT missing;
    VariantInit(&missing);
    missing.vt = VT_ERROR;
    missing.scode = DISP_E_PARAMNOTFOUND;
    args_.emplace_back(missing);
    return *this;
}

std::vector<VARIANT> CallArgs::Views() const {
    std::vector<VARIANT> views;
    for (const auto& arg : args_) views.push_back(arg.get());
    return views;
}

// ---- DispatchClient -------------------------------------------------------------------------

HRESULT CreateDispatch(const char* progId, ComPtr<IDispatch>& object) {
    CLSID clsid;
    const HRESULT hr = CLSIDFromProgID(Widen(progId).c_str(), &clsid);
    if (FAILED(hr)) return hr;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.put_void());
}

HRESULT DispatchClient::Create(const char* progId, DispatchClient& client) {
    ComPtr<IDispatch> object;
    const HRESULT hr = CreateDispatch(progId, object);
    if (SUCCEEDED(hr)) client = DispatchClient(std::move(object));
    return hr;
}

CallOutcome DispatchClient::Invoke(DISPID dispid, CallArgs args, WORD flags) const {
    CallOutcome outcome;
    const std::vector<VARIANT> views = args.Views();
    outcome.hr = ka::com::InvokeByDispid(object_.get(), dispid, flags, views.data(), views.size(), outcome.value.put(),
                                         &outcome.argError);
    return outcome;
}

DISPID DispatchClient::IdOf(const std::wstring& name, HRESULT* hr) const {
    DISPID dispid = DISPID_UNKNOWN;
    const HRESULT result = ka::com::LookupDispid(object_.get(), name.c_str(), &dispid);
    if (hr) *hr = result;
    return dispid;
}

long DispatchClient::CallLong(DISPID dispid, CallArgs args) const {
    CallOutcome outcome = Invoke(dispid, std::move(args));
    EXPECT_EQ(outcome.hr, S_OK) << "Invoke(" << dispid << ") returned " << HrText(outcome.hr);
    EXPECT_EQ(outcome.value->vt, VT_I4) << "Invoke(" << dispid << ") result type";
    return outcome.value->vt == VT_I4 ? outcome.value->lVal : -1;
}

std::string DispatchClient::CallString(DISPID dispid, CallArgs args) const {
    CallOutcome outcome = Invoke(dispid, std::move(args));
    EXPECT_EQ(outcome.hr, S_OK) << "Invoke(" << dispid << ") returned " << HrText(outcome.hr);
    EXPECT_EQ(outcome.value->vt, VT_BSTR) << "Invoke(" << dispid << ") result type";
    if (outcome.value->vt != VT_BSTR) return "<not a string>";
    EXPECT_NE(outcome.value->bstrVal, nullptr) << "Invoke(" << dispid << ") returned a null string";
    return Narrow(outcome.value->bstrVal, SysStringLen(outcome.value->bstrVal));
}

LONGLONG DispatchClient::CallCurrency(DISPID dispid, CallArgs args) const {
    CallOutcome outcome = Invoke(dispid, std::move(args));
    EXPECT_EQ(outcome.hr, S_OK) << "Invoke(" << dispid << ") returned " << HrText(outcome.hr);
    EXPECT_EQ(outcome.value->vt, VT_CY) << "Invoke(" << dispid << ") result type";
    return outcome.value->vt == VT_CY ? outcome.value->cyVal.int64 : -1;
}

void DispatchClient::CallVoid(DISPID dispid, CallArgs args) const {
    CallOutcome outcome = Invoke(dispid, std::move(args));
    EXPECT_EQ(outcome.hr, S_OK) << "Invoke(" << dispid << ") returned " << HrText(outcome.hr);
    EXPECT_EQ(outcome.value->vt, VT_EMPTY) << "Invoke(" << dispid << ") gave a result";
}

HRESULT ScaleClient::Create(ScaleClient& client) {
    ComPtr<IDispatch> object;
    const HRESULT hr = CreateDispatch(kScaleProgId, object);
    if (SUCCEEDED(hr)) client = ScaleClient(std::move(object));
    return hr;
}

long ScaleClient::OpenService(const std::string& deviceClass, const std::string& deviceName,
                              IDispatch* controlObject) const {
    return CallLong(kOpenService, std::move(CallArgs().Text(deviceClass).Text(deviceName).Dispatch(controlObject)));
}

// ---- RecordingControlObject -----------------------------------------------------------------

RecordingControlObject::RecordingControlObject(std::vector<std::string> names) : names_(std::move(names)) {
    InitializeCriticalSection(&lock_);
    InitializeConditionVariable(&arrived_);
}

RecordingControlObject::~RecordingControlObject() {
    EXPECT_EQ(refCount_, 1) << "the service object must hold the control object without a reference";
    DeleteCriticalSection(&lock_);
}

HRESULT RecordingControlObject::QueryInterface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch)) return E_NOINTERFACE;
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

ULONG RecordingControlObject::AddRef() noexcept { return static_cast<ULONG>(InterlockedIncrement(&refCount_)); }

ULONG RecordingControlObject::Release() noexcept { return static_cast<ULONG>(InterlockedDecrement(&refCount_)); }

HRESULT RecordingControlObject::GetTypeInfoCount(UINT* count) noexcept {
    ADD_FAILURE() << "unexpected GetTypeInfoCount on the control object";
    if (count) *count = 0;
    return S_OK;
}

HRESULT RecordingControlObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept {
    ADD_FAILURE() << "unexpected GetTypeInfo on the control object";
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

DISPID RecordingControlObject::DispidOf(const std::string& name) const {
    for (size_t i = 0; i < names_.size(); ++i) {
        if (names_[i] == name) return static_cast<DISPID>(100 + i);
    }
    return DISPID_UNKNOWN;
}

HRESULT RecordingControlObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                              DISPID* dispids) noexcept {
    EXPECT_TRUE(IsEqualIID(riid, IID_NULL)) << "GetIDsOfNames expects IID_NULL";
    EXPECT_EQ(count, 1u) << "one name per GetIDsOfNames";
    EXPECT_EQ(lcid, static_cast<LCID>(LOCALE_SYSTEM_DEFAULT)) << "GetIDsOfNames locale";
    if (count < 1 || !names || !dispids) return E_INVALIDARG;
    const std::string name = Narrow(names[0], wcslen(names[0]));
    EnterCriticalSection(&lock_);
    asked_.push_back(name);
    LeaveCriticalSection(&lock_);
    dispids[0] = DispidOf(name);
    return dispids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT RecordingControlObject::Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                       EXCEPINFO*, UINT*) noexcept {
    ReceivedCall call;
    call.dispid = dispid;
    call.threadId = GetCurrentThreadId();
    for (size_t i = 0; i < names_.size(); ++i) {
        if (DispidOf(names_[i]) == dispid) call.name = names_[i];
    }
    if (call.name.empty()) {
        ADD_FAILURE() << "unexpected Invoke of DISPID " << dispid << " on the control object";
        return DISP_E_MEMBERNOTFOUND;
    }
    EXPECT_EQ(flags, DISPATCH_METHOD) << call.name << " is a plain method call";
    EXPECT_EQ(result, nullptr) << call.name << " asks for no result";
    const UINT count = params ? params->cArgs : 0;
    for (UINT i = count; i-- > 0;) {
        const VARIANT& arg = params->rgvarg[i];
        if (arg.vt == VT_I4) {
            call.args.push_back(arg.lVal);
        } else if (arg.vt == (VT_I4 | VT_BYREF) && arg.plVal) {
            call.args.push_back(*arg.plVal);
            *arg.plVal = errorResponse_;
        } else if (arg.vt == (VT_BSTR | VT_BYREF) && arg.pbstrVal) {
            call.text = *arg.pbstrVal ? Narrow(*arg.pbstrVal, SysStringLen(*arg.pbstrVal)) : std::string();
        } else {
            ADD_FAILURE() << call.name << " argument " << (count - 1 - i) << " has type " << arg.vt;
        }
    }
    if (hook_) hook_(hookContext_, call);
    EnterCriticalSection(&lock_);
    calls_.push_back(call);
    LeaveCriticalSection(&lock_);
    WakeAllConditionVariable(&arrived_);
    return invokeResult_;
}

std::vector<std::string> RecordingControlObject::AskedNames() const {
    EnterCriticalSection(&lock_);
    auto copy = asked_;
    LeaveCriticalSection(&lock_);
    return copy;
}

std::vector<ReceivedCall> RecordingControlObject::Calls() const {
    EnterCriticalSection(&lock_);
    auto copy = calls_;
    LeaveCriticalSection(&lock_);
    return copy;
}

bool RecordingControlObject::WaitForCalls(size_t count, DWORD timeoutMs) const {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    EnterCriticalSection(&lock_);
    while (calls_.size() < count) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) break;
        SleepConditionVariableCS(&arrived_, &lock_, static_cast<DWORD>(deadline - now));
    }
    const bool arrived = calls_.size() >= count;
    LeaveCriticalSection(&lock_);
    return arrived;
}

}  // namespace ka::test
