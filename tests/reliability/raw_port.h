#pragma once
// A COM port opened and set up exactly as the service object sets up its port, conversing the
// same way, but with nothing of the service object: the floor that reads through the service
// object are measured against.

#include <windows.h>

#include <string>

#include "common/unique_handle.h"

namespace ka::test {

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

}  // namespace ka::test
