#include "service/dispatch_table.h"

#include <iterator>

#include "common/com/ansi_text.h"
#include "service/scale_trm07.h"

namespace pendrax {

namespace {

using A = ka::com::ArgType;
using R = ka::com::ResultType;
using Args = const ka::com::DispatchArgs&;
using Out = ka::com::DispatchResult&;
constexpr auto M = ka::com::MemberKind::Method;
namespace id = opos::so;

}  // namespace

constexpr DispatchEntry kDispatchTable[opos::so::kMethodCount] = {
    {L"OpenService", id::kOpenService, M, 3, {A::Text, A::Text, A::Dispatch}, R::Long,
     [](CScaleTRM07& s, Args a, Out r) { r.number = s.OpenService(a.AnsiText(0), a.AnsiText(1), a.Dispatch(2)); }},
    {L"Close", id::kClose, M, 0, {}, R::Long, [](CScaleTRM07& s, Args, Out r) { r.number = s.Close(); }},
    {L"Claim", id::kClaim, M, 1, {A::Long}, R::Long,
     [](CScaleTRM07& s, Args a, Out r) { r.number = s.Claim(a.Long(0)); }},
    {L"Release", id::kRelease, M, 0, {}, R::Long, [](CScaleTRM07& s, Args, Out r) { r.number = s.ReleaseDevice(); }},
    {L"CheckHealth", id::kCheckHealth, M, 1, {A::Long}, R::Long,
     [](CScaleTRM07& s, Args a, Out r) { r.number = s.CheckHealth(a.Long(0)); }},
    {L"ClearInput", id::kClearInput, M, 0, {}, R::Long, [](CScaleTRM07& s, Args, Out r) { r.number = s.ClearInput(); }},
    {L"ClearOutput", id::kClearOutput, M, 0, {}, R::Long,
     [](CScaleTRM07& s, Args, Out r) { r.number = s.ClearOutput(); }},
    {L"DirectIO", id::kDirectIO, M, 3, {A::Long, A::LongRef, A::TextRef}, R::Long,
     [](CScaleTRM07& s, Args a, Out r) { r.number = s.DirectIO(a.Long(0), a.LongRef(1), a.TextRef(2)); }},
    {L"SetPropertyNumber", id::kSetPropertyNumber, M, 2, {A::Long, A::Long}, R::None,
     [](CScaleTRM07& s, Args a, Out) { s.SetPropertyNumber(a.Long(0), a.Long(1)); }},
    {L"GetPropertyString", id::kGetPropertyString, M, 1, {A::Long}, R::Text,
     [](CScaleTRM07& s, Args a, Out r) { r.text = ka::com::AnsiToWide(s.GetPropertyString(a.Long(0)).c_str()); }},
    {L"SetPropertyString", id::kSetPropertyString, M, 2, {A::Long, A::Text}, R::None,
     [](CScaleTRM07& s, Args a, Out) { s.SetPropertyString(a.Long(0), a.AnsiText(1)); }},
    {L"DisplayText", id::kDisplayText, M, 1, {A::Text}, R::Long,
     [](CScaleTRM07& s, Args a, Out r) { r.number = s.DisplayText(a.AnsiText(0)); }},
    {L"ReadWeight", id::kReadWeight, M, 2, {A::LongRef, A::Long}, R::Long,
     [](CScaleTRM07& s, Args a, Out r) { r.number = s.ReadWeight(a.LongRef(0), a.Long(1)); }},
    {L"ZeroScale", id::kZeroScale, M, 0, {}, R::Long, [](CScaleTRM07& s, Args, Out r) { r.number = s.ZeroScale(); }},
    {L"COFreezeEvents", id::kCOFreezeEvents, M, 1, {A::Long}, R::Long,
     [](CScaleTRM07& s, Args a, Out r) { r.number = s.COFreezeEvents(a.Long(0)); }},
    {L"GetPropertyNumber", id::kGetPropertyNumber, M, 1, {A::Long}, R::Long,
     [](CScaleTRM07& s, Args a, Out r) { r.number = s.GetPropertyNumber(a.Long(0)); }},
    {L"SetUnitPrice", id::kSetUnitPrice, M, 1, {A::Currency}, R::None,
     [](CScaleTRM07& s, Args a, Out) { s.SetUnitPrice(a.Currency(0)); }},
    {L"GetUnitPrice", id::kGetUnitPrice, M, 0, {}, R::Currency,
     [](CScaleTRM07& s, Args, Out r) { r.currency = s.GetUnitPrice(); }},
    {L"GetSalesPrice", id::kGetSalesPrice, M, 0, {}, R::Currency,
     [](CScaleTRM07& s, Args, Out r) { r.currency = s.GetSalesPrice(); }},
    {L"ReleaseDevice", id::kReleaseDevice, M, 0, {}, R::Long,
     [](CScaleTRM07& s, Args, Out r) { r.number = s.ReleaseDevice(); }},
};

namespace {
constexpr bool DispidsArePositions() {
    for (DISPID i = 0; i < opos::so::kMethodCount; ++i) {
        if (kDispatchTable[i].dispid != i + 1) return false;
    }
    return true;
}
static_assert(DispidsArePositions(), "a DISPID is its entry's position in the table");
}  // namespace

ka::com::MemberTable<CScaleTRM07> CScaleTRM07::Members() noexcept { return {kDispatchTable, std::size(kDispatchTable)}; }

}  // namespace pendrax
