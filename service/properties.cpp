// The property methods: every OPOS property index this scale answers, as tables.

#include <mutex>

#include "common/opos_ids.h"
#include "service/scale_trm07.h"

namespace pendrax {

namespace {

namespace pidx = opos::pidx;

constexpr char kIllegalNumberRead[] = "GetPropertyNumber:  <Illegal Property>";
constexpr char kIllegalNumberWrite[] = "SetPropertyNumber:  <Illegal Property>";
constexpr char kIllegalStringRead[] = "GetPropertyString:  <Illegal Property>";
constexpr char kIllegalStringWrite[] = "SetPropertyString:  <Illegal Property>";
constexpr char kBinaryConversionRoutine[] = "SetPropertyNumber(BinaryConversion)";
constexpr long kMaxBinaryConversion = 2;

template <typename T>
long Locked(ka::CriticalSection& lock, const T& value) {
    std::lock_guard<ka::CriticalSection> hold(lock);
    return static_cast<long>(value);
}

struct NumberProperty {
    long index;
    long (*read)(ScaleState& s);
};

constexpr NumberProperty kNumberProperties[] = {
    {pidx::kClaimed, [](ScaleState& s) -> long { return s.device.claimed; }},
    {pidx::kDataEventEnabled, [](ScaleState& s) { return Locked(s.dataEventLock, s.dataEventEnabled); }},
    {pidx::kDeviceEnabled, [](ScaleState& s) -> long { return s.device.deviceEnabled; }},
    {pidx::kFreezeEvents, [](ScaleState& s) -> long { return s.freezeEvents; }},
    {pidx::kResultCode, [](ScaleState& s) { return Locked(s.resultLock, s.resultCode); }},
    {pidx::kResultCodeExtended, [](ScaleState& s) { return Locked(s.resultLock, s.resultCodeExtended); }},
    {pidx::kServiceObjectVersion, [](ScaleState& s) { return s.serviceObjectVersion; }},
    {pidx::kState, [](ScaleState& s) { return s.state; }},
    {pidx::kAutoDisable, [](ScaleState& s) { return s.autoDisable; }},
    {pidx::kBinaryConversion, [](ScaleState& s) { return s.binaryConversion; }},
    {pidx::kDataCount, [](ScaleState& s) { return s.dataCount; }},
    {pidx::kPowerNotify, [](ScaleState& s) { return s.powerNotify; }},
    {pidx::kPowerState, [](ScaleState& s) { return s.powerState; }},
    {pidx::kCapPowerReporting, [](ScaleState& s) { return s.capPowerReporting; }},
    {pidx::kMaximumWeight, [](ScaleState& s) { return s.maximumWeight; }},
    {pidx::kWeightUnit, [](ScaleState& s) { return s.weightUnit; }},
    {pidx::kAsyncMode, [](ScaleState& s) -> long { return s.asyncMode; }},
    {pidx::kMaxDisplayedChars, [](ScaleState& s) { return s.maxDisplayedChars; }},
    {pidx::kTareWeight, [](ScaleState& s) { return s.tareWeight; }},
    {pidx::kCapDisplay, [](ScaleState& s) -> long { return s.capDisplay; }},
    {pidx::kCapDisplayText, [](ScaleState& s) -> long { return s.capDisplayText; }},
    {pidx::kCapPriceCalculating, [](ScaleState& s) -> long { return s.capPriceCalculating; }},
    {pidx::kCapTareWeight, [](ScaleState& s) -> long { return s.capTareWeight; }},
    {pidx::kCapZeroScale, [](ScaleState& s) -> long { return s.capZeroScale; }},
};

struct StringProperty {
    long index;
    const std::string& (*read)(const ScaleState& s);
};

constexpr StringProperty kStringProperties[] = {
    {pidx::kCheckHealthText, [](const ScaleState& s) -> const std::string& { return s.checkHealthText; }},
    {pidx::kDeviceDescription, [](const ScaleState& s) -> const std::string& { return s.deviceDescription; }},
    {pidx::kDeviceName, [](const ScaleState& s) -> const std::string& { return s.deviceName; }},
    {pidx::kServiceObjectDescription, [](const ScaleState& s) -> const std::string& { return s.serviceObjectDescription; }},
};

template <typename Entry, size_t N>
const Entry* FindIndex(const Entry (&table)[N], long index) noexcept {
    for (const auto& entry : table) {
        if (entry.index == index) return &entry;
    }
    return nullptr;
}

}  // namespace

// Writes reach the instance's own stores and exits; writes whose handler records no result leave
// ResultCode as it was.
struct PropertyTables {
    struct NumberWrite {
        long index;
        void (*write)(CScaleTRM07& scale, long number);
    };
    static const NumberWrite kNumberWrites[];
};

const PropertyTables::NumberWrite PropertyTables::kNumberWrites[] = {
    {pidx::kDataEventEnabled, [](CScaleTRM07& scale, long number) { scale.StoreDataEventEnabled(number); }},
    {pidx::kDeviceEnabled, [](CScaleTRM07& scale, long number) { scale.SetDeviceEnabled(number); }},
    {pidx::kFreezeEvents,
     [](CScaleTRM07& scale, long number) {
         scale.StoreFreezeEvents(number);
         scale.SuccessExit("SetPropertyNumber(FreezeEvents)");
     }},
    {pidx::kAutoDisable, [](CScaleTRM07& scale, long number) { scale.state_.autoDisable = number; }},
    {pidx::kBinaryConversion,
     [](CScaleTRM07& scale, long number) {
         if (number < 0 || number > kMaxBinaryConversion) {
             scale.FailureExit(kBinaryConversionRoutine, opos::OPOS_E_ILLEGAL);
             return;
         }
         scale.state_.binaryConversion = number;
         scale.SuccessExit(kBinaryConversionRoutine);
     }},
    {pidx::kPowerNotify,
     [](CScaleTRM07& scale, long number) {
         // Power reporting is not supported: only "no notification" is accepted.
         if (number != 0) scale.FailureExit("SetPropertyNumber(PowerNotify)", opos::OPOS_E_ILLEGAL);
     }},
    {pidx::kAsyncMode, [](CScaleTRM07& scale, long number) { scale.state_.asyncMode = number; }},
    {pidx::kTareWeight, [](CScaleTRM07& scale, long) { scale.state_.tareWeight = 0; }},
};


void CScaleTRM07::StoreFreezeEvents(long freeze) { state_.freezeEvents = freeze; }

void CScaleTRM07::StoreDataEventEnabled(long enabled) {
    // The comparison reads without the lock: only this thread writes the flag.
    if (state_.dataEventEnabled == enabled) return;
    std::lock_guard<ka::CriticalSection> hold(state_.dataEventLock);
    state_.dataEventEnabled = enabled;
}

long CScaleTRM07::GetPropertyNumber(long propIndex) {
    if (const NumberProperty* property = FindIndex(kNumberProperties, propIndex)) return property->read(state_);
    FailureExit(kIllegalNumberRead, opos::OPOS_E_ILLEGAL);
    return 0;
}

void CScaleTRM07::SetPropertyNumber(long propIndex, long number) {
    if (const PropertyTables::NumberWrite* property = FindIndex(PropertyTables::kNumberWrites, propIndex)) {
        property->write(*this, number);
        return;
    }
    FailureExit(kIllegalNumberWrite, opos::OPOS_E_ILLEGAL);
}

std::string CScaleTRM07::GetPropertyString(long propIndex) {
    if (const StringProperty* property = FindIndex(kStringProperties, propIndex)) return property->read(state_);
    FailureExit(kIllegalStringRead, opos::OPOS_E_ILLEGAL);
    return {};
}

void CScaleTRM07::SetPropertyString(long, const char*) {
    // No string property of this service object can be written.
    FailureExit(kIllegalStringWrite, opos::OPOS_E_ILLEGAL);
}

}  // namespace pendrax
