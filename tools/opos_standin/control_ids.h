#pragma once
// Identity and members of the OPOS Scale control stand-in.
//
// The stand-in has a class of its own, for tests that want it whatever control object the prefix
// has; it also registers the real control's class identifier and class name, where no other
// server holds them, so that the administrator and the tools find it in prefixes without the
// real control object. Only ever in our own Wine prefixes: a POS terminal has the real one.

#include <windows.h>

#include "common/opos_ids.h"

namespace standin {

// {5B2E9C41-8D3A-4F7B-9E16-2C4A7D0B3F58}
constexpr CLSID kStandInClsid = {0x5B2E9C41, 0x8D3A, 0x4F7B, {0x9E, 0x16, 0x2C, 0x4A, 0x7D, 0x0B, 0x3F, 0x58}};
constexpr wchar_t kStandInClsidText[] = L"{5B2E9C41-8D3A-4F7B-9E16-2C4A7D0B3F58}";
constexpr wchar_t kStandInProgId[] = L"KolvaneAris.OposScaleStandIn";

constexpr CLSID kControlClsid = opos::control::kClsid;
constexpr const wchar_t* kControlClsidText = opos::control::kClsidText;
constexpr const wchar_t* kControlProgId = opos::control::kProgId;
constexpr wchar_t kStandInFileName[] = L"OposScaleStandIn.dll";

// The members applications use carry the real control's dispatch identifiers (opos::control);
// the numbers below are the stand-in's own.

// The delivery model: posted to the creating thread unless this is true.
constexpr DISPID kDispidDeliverOnCallingThread = 210;

// Event requests the service object binds by name and calls, from any thread.
constexpr DISPID kDispidSOData = 301;
constexpr DISPID kDispidSODirectIO = 302;
constexpr DISPID kDispidSOError = 303;
constexpr DISPID kDispidSOStatusUpdate = 304;

}  // namespace standin
