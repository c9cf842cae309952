#include "service/dispatch_table.h"

#include "service/scale_trm07.h"

namespace pendrax {

namespace {

using A = ArgType;
using R = ResultType;
using Args = const DispatchArgs&;
using Out = DispatchResult&;

constexpr DispatchEntry kDispatchTable[] = {
    {L"OpenService", 1, 3, {A::String, A::String, A::Dispatch}, R::Long,
     [](CScaleTRM07& s, Args a, Out r) { r.number = s.OpenService(a.Text(0), a.Text(1), a.Dispatch(2)); }},
    {L"Close", 2, 0, {}, R::Long, [](CScaleTRM07& s, Args, Out r) { r.number = s.Close(); }},
    {L"Claim", 3, 1, {A::Long}, R::Long, [](CScaleTRM07& s, Args a, Out r) { r.number = s.Claim(a.Long(0)); }},
    {L"Release", 4, 0, {}, R::Long, [](CScaleTRM07& s, Args, Out r) { r.number = s.ReleaseDevice(); }},
    {L"CheckHealth", 5, 1, {A::Long}, R::Long,
     [](CScaleTRM07& s, Args a, Out r) { r.number = s.CheckHealth(a.Long(0)); }},
    {L"ClearInput", 6, 0, {}, R::Long, [](CScaleTRM07& s, Args, Out r) { r.number = s.ClearInput(); }},
    {L"ClearOutput", 7, 0, {}, R::Long, [](CScaleTRM07& s, Args, Out r) { r.number = s.ClearOutput(); }},
    {L"DirectIO", 8, 3, {A::Long, A::LongRef, A::StringRef}, R::Long,
     [](CScaleTRM07& s, Args a, Out r) { r.number = s.DirectIO(a.Long(0), a.LongRef(1), a.StringRef(2)); }},
    {L"SetPropertyNumber", 9, 2, {A::Long, A::Long}, R::None,
     [](CScaleTRM07& s, Args a, Out) { s.SetPropertyNumber(a.Long(0), a.Long(1)); }},
    {L"GetPropertyString", 10, 1, {A::Long}, R::String,
     [](CScaleTRM07& s, Args a, Out r) { r.text = s.GetPropertyString(a.Long(0)); }},
    {L"SetPropertyString", 11, 2, {A::Long, A::String}, R::None,
     [](CScaleTRM07& s, Args a, Out) { s.SetPropertyString(a.Long(0), a.Text(1)); }},
    {L"DisplayText", 12, 1, {A::String}, R::Long,
     [](CScaleTRM07& s, Args a, Out r) { r.number = s.DisplayText(a.Text(0)); }},
    {L"ReadWeight", 13, 2, {A::LongRef, A::Long}, R::Long,
     [](CScaleTRM07& s, Args a, Out r) { r.number = s.ReadWeight(a.LongRef(0), a.Long(1)); }},
    {L"ZeroScale", 14, 0, {}, R::Long, [](CScaleTRM07& s, Args, Out r) { r.number = s.ZeroScale(); }},
    {L"COFreezeEvents", 15, 1, {A::Long}, R::Long,
     [](CScaleTRM07& s, Args a, Out r) { r.number = s.COFreezeEvents(a.Long(0)); }},
    {L"GetPropertyNumber", 16, 1, {A::Long}, R::Long,
     [](CScaleTRM07& s, Args a, Out r) { r.number = s.GetPropertyNumber(a.Long(0)); }},
    {L"SetUnitPrice", 17, 1, {A::Currency}, R::None,
     [](CScaleTRM07& s, Args a, Out) { s.SetUnitPrice(a.Currency(0)); }},
    {L"GetUnitPrice", 18, 0, {}, R::Currency, [](CScaleTRM07& s, Args, Out r) { r.currency = s.GetUnitPrice(); }},
    {L"GetSalesPrice", 19, 0, {}, R::Currency, [](CScaleTRM07& s, Args, Out r) { r.currency = s.GetSalesPrice(); }},
    {L"ReleaseDevice", 20, 0, {}, R::Long, [](CScaleTRM07& s, Args, Out r) { r.number = s.ReleaseDevice(); }},
};

constexpr size_t kDispatchCount = sizeof kDispatchTable / sizeof kDispatchTable[0];

constexpr bool DispidsArePositions() {
    for (size_t i = 0; i < kDispatchCount; ++i) {
        if (kDispatchTable[i].dispid != static_cast<DISPID>(i + 1)) return false;
    }
    return true;
}
static_assert(kDispatchCount == 20, "the dispatch interface has 20 methods");
static_assert(DispidsArePositions(), "a DISPID is its entry's position in the table");

}  // namespace

const DispatchEntry* FindDispatchEntry(DISPID dispid) noexcept {
    if (dispid < 1 || static_cast<size_t>(dispid) > kDispatchCount) return nullptr;
    return &kDispatchTable[dispid - 1];
}

const DispatchEntry* FindDispatchEntry(const wchar_t* name) noexcept {
    if (!name) return nullptr;
    for (const auto& entry : kDispatchTable) {
        if (CompareStringOrdinal(entry.name, -1, name, -1, TRUE) == CSTR_EQUAL) return &entry;
    }
    return nullptr;
}

}  // namespace pendrax
