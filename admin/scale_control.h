#pragma once
// The OPOS Scale control object that the main window holds, driven through IDispatch by the
// dispatch identifiers the control publishes. Each call returns the HRESULT of the dispatch
// itself; the OPOS result code, when the member has one, comes back through `result`.

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "common/unique_handle.h"

namespace vantorel {

namespace detail {
inline IDispatch* NullDispatch() noexcept { return nullptr; }
inline void ReleaseDispatch(IDispatch* dispatch) noexcept { dispatch->Release(); }
}  // namespace detail
using UniqueDispatch = ka::UniqueResource<ka::detail::Traits<IDispatch*, detail::NullDispatch, detail::ReleaseDispatch>>;

// {CCB90172-B81E-11D2-AB74-0040054C3719}
extern const CLSID CLSID_OPOSScale;

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
    UniqueDispatch dispatch_;
};

}  // namespace vantorel
