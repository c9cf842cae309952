#pragma once
// A service object on a real cable with the simulator answering at once, and the same cable
// opened raw with the service object's own port settings: the floor every read stands on.

#include <windows.h>

#include <string>

#include "common/unique_handle.h"
#include "tests/reliability/counting_control_object.h"
#include "tests/support/cables.h"
#include "tests/support/dispatch_client.h"
#include "tests/support/profile_fixture.h"
#include "tools/trm07sim/scale_simulator.h"

namespace ka::bench {

constexpr char kBenchDevice[] = "ReliabBench";
constexpr test::Cable kBenchCable{2};
constexpr long kBenchWeight = 12345;
constexpr long kPropAsyncMode = 9003;
constexpr long kPropDeviceEnabled = 3;
// The administrator's default verbosity: what a terminal in service logs.
constexpr int kBenchVerbosity = 2;

// The port exactly as the service object sets it up: 256-byte queues, EV_CTS, reads that end
// 100 ms after their last character.
class RawPort {
public:
    explicit RawPort(const std::string& name) {
        port_.reset(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr));
        if (!port_) return;
        DCB dcb = {};
        dcb.DCBlength = sizeof dcb;
        GetCommState(port_.get(), &dcb);
        dcb.BaudRate = CBR_9600;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        SetCommState(port_.get(), &dcb);
        SetupComm(port_.get(), 256, 256);
        SetCommMask(port_.get(), EV_CTS);
        COMMTIMEOUTS timeouts = {100, 0, 0, 0, 0};
        SetCommTimeouts(port_.get(), &timeouts);
    }
    explicit operator bool() const { return port_.valid(); }

    // One request and its reply, as the service object converses: the count read, or -1.
    long Converse(char command, DWORD limitMs) {
        char reply[257] = {};
        const char request[2] = {command, '\r'};
        PurgeComm(port_.get(), PURGE_RXCLEAR);
        ka::UniqueHandle writeDone(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        ka::UniqueHandle readDone(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        OVERLAPPED write = {}, read = {};
        write.hEvent = writeDone.get();
        read.hEvent = readDone.get();
        DWORD count = 0;
        if (!WriteFile(port_.get(), request, 2, nullptr, &write) && GetLastError() != ERROR_IO_PENDING) return -1;
        if (!ReadFile(port_.get(), reply, 256, nullptr, &read) && GetLastError() != ERROR_IO_PENDING) {
            GetOverlappedResult(port_.get(), &write, &count, TRUE);
            return -1;
        }
        const bool arrived = WaitForSingleObject(readDone.get(), limitMs) == WAIT_OBJECT_0;
        if (!arrived) CancelIoEx(port_.get(), &read);
        GetOverlappedResult(port_.get(), &read, &count, TRUE);
        DWORD written = 0;
        GetOverlappedResult(port_.get(), &write, &written, TRUE);
        return arrived ? static_cast<long>(count) : -1;
    }

private:
    ka::UniqueFile port_;
};

// COM, the profile and the simulator; then a service object opened, claimed and enabled.
class BenchScale {
public:
    BenchScale() {
        logPath_ = test::TempLogPath("bench-read");
        profiles_.WriteScaleProfile(kBenchDevice, kBenchCable.deviceSide(), logPath_, kBenchVerbosity);
        profiles_.SetDeviceString(kBenchDevice, "DataSize", "8");
        profiles_.SetDeviceString(kBenchDevice, "Parity", "None");
        ok_ = SUCCEEDED(apartment_.result()) &&
              sim_.Open(kBenchCable.scaleSide(), trm07::LineSettings{CBR_9600, 8, NOPARITY, ONESTOPBIT}) == 0;
        sim_.SetWeight(kBenchWeight);
    }
    ~BenchScale() {
        CloseService();
        sim_.Close();
        DeleteFileA(logPath_.c_str());
    }

    bool Ok() const { return ok_; }
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
