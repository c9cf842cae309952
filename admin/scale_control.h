#pragma once
// The OPOS Scale control object that the main window holds, driven through IDispatch by the
// dispatch identifiers the control publishes. Each call returns the HRESULT of the dispatch
// itself; the OPOS result code, when the member has one, comes back through `result`.

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "common/com/owners.h"

namespace vantorel {

class ScaleControl {
public:
    // Creates the control object; the thread must have entered a single-threaded apartment.
    HRESULT Create() noexcept;
    void Release() noexcept { dispatch_.reset(); }
    bool Exists() const noexcept { return dispatch_.valid(); }

    HRESULT Open(const std::string& deviceName, long& result) noexcept;
    HRESULT Claim(long timeout, long& result) noexcept;
    HRESULT SetDeviceEnabled(bool enabled) noexcept;
    HRESULT GetDeviceEnabled(bool& enabled) noexcept;
    HRESULT CheckHealth(long level, long& result) noexcept;
    HRESULT ReleaseDevice(long& result) noexcept;
    HRESULT Close(long& result) noexcept;
    HRESULT ReadWeight(long& weight, long timeout, long& result) noexcept;
    HRESULT ZeroScale(long& result) noexcept;

private:
    ka::com::ComPtr<IDispatch> dispatch_;
};

}  // namespace vantorel
