#pragma once
// Opening, configuring and closing the scale's COM port.

#include "service/scale_state.h"

namespace pendrax {

// true: OPOS_SUCCESS or OPOS_E_NOSERVICE; false: always OPOS_SUCCESS.
long SetPortOpen(ScaleState& state, bool open);

}  // namespace pendrax
