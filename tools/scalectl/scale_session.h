#pragma once
// One technician's session with a scale through the control object: each step is printed with
// its result code by name, and Finish undoes whatever was done (disable, release, close).

#include <windows.h>

#include <string>

#include "tools/scalectl/control_client.h"

namespace scalectl {

class ScaleSession {
public:
    explicit ScaleSession(ControlClient& control) : control_(control) {}
    ScaleSession(const ScaleSession&) = delete;
    ScaleSession& operator=(const ScaleSession&) = delete;

    // Open, claim and enable; false when a step failed (Finish still has to run).
    bool Start(const std::wstring& device);
    bool ReadWeight(const std::string& label, long timeoutMs);
    // AsyncMode on, ReadWeight, the data event awaited, AsyncMode off.
    bool ReadWeightAsync(long timeoutMs);
    bool ZeroScale();
    bool CheckHealth(long level);
    // Disable, release and close as far as they are needed; the process exit status.
    int Finish();

    bool failed() const { return failed_; }

private:
    bool Step(const std::string& label, const Outcome& outcome, const std::string& detail = "");
    bool PutAndCheck(const std::string& label, const wchar_t* property, bool value);
    bool AwaitDataEvent(size_t seenBefore, long timeoutMs);

    ControlClient& control_;
    bool connected_ = false;
    bool opened_ = false;
    bool claimed_ = false;
    bool enabled_ = false;
    bool failed_ = false;
};

// Prints one line of output at once, so that a caller reading the pipe sees each step as it ends.
void PrintLine(const std::string& line);

}  // namespace scalectl
