#pragma once
// The service object's log: a ZelLog with its category and level tables installed.

#include "logging/zel_log.h"

namespace zel {

enum Category : int { kUnassigned = 0, kMainThread = 1, kEventThread = 2, kDeviceThread = 3 };
enum Level : int { kCritical = 0, kSignificant = 1, kInformation = 2, kFunctTrace = 3, kDataFlow = 4 };

class OposLog : public ZelLog {
public:
    OposLog();
};

}  // namespace zel
