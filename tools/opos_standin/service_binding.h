#pragma once
// The service object's methods as a control object binds them: by name at Open, with the older
// names tried where the newer are missing; and the rule by which the release the service object
// reports decides whether it is taken at all.

#include <windows.h>
#include <oaidl.h>

namespace standin {

enum ServiceMethod : int {
    kOpenService,
    kCloseService,
    kClaimDevice,
    kReleaseDevice,
    kCheckHealth,
    kClearInput,
    kClearOutput,
    kDirectIO,
    kCOFreezeEvents,
    kGetPropertyNumber,
    kSetPropertyNumber,
    kGetPropertyString,
    kSetPropertyString,
    kDisplayText,
    kReadWeight,
    kZeroScale,
    kResetStatistics,
    kRetrieveStatistics,
    kUpdateStatistics,
    kCompareFirmwareVersion,
    kUpdateFirmware,
    kServiceMethodCount
};

struct ServiceDispids {
    DISPID ids[kServiceMethodCount];
    DISPID operator[](ServiceMethod method) const noexcept { return ids[method]; }
    bool Bound(ServiceMethod method) const noexcept { return ids[method] != DISPID_UNKNOWN; }
};

// Every method looked up by name; one the service object lacks stays DISPID_UNKNOWN.
ServiceDispids BindServiceMethods(IDispatch* service) noexcept;

// The service object is taken when its version (major * 1000000 + minor * 1000 + build) has
// major 1 and every method of the release it reports was bound.
bool ServiceObjectAcceptable(long version, const ServiceDispids& dispids) noexcept;

}  // namespace standin
