#pragma once
// The interactive check-health dialog, shown modally with no owner window.

#include <windows.h>

#include <string>

namespace pendrax {

// What the dialog's buttons do: read the scale and zero it, with their OPOS results. The service
// object implements it; the dialog knows nothing else of it.
class HealthCheckTarget {
public:
    virtual long ReadWeight(long* weight, long timeout) = 0;
    virtual long ZeroScale() = 0;

protected:
    ~HealthCheckTarget() = default;
};

constexpr int IDD_HEALTH_CHECK = 5002;
constexpr int IDC_HEALTH_STATUS = 5003;
constexpr int IDC_HEALTH_READ = 5000;
constexpr int IDC_HEALTH_ZERO = 5001;

// Shows the dialog from the template in `resources` and returns when the user closes it: true,
// or false (last-error code set) when the dialog could not be shown at all.
bool RunHealthCheckDialog(HINSTANCE resources, HealthCheckTarget& target);

// The status text for a weight in thousandths of a pound: "012.345 lbs"; a negative weight
// carries its sign once, in front ("-001.500 lbs").
std::string WeightStatusText(long weight);

}  // namespace pendrax
