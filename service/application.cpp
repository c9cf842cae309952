#include "service/application.h"

#include "service/class_factory.h"

namespace pendrax {

bool ApplicationStartUp() noexcept {
    SetClassesAvailable(true);
    return true;
}

void ApplicationShutDown() noexcept { SetClassesAvailable(false); }

}  // namespace pendrax
