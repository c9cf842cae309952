#include "service/event_request.h"

#include "common/com/dispatch_call.h"

namespace pendrax {

namespace {
constexpr const char* kEventRequestNames[kEventRequestCount] = {"SOData", "SODirectIO", "SOError", "SOStatusUpdate"};
}  // namespace

const char* EventRequestName(EventRequest which) noexcept {
    return which >= 0 && which < kEventRequestCount ? kEventRequestNames[which] : "";
}

bool CanCallEventRequest(const ControlObjectLink& link, EventRequest which) noexcept {
    return link.dispatch != nullptr && which >= 0 && which < kEventRequestCount &&
           link.dispids[which] != DISPID_UNKNOWN;
}

HRESULT CallEventRequest(const ControlObjectLink& link, EventRequest which, std::initializer_list<VARIANT> args) noexcept {
    if (!CanCallEventRequest(link, which)) return E_POINTER;
    return ka::com::InvokeByDispid(link.dispatch, link.dispids[which], DISPATCH_METHOD, args, nullptr);
}

}  // namespace pendrax
