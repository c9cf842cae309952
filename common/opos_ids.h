#pragma once
// The dispatch identifiers and property indexes that the service object, the administrator, the
// tools and the tests share, named once.

#include <windows.h>
#include <oaidl.h>

namespace opos {

// The service object's dispatch interface, as the control object calls it.
namespace so {
// Each DISPID is the method's position in the interface.
enum : DISPID {
    kOpenService = 1,
    kClose,
    kClaim,
    kRelease,
    kCheckHealth,
    kClearInput,
    kClearOutput,
    kDirectIO,
    kSetPropertyNumber,
    kGetPropertyString,
    kSetPropertyString,
    kDisplayText,
    kReadWeight,
    kZeroScale,
    kCOFreezeEvents,
    kGetPropertyNumber,
    kSetUnitPrice,
    kGetUnitPrice,
    kGetSalesPrice,
    kReleaseDevice,
};
constexpr DISPID kMethodCount = kReleaseDevice;
}  // namespace so

// Property indexes of GetPropertyNumber, SetPropertyNumber and GetPropertyString.
namespace pidx {
constexpr long kClaimed = 1;
constexpr long kDataEventEnabled = 2;
constexpr long kDeviceEnabled = 3;
constexpr long kFreezeEvents = 4;
constexpr long kResultCode = 6;
constexpr long kResultCodeExtended = 7;
constexpr long kServiceObjectVersion = 8;
constexpr long kState = 9;
constexpr long kAutoDisable = 10;
constexpr long kBinaryConversion = 11;
constexpr long kDataCount = 12;
constexpr long kPowerNotify = 13;
constexpr long kPowerState = 14;
constexpr long kCapPowerReporting = 501;
constexpr long kMaximumWeight = 9001;
constexpr long kWeightUnit = 9002;
constexpr long kAsyncMode = 9003;
constexpr long kMaxDisplayedChars = 9004;
constexpr long kTareWeight = 9005;
constexpr long kCapDisplay = 9501;
constexpr long kCapDisplayText = 9502;
constexpr long kCapPriceCalculating = 9503;
constexpr long kCapTareWeight = 9504;
constexpr long kCapZeroScale = 9505;
constexpr long kCheckHealthText = 1000001;
constexpr long kDeviceDescription = 1000002;
constexpr long kDeviceName = 1000003;
constexpr long kServiceObjectDescription = 1000004;
}  // namespace pidx

// The OPOS Scale control object: its identity, the dispatch identifiers of the members the
// administrator, the tools and the tests invoke (as the standard's control object publishes them),
// and those of its events.
namespace control {
// {CCB90172-B81E-11D2-AB74-0040054C3719}
constexpr CLSID kClsid = {0xCCB90172, 0xB81E, 0x11D2, {0xAB, 0x74, 0x00, 0x40, 0x05, 0x4C, 0x37, 0x19}};
constexpr wchar_t kClsidText[] = L"{CCB90172-B81E-11D2-AB74-0040054C3719}";
constexpr wchar_t kProgId[] = L"OposScale_1_5_LibCtl.OPOSScale";
constexpr DISPID kCheckHealthText = 13;
constexpr DISPID kDataEventEnabled = 16;
constexpr DISPID kDeviceEnabled = 17;
constexpr DISPID kFreezeEvents = 18;
constexpr DISPID kResultCode = 22;
constexpr DISPID kCheckHealth = 31;
constexpr DISPID kClaimDevice = 32;
constexpr DISPID kClearInput = 33;
constexpr DISPID kClose = 35;
constexpr DISPID kOpen = 37;
constexpr DISPID kReleaseDevice = 38;
constexpr DISPID kAsyncMode = 50;
constexpr DISPID kReadWeight = 71;
constexpr DISPID kZeroScale = 72;

// The events, as the application's sink receives them.
constexpr DISPID kDataEvent = 1;
constexpr DISPID kDirectIOEvent = 2;
constexpr DISPID kErrorEvent = 3;
constexpr DISPID kStatusUpdateEvent = 5;
}  // namespace control

}  // namespace opos
