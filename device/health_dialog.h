#pragma once
// The interactive check-health dialog, shown modally with no owner window.

namespace pendrax {

class CScaleTRM07;

constexpr int IDD_HEALTH_CHECK = 5002;
constexpr int IDC_HEALTH_STATUS = 5003;
constexpr int IDC_HEALTH_READ = 5000;
constexpr int IDC_HEALTH_ZERO = 5001;

// Returns when the user closes the dialog.
void RunHealthCheckDialog(CScaleTRM07& scale);

}  // namespace pendrax
