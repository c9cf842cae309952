#include "common/opos.h"

namespace opos {

namespace {
struct NamedResult {
    long code;
    const char* name;
};

constexpr NamedResult kResultNames[] = {
    {OPOS_SUCCESS, "SUCCESS"},       {OPOS_E_CLOSED, "CLOSED"},     {OPOS_E_CLAIMED, "CLAIMED"},
    {OPOS_E_NOTCLAIMED, "NOTCLAIMED"}, {OPOS_E_NOSERVICE, "NOSERVICE"}, {OPOS_E_DISABLED, "DISABLED"},
    {OPOS_E_ILLEGAL, "ILLEGAL"},     {OPOS_E_NOHARDWARE, "NOHARDWARE"}, {OPOS_E_OFFLINE, "OFFLINE"},
    {OPOS_E_NOEXIST, "NOEXIST"},     {OPOS_E_EXISTS, "EXISTS"},     {OPOS_E_FAILURE, "FAILURE"},
    {OPOS_E_TIMEOUT, "TIMEOUT"},     {OPOS_E_BUSY, "BUSY"},         {OPOS_E_EXTENDED, "EXTENDED"},
};
}  // namespace

const char* ResultName(long code) noexcept {
    for (const auto& entry : kResultNames) {
        if (entry.code == code) return entry.name;
    }
    return "<unknown>";
}

}  // namespace opos
