#pragma once
// Calls into the control object's event request methods, by the DISPIDs bound at OpenService.

#include <windows.h>
#include <oaidl.h>

#include <initializer_list>

#include "service/scale_state.h"

namespace pendrax {

// The method's name as the control object knows it.
const char* EventRequestName(EventRequest which) noexcept;

// True when there is a control object and the method was bound.
bool CanCallEventRequest(const ControlObjectLink& link, EventRequest which) noexcept;

// A plain method call that asks for no result, with its arguments in declared order.
HRESULT CallEventRequest(const ControlObjectLink& link, EventRequest which, std::initializer_list<VARIANT> args) noexcept;

}  // namespace pendrax
