#pragma once
// The virtual null-modem cables the run script lays: COMn on the service object's side,
// COM(20+n) on the simulated scale's side. COM9 is never mapped, so it is a missing port.
// Cable 7 is mapped the same way but laid and pulled by the one test that owns it (OwnedCable).

#include <string>

namespace ka::test {

struct Cable {
    int number;
    std::string deviceSide() const { return "COM" + std::to_string(number); }
    // The device-namespace form opens any port number, COM10 and above included.
    std::string scaleSide() const { return "\\\\.\\COM" + std::to_string(20 + number); }
};

// A simulated scale on a cable: the device name of its profile, the cable, the weight it shows.
struct CableScale {
    const char* device;
    Cable cable;
    long weight;
};

inline constexpr int kCableNumbers[] = {1, 2, 3, 4, 5, 6, 10};
inline constexpr Cable kOwnedCable{7};
inline constexpr char kMissingPort[] = "COM9";

}  // namespace ka::test
