#include "tools/scalectl/step_report.h"

#include <cstdio>
#include <cstdlib>

#include "common/opos.h"

namespace scalectl {

namespace {
constexpr size_t kResultColumn = 26;
constexpr size_t kMinDots = 3;

std::string Lead(const std::string& label) {
    size_t used = label.size() + 2;
    size_t dots = used + kMinDots < kResultColumn ? kResultColumn - used : kMinDots;
    return label + " " + std::string(dots, '.') + " ";
}
}  // namespace

std::string StepLine(const std::string& label, long resultCode) {
    return Lead(label) + opos::ResultName(resultCode) + " (" + std::to_string(resultCode) + ")";
}

std::string CallFailedLine(const std::string& label, long hresult) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hresult));
    return Lead(label) + "call failed (HRESULT " + code + ")";
}

std::string NoteLine(const std::string& label, const std::string& outcome) { return Lead(label) + outcome; }

std::string WeightText(long thousandths) {
    // Through long long so that the most negative weight keeps its magnitude.
    long long magnitude = std::llabs(static_cast<long long>(thousandths));
    char text[48];
    std::snprintf(text, sizeof text, "%s%lld.%03lld lb (%ld)", thousandths < 0 ? "-" : "", magnitude / 1000,
                  magnitude % 1000, thousandths);
    return text;
}

}  // namespace scalectl
