#pragma once
// Identity and members of the OPOS Scale control object as our stand-in offers them.
//
// The stand-in registers the real control's class name and class identifier, but only inside our
// own Wine prefixes: on a POS terminal the real control object from the OPOS distribution is
// installed under the same identity, and the stand-in must never be installed there.

#include <windows.h>

#include "common/opos_ids.h"

namespace standin {

constexpr CLSID kControlClsid = opos::control::kClsid;
constexpr const wchar_t* kControlClsidText = opos::control::kClsidText;
constexpr const wchar_t* kControlProgId = opos::control::kProgId;
constexpr wchar_t kStandInFileName[] = L"OposScaleStandIn.dll";

// The members the administrator invokes by dispatch identifier carry the real control's
// (opos::control); the numbers below are the stand-in's own.

// Members that clients find by name; the numbers are the stand-in's own.
constexpr DISPID kDispidClaim = 36;
constexpr DISPID kDispidClearInput = 39;
constexpr DISPID kDispidDataEventEnabled = 18;
constexpr DISPID kDispidCheckHealthText = 19;
constexpr DISPID kDispidResultCode = 20;
constexpr DISPID kDispidAsyncMode = 73;
constexpr DISPID kDispidFreezeEvents = 21;

// How events reach the application: the handler it sets (an IDispatch invoked by the event
// DISPIDs below), and the delivery model (posted to the creating thread unless this is true).
constexpr DISPID kDispidEventHandler = 209;
constexpr DISPID kDispidDeliverOnCallingThread = 210;

// The application's handler methods, by the dispatch identifiers of the standard's events.
constexpr DISPID kDispidDataEvent = 1;
constexpr DISPID kDispidDirectIOEvent = 2;
constexpr DISPID kDispidErrorEvent = 3;
constexpr DISPID kDispidStatusUpdateEvent = 5;

// Observation of the events the service object raised, for tests and tools.
constexpr DISPID kDispidWaitForEvent = 201;
constexpr DISPID kDispidDataEventCount = 202;
constexpr DISPID kDispidErrorEventCount = 203;
constexpr DISPID kDispidLastDataWeight = 204;
constexpr DISPID kDispidLastErrorResultCode = 205;
constexpr DISPID kDispidLastDirectIOText = 206;
constexpr DISPID kDispidDirectIOEventCount = 207;
constexpr DISPID kDispidStatusUpdateCount = 208;

// Event request methods the service object binds by name and calls, from any thread.
constexpr DISPID kDispidSOData = 301;
constexpr DISPID kDispidSODirectIO = 302;
constexpr DISPID kDispidSOError = 303;
constexpr DISPID kDispidSOStatusUpdate = 304;

}  // namespace standin
