#pragma once
// OPOS constants shared by the service object, the administrator and the tools.

namespace opos {

enum ResultCode : long {
    OPOS_SUCCESS = 0,
    OPOS_E_CLOSED = 101,
    OPOS_E_CLAIMED = 102,
    OPOS_E_NOTCLAIMED = 103,
    OPOS_E_NOSERVICE = 104,
    OPOS_E_DISABLED = 105,
    OPOS_E_ILLEGAL = 106,
    OPOS_E_NOHARDWARE = 107,
    OPOS_E_OFFLINE = 108,
    OPOS_E_NOEXIST = 109,
    OPOS_E_EXISTS = 110,
    OPOS_E_FAILURE = 111,
    OPOS_E_TIMEOUT = 112,
    OPOS_E_BUSY = 113,
    OPOS_E_EXTENDED = 114,
};

constexpr long OPOS_FOREVER = -1;

constexpr long OPOS_S_IDLE = 2;
constexpr long OPOS_PS_UNKNOWN = 2000;
constexpr long OPOS_PR_NONE = 0;
constexpr long SCAL_WU_POUND = 4;

constexpr long OPOS_CH_INTERNAL = 1;
constexpr long OPOS_CH_EXTERNAL = 2;
constexpr long OPOS_CH_INTERACTIVE = 3;

// The result code's name without its OPOS_ and E_ prefixes, or "<unknown>".
const char* ResultName(long code) noexcept;

}  // namespace opos
