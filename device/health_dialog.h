#pragma once
// The interactive check-health dialog, shown modally with no owner window.

#include <string>

namespace pendrax {

class CScaleTRM07;

constexpr int IDD_HEALTH_CHECK = 5002;
constexpr int IDC_HEALTH_STATUS = 5003;
constexpr int IDC_HEALTH_READ = 5000;
constexpr int IDC_HEALTH_ZERO = 5001;

// Returns when the user closes the dialog: true, or false (last-error code set) when the
// dialog could not be shown at all.
bool RunHealthCheckDialog(CScaleTRM07& scale);

// The status text for a weight in thousandths of a pound: "012.345 lbs"; a negative weight
// carries its sign once, in front ("-001.500 lbs").
std::string WeightStatusText(long weight);

}  // namespace pendrax
