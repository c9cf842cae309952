#pragma once
// Identity and members of the OPOS Scale control object as our stand-in offers them.
//
// The stand-in registers the real control's class name and class identifier, but only inside our
// own Wine prefixes: on a POS terminal the real control object from the OPOS distribution is
// installed under the same identity, and the stand-in must never be installed there.

#include <windows.h>

namespace standin {

// {CCB90172-B81E-11D2-AB74-0040054C3719}
constexpr CLSID kControlClsid = {0xCCB90172, 0xB81E, 0x11D2, {0xAB, 0x74, 0x00, 0x40, 0x05, 0x4C, 0x37, 0x19}};
constexpr wchar_t kControlClsidText[] = L"{CCB90172-B81E-11D2-AB74-0040054C3719}";
constexpr wchar_t kControlProgId[] = L"OposScale_1_5_LibCtl.OPOSScale";
constexpr wchar_t kStandInFileName[] = L"OposScaleStandIn.dll";

// Members whose dispatch identifiers the administrator invokes directly; they match the real control.
constexpr DISPID kDispidDeviceEnabled = 17;
constexpr DISPID kDispidCheckHealth = 31;
constexpr DISPID kDispidClose = 35;
constexpr DISPID kDispidOpen = 37;
constexpr DISPID kDispidReleaseDevice = 38;
constexpr DISPID kDispidReadWeight = 71;
constexpr DISPID kDispidZeroScale = 72;

// Members that clients find by name; the numbers are the stand-in's own.
constexpr DISPID kDispidClaim = 36;
constexpr DISPID kDispidDataEventEnabled = 18;
constexpr DISPID kDispidCheckHealthText = 19;
constexpr DISPID kDispidResultCode = 20;
constexpr DISPID kDispidAsyncMode = 73;

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
