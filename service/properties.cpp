// The property methods: every OPOS property index this scale answers, as tables.

#include <mutex>

#include "service/scale_trm07.h"

namespace pendrax {

namespace {

constexpr char kIllegalNumberRead[] = "GetPropertyNumber:  <Illegal Property>";
constexpr char kIllegalNumberWrite[] = "SetPropertyNumber:  <Illegal Property>";
constexpr char kIllegalStringRead[] = "GetPropertyString:  <Illegal Property>";
constexpr char kIllegalStringWrite[] = "SetPropertyString:  <Illegal Property>";

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
    {1, [](ScaleState& s) -> long { return s.claimed; }},
    {2, [](ScaleState& s) { return Locked(s.dataEventLock, s.dataEventEnabled); }},
    {3, [](ScaleState& s) -> long { return s.deviceEnabled; }},
    {4, [](ScaleState& s) -> long { return s.freezeEvents; }},
    {6, [](ScaleState& s) { return Locked(s.resultLock, s.resultCode); }},
    {7, [](ScaleState& s) { return Locked(s.resultLock, s.resultCodeExtended); }},
    {8, [](ScaleState& s) { return s.serviceObjectVersion; }},
    {9, [](ScaleState& s) { return s.state; }},
    {10, [](ScaleState& s) { return s.autoDisable; }},
    {11, [](ScaleState& s) { return s.binaryConversion; }},
    {12, [](ScaleState& s) { return s.dataCount; }},
    {13, [](ScaleState& s) { return s.powerNotify; }},
    {14, [](ScaleState& s) { return s.powerState; }},
    {501, [](ScaleState& s) { return s.capPowerReporting; }},
    {9001, [](ScaleState& s) { return s.maximumWeight; }},
    {9002, [](ScaleState& s) { return s.weightUnit; }},
    {9003, [](ScaleState& s) -> long { return s.asyncMode; }},
    {9004, [](ScaleState& s) { return s.maxDisplayedChars; }},
    {9005, [](ScaleState& s) { return s.tareWeight; }},
    {9501, [](ScaleState& s) -> long { return s.capDisplay; }},
    {9502, [](ScaleState& s) -> long { return s.capDisplayText; }},
    {9503, [](ScaleState& s) -> long { return s.capPriceCalculating; }},
    {9504, [](ScaleState& s) -> long { return s.capTareWeight; }},
    {9505, [](ScaleState& s) -> long { return s.capZeroScale; }},
};

// Writes whose handler records no result leave ResultCode as it was.
struct NumberWrite {
    long index;
    void (*write)(CScaleTRM07& scale, long number);
};

constexpr char kBinaryConversionRoutine[] = "SetPropertyNumber(BinaryConversion)";
constexpr long kMaxBinaryConversion = 2;

constexpr NumberWrite kNumberWrites[] = {
    {2, [](CScaleTRM07& scale, long number) { scale.StoreDataEventEnabled(number); }},
    {3, [](CScaleTRM07& scale, long number) { scale.SetDeviceEnabled(number); }},
    {4,
     [](CScaleTRM07& scale, long number) {
         scale.StoreFreezeEvents(number);
         scale.SuccessExit("SetPropertyNumber(FreezeEvents)");
     }},
    {10, [](CScaleTRM07& scale, long number) { scale.State().autoDisable = number; }},
    {11,
     [](CScaleTRM07& scale, long number) {
         if (number < 0 || number > kMaxBinaryConversion) {
             scale.FailureExit(kBinaryConversionRoutine, opos::OPOS_E_ILLEGAL);
             return;
         }
         scale.State().binaryConversion = number;
         scale.SuccessExit(kBinaryConversionRoutine);
     }},
    {13,
     [](CScaleTRM07& scale, long number) {
         // Power reporting is not supported: only "no notification" is accepted.
         if (number != 0) scale.FailureExit("SetPropertyNumber(PowerNotify)", opos::OPOS_E_ILLEGAL);
     }},
    {9003, [](CScaleTRM07& scale, long number) { scale.State().asyncMode = number; }},
    {9005, [](CScaleTRM07& scale, long) { scale.State().tareWeight = 0; }},
};

struct StringProperty {
    long index;
    const std::string& (*read)(const ScaleState& s);
};

constexpr StringProperty kStringProperties[] = {
    {1000001, [](const ScaleState& s) -> const std::string& { return s.checkHealthText; }},
    {1000002, [](const ScaleState& s) -> const std::string& { return s.deviceDescription; }},
    {1000003, [](const ScaleState& s) -> const std::string& { return s.deviceName; }},
    {1000004, [](const ScaleState& s) -> const std::string& { return s.serviceObjectDescription; }},
};

template <typename Entry, size_t N>
const Entry* FindIndex(const Entry (&table)[N], long index) noexcept {
    for (const auto& entry : table) {
        if (entry.index == index) return &entry;
    }
    return nullptr;
}

}  // namespace

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
    if (const NumberWrite* property = FindIndex(kNumberWrites, propIndex)) {
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
