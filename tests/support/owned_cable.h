#pragma once
// A virtual null-modem cable that a test lays and pulls itself, as an adapter is plugged in and
// pulled out: the pair ends and is laid again under the same link names, so COMn and COM(20+n)
// name it throughout. Wine starts the Unix helper that does it but hands back no process to wait
// for: what is waited for is the two ends coming and going in the ports folder.

#include <windows.h>

#include <string>

#include "tests/support/cables.h"

namespace ka::test {

class OwnedCable {
public:
    // The run script names the ports folder (PORTS_DIR) and the build the helper (KA_CABLE_SCRIPT).
    explicit OwnedCable(const Cable& cable);

    // Empty when the environment names both; else what is missing.
    const std::string& Problem() const { return problem_; }
    // True once both ends are there, within the limit.
    bool Lay(DWORD timeoutMs);
    // True once both ends are gone, within the limit.
    bool Pull(DWORD timeoutMs);

private:
    bool Run(const char* action);
    bool EndsPresent(bool present) const;
    bool WaitForEnds(bool present, DWORD timeoutMs) const;

    int number_;
    std::string portsUnix_;
    std::string script_;
    std::string portsFolder_;  // the ports folder as Windows names it
    std::string problem_;
};

}  // namespace ka::test
