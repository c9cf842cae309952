#pragma once
// What the device-link tests share: a device link that logs as the opening thread does, the
// lines it wrote, and a count of the process's open handles.

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "device/device_link.h"
#include "logging/opos_log.h"

namespace ka::test {

// One line of the log file, as its columns show it.
struct LogMessage {
    int level = -1;
    std::string displayName;
    std::string category;
    std::string text;
};

// An expected line; "{n}" in the text stands for any decimal number (a last-error code).
struct Expected {
    int level;
    std::string text;
};

// The lines a display name wrote into the log file, past the first `skipBytes` bytes.
std::vector<LogMessage> ReadLogMessages(const std::string& path, const std::string& displayName,
                                        std::size_t skipBytes = 0);

// Empty when the lines are the expected ones in order, else a description of the difference.
std::string CompareMessages(const std::vector<LogMessage>& actual, const std::vector<Expected>& expected);
bool TextMatches(const std::string& actual, const std::string& pattern);

// A fresh log file path, removed when the test ends.
class TempLog {
public:
    explicit TempLog(const std::string& stem);
    ~TempLog();
    TempLog(const TempLog&) = delete;
    TempLog& operator=(const TempLog&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A device link with a log of its own whose thread-local category is 1, as on the thread that
// opened the device.
struct DeviceLog {
    zel::OposLog ownLog;
};
struct OpeningThreadDevice : DeviceLog, pendrax::DeviceLink {
    OpeningThreadDevice() : pendrax::DeviceLink(ownLog) { ownLog.AllocateCategorySlot(zel::kMainThread); }
};
std::unique_ptr<OpeningThreadDevice> MakeOpeningThreadDevice();

// Handles the process holds open now. Wine's GetProcessHandleCount answers 0, so the system's
// handle list is counted there instead.
unsigned long OpenHandleCount();
// Handles of these kinds, as the system names them ("Event", "File"), that the process holds open
// now; 0 when its handle list cannot be read. What a leak check counts: the kinds the code under
// test opens, so that handles of other kinds the platform's threads close or open meanwhile do
// not move it.
unsigned long OpenHandleCount(std::initializer_list<const wchar_t*> kinds);

// Waits, bounded, until at least `count` bytes wait in the open port's input queue: what the scale
// sent has come all the way through the cable. Woken by the port's receive event.
bool WaitForInputQueue(HANDLE port, DWORD count, DWORD timeoutMs);

constexpr char kScaleClass[] = "Scale";

// The cables are pseudo-terminals: they carry 8-bit characters without parity only, and the
// kernel refuses a change to 7 bits or to parity once a cable has been set up. Profiles that
// open a cable therefore ask for 8 bits and no parity.
using ProfileValues = std::vector<std::pair<std::string, std::string>>;
inline const ProfileValues kCableLine = {{"DataSize", "8"}, {"Parity", "None"}};

}  // namespace ka::test

#define EXPECT_LOG(actual, ...)                                                             \
    do {                                                                                    \
        const std::string difference = ::ka::test::CompareMessages((actual), __VA_ARGS__); \
        EXPECT_TRUE(difference.empty()) << difference;                                      \
    } while (0)
