// The dispatch interface at the COM boundary: names, argument rules, coercion and results.

#include <gtest/gtest.h>

#include "common/version.h"
#include "tests/service/frame_fixture.h"

namespace ka::test {
namespace {

struct NamedMember {
    const wchar_t* name;
    DISPID dispid;
};

constexpr NamedMember kMembers[] = {
    {L"OpenService", 1},        {L"Close", 2},           {L"Claim", 3},          {L"Release", 4},
    {L"CheckHealth", 5},        {L"ClearInput", 6},      {L"ClearOutput", 7},    {L"DirectIO", 8},
    {L"SetPropertyNumber", 9},  {L"GetPropertyString", 10}, {L"SetPropertyString", 11}, {L"DisplayText", 12},
    {L"ReadWeight", 13},        {L"ZeroScale", 14},      {L"COFreezeEvents", 15}, {L"GetPropertyNumber", 16},
    {L"SetUnitPrice", 17},      {L"GetUnitPrice", 18},   {L"GetSalesPrice", 19}, {L"ReleaseDevice", 20},
};

class DispatchTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        scale_ = NewScale();
        ASSERT_TRUE(scale_);
    }
    // Invoke with hand-made DISPPARAMS, for calls no well-behaved client makes.
    HRESULT RawInvoke(DISPID dispid, DISPPARAMS* params, UINT* argError = nullptr, WORD flags = DISPATCH_METHOD,
                      REFIID riid = IID_NULL) {
        OwnedVariant result;
        return scale_.get()->Invoke(dispid, riid, LOCALE_USER_DEFAULT, flags, params, result.put(), nullptr,
                                    argError);
    }
    ScaleClient scale_;
};

TEST_F(DispatchTest, NamesResolveToTheirPositionsInAnyCase) {
    for (const auto& member : kMembers) {
        HRESULT hr = E_FAIL;
        EXPECT_EQ(scale_.IdOf(member.name, &hr), member.dispid) << HrText(hr);
        std::wstring lower(member.name), upper(member.name);
        for (auto& c : lower) c = towlower(c);
        for (auto& c : upper) c = towupper(c);
        EXPECT_EQ(scale_.IdOf(lower), member.dispid);
        EXPECT_EQ(scale_.IdOf(upper), member.dispid);
    }
}

TEST_F(DispatchTest, UnknownNamesAnswerUnknownName) {
    HRESULT hr = S_OK;
    EXPECT_EQ(scale_.IdOf(L"Open", &hr), DISPID_UNKNOWN);
    EXPECT_EQ(hr, DISP_E_UNKNOWNNAME);
    EXPECT_EQ(scale_.IdOf(L"", &hr), DISPID_UNKNOWN);
    EXPECT_EQ(hr, DISP_E_UNKNOWNNAME);

    // The methods name no parameters.
    std::wstring method = L"claim", parameter = L"Timeout";
    LPOLESTR names[] = {&method[0], &parameter[0]};
    DISPID ids[2] = {0, 0};
    EXPECT_EQ(scale_.get()->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 3);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);

    EXPECT_EQ(scale_.get()->GetIDsOfNames(IID_IDispatch, names, 1, LOCALE_USER_DEFAULT, ids),
              DISP_E_UNKNOWNINTERFACE);
}

// A malformed call is answered with an error and never reaches the method: ResultCode stays 0.
struct MalformedCall {
    const char* what;
    DISPID dispid;
    CallArgs (*args)();
    HRESULT expected;
    UINT argError;  // -1 when the answer names no argument
};

const MalformedCall kMalformedCalls[] = {
    {"DISPID 0", 0, [] { return CallArgs(); }, DISP_E_MEMBERNOTFOUND, UINT(-1)},
    {"DISPID 21", 21, [] { return CallArgs(); }, DISP_E_MEMBERNOTFOUND, UINT(-1)},
    {"DISPID -1", -1, [] { return CallArgs(); }, DISP_E_MEMBERNOTFOUND, UINT(-1)},
    {"Close with an argument", kClose, [] { return std::move(CallArgs().Long(1)); }, DISP_E_BADPARAMCOUNT, UINT(-1)},
    {"Claim without its timeout", kClaim, [] { return CallArgs(); }, DISP_E_BADPARAMCOUNT, UINT(-1)},
    {"Claim with text", kClaim, [] { return std::move(CallArgs().Text("soon")); }, DISP_E_TYPEMISMATCH, 0},
    {"Claim with its timeout omitted", kClaim, [] { return std::move(CallArgs().Missing()); }, DISP_E_PARAMNOTFOUND,
     0},
    {"ReadWeight with the weight by value", kReadWeight, [] { return std::move(CallArgs().Long(0).Long(100)); },
     DISP_E_TYPEMISMATCH, 1},
    {"ReadWeight with a null weight reference", kReadWeight,
     [] { return std::move(CallArgs().LongRef(nullptr).Long(100)); }, DISP_E_TYPEMISMATCH, 1},
    {"DirectIO with the string by value", kDirectIO,
     [] {
         static long data = 0;
         return std::move(CallArgs().Long(1).LongRef(&data).Text("x"));
     },
     DISP_E_TYPEMISMATCH, 0},
    {"OpenService with text for the control object", kOpenService,
     [] { return std::move(CallArgs().Text("Scale").Text("x").Text("object")); }, DISP_E_TYPEMISMATCH, 0},
    {"OpenService with a number for the control object", kOpenService,
     [] { return std::move(CallArgs().Text("Scale").Text("x").Long(5)); }, DISP_E_TYPEMISMATCH, 0},
    {"SetUnitPrice with text", kSetUnitPrice, [] { return std::move(CallArgs().Text("cheap")); }, DISP_E_TYPEMISMATCH,
     0},
    {"SetPropertyNumber with the value omitted", kSetPropertyNumber,
     [] { return std::move(CallArgs().Long(2).Missing()); }, DISP_E_PARAMNOTFOUND, 0},
};

