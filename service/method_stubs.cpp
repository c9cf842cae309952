#include "device/health_dialog.h"
#include "service/scale_trm07.h"

namespace pendrax {
long CScaleTRM07::CheckHealth(long) { return opos::OPOS_E_ILLEGAL; }
long CScaleTRM07::ClearInput() { return opos::OPOS_E_ILLEGAL; }
long CScaleTRM07::ClearOutput() { return opos::OPOS_E_ILLEGAL; }
long CScaleTRM07::DirectIO(long, long*, BSTR*) { return opos::OPOS_E_ILLEGAL; }
long CScaleTRM07::DisplayText(const char*) { return opos::OPOS_E_ILLEGAL; }
long CScaleTRM07::ReadWeight(long*, long) { return opos::OPOS_E_ILLEGAL; }
long CScaleTRM07::ZeroScale() { return opos::OPOS_E_ILLEGAL; }
long CScaleTRM07::COFreezeEvents(long) { return opos::OPOS_E_ILLEGAL; }
void CScaleTRM07::SetUnitPrice(CY) {}
CY CScaleTRM07::GetUnitPrice() { return CY{}; }
CY CScaleTRM07::GetSalesPrice() { return CY{}; }
void RunHealthCheckDialog(CScaleTRM07&) {}
}  // namespace pendrax
