#include "logging/opos_log.h"

namespace zel {

namespace {
constexpr char kUnassignedName[] = "(Unassigned)";
constexpr char kCategoryDefinition[] =
    "              \t"
    "Main Thread   \t"
    "Event Thread  \t"
    "Device Thread \t";
constexpr char kLevelDefinition[] =
    "Critical    (0)\t"
    "Significant (1)\t"
    "Information (2)\t"
    "Funct Trace (3)\t"
    "Data Flow   (4)\t";
}  // namespace

OposLog::OposLog() {
    SetDisplayName(kUnassignedName);
    SetCategoryNames(kCategoryDefinition, 0);
    SetLevelNames(kLevelDefinition, 0);
}

}  // namespace zel
