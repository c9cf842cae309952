#include "service/event_request.h"

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

HRESULT CallEventRequest(const ControlObjectLink& link, EventRequest which, VARIANTARG* args, UINT count) noexcept {
    if (!CanCallEventRequest(link, which)) return E_POINTER;
    DISPPARAMS params = {args, nullptr, count, 0};
    return link.dispatch->Invoke(link.dispids[which], IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &params,
                                 nullptr, nullptr, nullptr);
}

}  // namespace pendrax
