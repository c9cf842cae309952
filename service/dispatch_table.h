#pragma once
// The service object's dispatch interface as data: every method's name, DISPID, argument and
// result types and the handler that calls the member function with its arguments converted.

#include "common/com/dispatch_engine.h"
#include "common/opos_ids.h"

namespace pendrax {

class CScaleTRM07;

using DispatchEntry = ka::com::DispatchMember<CScaleTRM07>;

extern const DispatchEntry kDispatchTable[opos::so::kMethodCount];

}  // namespace pendrax
