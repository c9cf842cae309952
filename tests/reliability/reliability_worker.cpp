// The other applications of the reliability tests, each a process of its own:
//   reliability_worker hold-port <port> <ready event> <quit event>
//       opens the COM port as any program may, and keeps it until told to quit;
//   reliability_worker hold-claim <device> <ready event>
//       opens and claims the device, then waits to be killed with the claim held;
//   reliability_worker share <device> <claims> <lines file> <go event> <tally> <freed event>
//       forwards its log lines to itself, then claims, weighs and releases `claims` times beside
//       other workers on the same port, and writes the forwarded lines to <lines file>.
// Exit code 0, or the number of the step that failed.

#include <windows.h>

#include <cstdio>
#include <string>

#include "common/unique_handle.h"
#include "tests/reliability/shared_tally.h"
#include "tests/support/dispatch_client.h"

namespace {

using namespace ka::test;

constexpr DWORD kLongestWaitMs = 120000;
constexpr long kClaimed = 102;
constexpr long kForwardLogLines = 1000;
constexpr DWORD kRetryAfterMs = 50;

enum Failure : int {
    kBadArguments = 10,
    kNoApartment,
    kNoEvents,
    kPortNotOpened,
    kNoServiceObject,
    kOpenFailed,
    kClaimFailed,
    kForwardingFailed,
    kNoGo,
    kTallyMissing,
    kTooManyAttempts,
    kLinesNotWritten,
};

int HoldPort(const char* port, const char* readyName, const char* quitName) {
    ka::UniqueHandle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, readyName));
    ka::UniqueHandle quit(OpenEventA(SYNCHRONIZE, FALSE, quitName));
    if (!ready || !quit) return kNoEvents;
    ka::UniqueFile held(CreateFileA(port, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                                    nullptr));
    if (!held) return kPortNotOpened;
    SetEvent(ready.get());
    WaitForSingleObject(quit.get(), kLongestWaitMs);
    return 0;
}

int HoldClaim(const char* device, const char* readyName) {
    ComApartment apartment;
    if (FAILED(apartment.result())) return kNoApartment;
    ka::UniqueHandle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, readyName));
    if (!ready) return kNoEvents;
    ScaleClient scale;
    if (FAILED(ScaleClient::Create(scale))) return kNoServiceObject;
    if (scale.OpenService("Scale", device, nullptr) != 0) return kOpenFailed;
    if (scale.Claim(0) != 0) return kClaimFailed;
    SetEvent(ready.get());
    // Killed here, claim held: the mutex is abandoned, not released.
    ka::UniqueHandle never(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    WaitForSingleObject(never.get(), kLongestWaitMs);
    return 0;
}

// The forwarded lines as the file shows them: each tab one space.
bool WriteLines(const std::string& path, const RecordingControlObject& co) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    for (const auto& call : co.Calls()) {
        if (call.name != "SODirectIO") continue;
        std::string line = call.text;
        for (char& c : line)
            if (c == '\t') c = ' ';
        std::fwrite(line.data(), 1, line.size(), out);
        std::fputc('\n', out);
    }
    return std::fclose(out) == 0;
}

int Share(const char* device, long claims, const char* linesPath, const char* goName, const char* tallyName,
          const char* freedName) {
    ComApartment apartment;
    if (FAILED(apartment.result())) return kNoApartment;
    ka::UniqueHandle go(OpenEventA(SYNCHRONIZE, FALSE, goName));
    ka::UniqueHandle freed(OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, freedName));
    if (!go || !freed) return kNoEvents;
    SharedTallyView tally(tallyName);
    if (!tally) return kTallyMissing;

    RecordingControlObject co;
    {
        ScaleClient scale;
        if (FAILED(ScaleClient::Create(scale))) return kNoServiceObject;
        if (scale.OpenService("Scale", device, &co) != 0) return kOpenFailed;
        long verbosity = 4;
        BSTR text = nullptr;
        const long forwarding =
            scale.CallLong(kDirectIO, std::move(CallArgs().Long(kForwardLogLines).LongRef(&verbosity).TextRef(&text)));
        SysFreeString(text);
        if (forwarding != 0) return kForwardingFailed;
        if (WaitForSingleObject(go.get(), kLongestWaitMs) != WAIT_OBJECT_0) return kNoGo;

        long held = 0;
        for (long attempt = 0; held < claims; ++attempt) {
            if (attempt > claims * 200) return kTooManyAttempts;
            const long claim = scale.Claim(0);
            if (claim == kClaimed) {
                InterlockedIncrement(&tally->refusals);
                // Woken when a holder lets go; bounded, since another waiter may take the wake-up.
                WaitForSingleObject(freed.get(), kRetryAfterMs);
                continue;
            }
            if (claim != 0) return kClaimFailed;
            if (InterlockedIncrement(&tally->holders) != 1) InterlockedIncrement(&tally->overlaps);
            InterlockedIncrement(&tally->claims);
            scale.SetPropertyNumber(opos::pidx::kDeviceEnabled, 1);
            long weight = -1;
            if (scale.ReadWeight(&weight, 1000) != 0 || weight != tally->weight) InterlockedIncrement(&tally->badReads);
            scale.SetPropertyNumber(opos::pidx::kDeviceEnabled, 0);
            InterlockedDecrement(&tally->holders);
            scale.Release();
            SetEvent(freed.get());
            ++held;
        }
        scale.Close();
    }
    return WriteLines(linesPath, co) ? 0 : kLinesNotWritten;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "hold-port" && argc == 5) return HoldPort(argv[2], argv[3], argv[4]);
    if (mode == "hold-claim" && argc == 4) return HoldClaim(argv[2], argv[3]);
    if (mode == "share" && argc == 8) return Share(argv[2], std::atol(argv[3]), argv[4], argv[5], argv[6], argv[7]);
    std::fprintf(stderr, "usage: reliability_worker hold-port|hold-claim|share ...\n");
    return kBadArguments;
}
