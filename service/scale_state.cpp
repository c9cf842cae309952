#include "service/scale_state.h"

#include <cstdint>

namespace pendrax {

int CurrentCategory(const ScaleState& state) noexcept {
    if (!state.categorySlot) return zel::kUnassigned;
    return static_cast<int>(reinterpret_cast<std::intptr_t>(TlsGetValue(state.categorySlot.get())));
}

void LogLine(ScaleState& state, int level, const char* format, ...) {
    ka::PreserveLastError keep;
    const int category = CurrentCategory(state);
    va_list args;
    va_start(args, format);
    state.log.WriteV(category, level, format, args);
    va_end(args);
}

}  // namespace pendrax
