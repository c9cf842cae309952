#include "logging/opos_log.h"

#include <cstdarg>
#include <cstdint>

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

void OposLog::AllocateCategorySlot(int category) noexcept {
    categorySlot_.reset(TlsAlloc());
    SetThreadCategory(category);
}

void OposLog::SetThreadCategory(int category) noexcept {
    if (categorySlot_) TlsSetValue(categorySlot_.get(), reinterpret_cast<void*>(static_cast<std::intptr_t>(category)));
}

int OposLog::ThreadCategory() const noexcept {
    if (!categorySlot_) return kUnassigned;
    return static_cast<int>(reinterpret_cast<std::intptr_t>(TlsGetValue(categorySlot_.get())));
}

void OposLog::Line(int level, const char* format, ...) noexcept {
    ka::PreserveLastError keep;
    const int category = ThreadCategory();
    va_list args;
    va_start(args, format);
    WriteV(category, level, format, args);
    va_end(args);
}

}  // namespace zel
