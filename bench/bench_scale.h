#pragma once
// A service object on a real cable with the simulator answering at once; the same cable opened
// raw (tests/reliability/raw_port.h) is the floor every read stands on.

#include <windows.h>

#include <cstdio>

#include <string>

#include "common/unique_handle.h"
#include "tests/reliability/counting_control_object.h"
#include "tests/reliability/raw_port.h"
#include "tests/support/cables.h"
#include "tests/support/dispatch_client.h"
#include "tests/support/profile_fixture.h"
#include "tools/trm07sim/scale_simulator.h"

namespace ka::bench {

using test::RawPort;

constexpr char kBenchDevice[] = "ReliabBench";
constexpr test::Cable kBenchCable{2};
constexpr long kBenchWeight = 12345;
// The administrator's default verbosity: what a terminal in service logs.
constexpr int kBenchVerbosity = 2;

// COM, the profile and the simulator; then a service object opened, claimed and enabled.
class BenchScale {
public:
    BenchScale() {
        logPath_ = test::TempLogPath("bench-read");
        profiles_.WriteCableProfile(kBenchDevice, kBenchCable.deviceSide(), logPath_, kBenchVerbosity);
        ok_ = SUCCEEDED(apartment_.result()) &&
              sim_.Open(kBenchCable.scaleSide(), trm07::kPseudoTerminalLine) == 0;
        sim_.SetWeight(kBenchWeight);
    }
    ~BenchScale() {
        CloseService();
        sim_.Close();
        DeleteFileA(logPath_.c_str());
    }

    // False, with a line saying so, when the simulated scale could not be opened.
    bool Ready(const char* benchmark) const {
        if (!ok_) std::printf("%s: the simulator could not open %s\n", benchmark, kBenchCable.scaleSide().c_str());
        return ok_;
    }
    trm07::ScaleSimulator& Simulator() { return sim_; }
    test::CountingControlObject& Events() { return events_; }
    test::ScaleClient& Scale() { return scale_; }

    bool OpenService() {
        if (FAILED(test::ScaleClient::Create(scale_))) return false;
        return scale_.OpenService("Scale", kBenchDevice, &events_) == 0 && scale_.Claim(1000) == 0 &&
               scale_.SetDeviceEnabled(true) == 0;
    }
    void CloseService() {
        if (!scale_) return;
        scale_.Close();
        scale_.reset();
    }

private:
    test::ComApartment apartment_;
    test::ProfileFixture profiles_;
    std::string logPath_;
    trm07::ScaleSimulator sim_;
    test::CountingControlObject events_;
    test::ScaleClient scale_;
    bool ok_ = false;
};

}  // namespace ka::bench
