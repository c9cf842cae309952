#include "tools/opos_standin/service_binding.h"

#include "common/com/dispatch_call.h"

namespace standin {

namespace {

struct MethodName {
    const wchar_t* name;
    const wchar_t* olderName;  // tried when the name is unknown; may be null
    long sinceMinor;           // the first release of major 1 that needs it
};

// In ServiceMethod order.
constexpr MethodName kMethodNames[kServiceMethodCount] = {
    {L"OpenService", nullptr, 0},      {L"CloseService", L"Close", 0},
    {L"ClaimDevice", L"Claim", 0},     {L"ReleaseDevice", L"Release", 0},
    {L"CheckHealth", nullptr, 0},      {L"ClearInput", nullptr, 0},
    {L"ClearOutput", nullptr, 0},      {L"DirectIO", nullptr, 0},
    {L"COFreezeEvents", nullptr, 0},   {L"GetPropertyNumber", nullptr, 0},
    {L"SetPropertyNumber", nullptr, 0}, {L"GetPropertyString", nullptr, 0},
    {L"SetPropertyString", nullptr, 0}, {L"DisplayText", nullptr, 0},
    {L"ReadWeight", nullptr, 0},       {L"ZeroScale", nullptr, 0},
    {L"ResetStatistics", nullptr, 8},  {L"RetrieveStatistics", nullptr, 8},
    {L"UpdateStatistics", nullptr, 8}, {L"CompareFirmwareVersion", nullptr, 9},
    {L"UpdateFirmware", nullptr, 9},
};

constexpr long kMajorFactor = 1000000;
constexpr long kMinorFactor = 1000;
constexpr long kSupportedMajor = 1;

DISPID Lookup(IDispatch* service, const wchar_t* name) noexcept {
    DISPID id = DISPID_UNKNOWN;
    if (ka::com::LookupDispid(service, name, &id) != S_OK) return DISPID_UNKNOWN;
    return id;
}

}  // namespace

ServiceDispids BindServiceMethods(IDispatch* service) noexcept {
    ServiceDispids bound{};
    for (int method = 0; method < kServiceMethodCount; ++method) {
        const MethodName& names = kMethodNames[method];
        DISPID id = Lookup(service, names.name);
        if (id == DISPID_UNKNOWN && names.olderName) id = Lookup(service, names.olderName);
        bound.ids[method] = id;
    }
    return bound;
}

bool ServiceObjectAcceptable(long version, const ServiceDispids& dispids) noexcept {
    if (version / kMajorFactor != kSupportedMajor) return false;
    const long minor = version % kMajorFactor / kMinorFactor;
    for (int method = 0; method < kServiceMethodCount; ++method) {
        if (kMethodNames[method].sinceMinor <= minor && dispids.ids[method] == DISPID_UNKNOWN) return false;
    }
    return true;
}

}  // namespace standin