TEST_F(DispatchTest, MalformedCallsAreAnsweredWithErrorCodes) {
    for (const auto& call : kMalformedCalls) {
        CallOutcome outcome = scale_.Invoke(call.dispid, call.args());
        EXPECT_EQ(outcome.hr, call.expected) << call.what << ": " << HrText(outcome.hr);
        if (call.argError != UINT(-1)) {
            EXPECT_EQ(outcome.argError, call.argError) << call.what;
        }
        EXPECT_EQ(scale_.ResultCode(), 0) << call.what << " reached the method";
    }
}

TEST_F(DispatchTest, CallsOutsideTheMethodContractAreRefused) {
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_I4;
    arg.lVal = 6;
    DISPID named = 0;
    DISPPARAMS withNamed = {&arg, &named, 1, 1};
    EXPECT_EQ(RawInvoke(kGetPropertyNumber, &withNamed), DISP_E_NONAMEDARGS);

    DISPPARAMS one = {&arg, nullptr, 1, 0};
    EXPECT_EQ(RawInvoke(kGetPropertyNumber, &one, nullptr, DISPATCH_PROPERTYPUT), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(RawInvoke(kGetPropertyNumber, &one, nullptr, DISPATCH_PROPERTYGET), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(RawInvoke(kGetPropertyNumber, &one, nullptr, DISPATCH_METHOD, IID_IDispatch), DISP_E_UNKNOWNINTERFACE);

    DISPPARAMS noArray = {nullptr, nullptr, 1, 0};
    EXPECT_EQ(RawInvoke(kGetPropertyNumber, &noArray), E_INVALIDARG);
    // A method without parameters may be called with no DISPPARAMS at all.
    EXPECT_EQ(RawInvoke(kGetUnitPrice, nullptr), S_OK);
    // Automation clients combine method and property-get flags.
    EXPECT_EQ(RawInvoke(kGetPropertyNumber, &one, nullptr, DISPATCH_METHOD | DISPATCH_PROPERTYGET), S_OK);
}

TEST_F(DispatchTest, ResultsCarryTheirDeclaredTypes) {
    CallOutcome number = scale_.Invoke(kGetPropertyNumber, std::move(CallArgs().Long(8)));
    EXPECT_EQ(number.hr, S_OK);
    EXPECT_EQ(number.value->vt, VT_I4);
    EXPECT_EQ(number.value->lVal, KA_OPOS_VERSION);

    CallOutcome text = scale_.Invoke(kGetPropertyString, std::move(CallArgs().Long(1000002)));
    EXPECT_EQ(text.value->vt, VT_BSTR);
    CallOutcome emptyText = scale_.Invoke(kGetPropertyString, std::move(CallArgs().Long(1000005)));
    ASSERT_EQ(emptyText.value->vt, VT_BSTR);
    EXPECT_NE(emptyText.value->bstrVal, nullptr) << "an illegal index gives an empty string, not a null one";
    EXPECT_EQ(SysStringLen(emptyText.value->bstrVal), 0u);

    CallOutcome none = scale_.Invoke(kSetPropertyNumber, std::move(CallArgs().Long(10).Long(1)));
    EXPECT_EQ(none.hr, S_OK);
    EXPECT_EQ(none.value->vt, VT_EMPTY);

    EXPECT_EQ(scale_.CallCurrency(kGetUnitPrice), 0);
    EXPECT_EQ(scale_.CallCurrency(kGetSalesPrice), 0);
    scale_.CallVoid(kSetUnitPrice, std::move(CallArgs().Currency(12345)));
}

TEST_F(DispatchTest, ArgumentsAreCoercedAsAutomationClientsExpect) {
    VARIANT shortIndex;
    VariantInit(&shortIndex);
    shortIndex.vt = VT_I2;
    shortIndex.iVal = 8;
    EXPECT_EQ(scale_.CallLong(kGetPropertyNumber, std::move(CallArgs().Variant(shortIndex))), KA_OPOS_VERSION);
    EXPECT_EQ(scale_.CallLong(kGetPropertyNumber, std::move(CallArgs().Text("9001"))), 30000);

    VARIANT real;
    VariantInit(&real);
    real.vt = VT_R8;
    real.dblVal = 9002.0;
    EXPECT_EQ(scale_.CallLong(kGetPropertyNumber, std::move(CallArgs().Variant(real))), 4);

    // By-reference forms of a by-value parameter are read through.
    long index = 9505;
    EXPECT_EQ(scale_.CallLong(kGetPropertyNumber, std::move(CallArgs().LongRef(&index))), 1);
    VARIANT inner;
    VariantInit(&inner);
    inner.vt = VT_I4;
    inner.lVal = 9001;
    VARIANT wrapped;
    VariantInit(&wrapped);
    wrapped.vt = VT_VARIANT | VT_BYREF;
    wrapped.pvarVal = &inner;
    EXPECT_EQ(scale_.CallLong(kGetPropertyNumber, std::move(CallArgs().Variant(wrapped))), 30000);

    VARIANT price;
    VariantInit(&price);
    price.vt = VT_R8;
    price.dblVal = 1.25;
    scale_.CallVoid(kSetUnitPrice, std::move(CallArgs().Variant(price)));
}

TEST_F(DispatchTest, ByReferenceArgumentsMayComeWrappedInAVariant) {
    // On an unclaimed device ReadWeight fails at the gate; what matters is that the call is
    // accepted in each form a client may use and the weight variable is not touched.
    long weight = 77;
    VARIANT inner;
    VariantInit(&inner);
    inner.vt = VT_I4 | VT_BYREF;
    inner.plVal = &weight;
    VARIANT wrapped;
    VariantInit(&wrapped);
    wrapped.vt = VT_VARIANT | VT_BYREF;
    wrapped.pvarVal = &inner;
    EXPECT_EQ(scale_.CallLong(kReadWeight, std::move(CallArgs().Variant(wrapped).Long(0))), 102);
    EXPECT_EQ(scale_.CallLong(kReadWeight, std::move(CallArgs().LongRef(&weight).Long(0))), 102);
    EXPECT_EQ(weight, 77);

    long data = 5;
    BSTR text = SysAllocString(L"keep");
    VARIANT textVariant;
    VariantInit(&textVariant);
    textVariant.vt = VT_BSTR;
    textVariant.bstrVal = text;
    VARIANT textWrapped;
    VariantInit(&textWrapped);
    textWrapped.vt = VT_VARIANT | VT_BYREF;
    textWrapped.pvarVal = &textVariant;
    CallOutcome outcome = scale_.Invoke(kDirectIO, std::move(CallArgs().Long(-12345).LongRef(&data).Variant(textWrapped)));
    EXPECT_EQ(outcome.hr, S_OK) << HrText(outcome.hr);
    VariantClear(&textVariant);
}

TEST_F(DispatchTest, ControlObjectMayBeGivenAsNothingInEveryCommonForm) {
    WriteProfile("DispatchScale", "COM1");
    VARIANT empty, null, zero, nullObject;
    VariantInit(&empty);
    VariantInit(&null);
    null.vt = VT_NULL;
    VariantInit(&zero);
    zero.vt = VT_I4;
    zero.lVal = 0;
    VariantInit(&nullObject);
    nullObject.vt = VT_DISPATCH;
    nullObject.pdispVal = nullptr;
    for (const VARIANT* nothing : {&empty, &null, &zero, &nullObject}) {
        EXPECT_EQ(scale_.CallLong(kOpenService,
                                  std::move(CallArgs().Text(kScaleClass).Text("DispatchScale").Variant(*nothing))),
                  0)
            << "control object given as VARTYPE " << nothing->vt;
    }

    RecordingControlObject control;
    VARIANT object;
    VariantInit(&object);
    object.vt = VT_DISPATCH;
    object.pdispVal = &control;
    VARIANT byReference;
    VariantInit(&byReference);
    byReference.vt = VT_VARIANT | VT_BYREF;
    byReference.pvarVal = &object;
    EXPECT_EQ(scale_.CallLong(kOpenService,
                              std::move(CallArgs().Text(kScaleClass).Text("DispatchScale").Variant(byReference))),
              0);
    EXPECT_EQ(control.AskedNames().size(), 4u) << "a wrapped control object is bound like a plain one";
    EXPECT_EQ(scale_.Close(), 0);
}

TEST_F(DispatchTest, TextReachesTheMethodInTheAnsiCodePage) {
    const std::wstring wideName = L"Dispatch\u00e9";
    char ansiName[64] = {};
    WideCharToMultiByte(CP_ACP, 0, wideName.c_str(), -1, ansiName, sizeof ansiName, nullptr, nullptr);
    WriteProfile(ansiName, "COM1");
    EXPECT_EQ(scale_.CallLong(kOpenService,
                              std::move(CallArgs().Text(kScaleClass).Wide(wideName).Dispatch(nullptr))),
              0);
    const Lines messages = Messages(ReadLogEntries(logPath_));
    EXPECT_NE(std::find(messages.begin(), messages.end(), std::string("  * DeviceName  = [") + ansiName + "]."),
              messages.end());
    EXPECT_EQ(scale_.GetPropertyString(1000003), "Tavrix Scale Device");
    EXPECT_EQ(scale_.Close(), 0);
}

}  // namespace
}  // namespace ka::test
