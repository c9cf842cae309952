#include "device/claim_lock.h"
#include "device/profile_loader.h"
#include "device/scale_conversation.h"
#include "device/serial_port.h"

namespace pendrax {
long ReadProfileString(const char*, const char*, const char*, std::string&) { return ERROR_FILE_NOT_FOUND; }
long ReadProfileNumber(const char*, const char*, const char*, long&) { return ERROR_FILE_NOT_FOUND; }
long LoadDeviceProfile(ScaleState&, const char*, const char*) { return opos::OPOS_E_FAILURE; }
long ClaimLock(ScaleState&, long) { return opos::OPOS_E_FAILURE; }
long ReleaseClaimLock(ScaleState&) { return 0; }
long SetPortOpen(ScaleState&, bool) { return opos::OPOS_E_NOSERVICE; }
long Converse(ScaleState&, char, char*, DWORD, DWORD) { return opos::OPOS_E_ILLEGAL; }
long ReadScale(ScaleState&, long&, long&, long&) { return -1; }
}  // namespace pendrax
