// A second application for the claim tests: opens a device, claims it and holds the claim
// until told to quit.
//   claim_holder <device name> <ready event name> <quit event name>
// Exit code: the Claim result, or 200 + a step number when the holder could not get there.

#include <windows.h>

#include <string>

#include "common/unique_handle.h"
#include "tests/support/dispatch_client.h"

int main(int argc, char** argv) {
    using namespace ka::test;
    if (argc != 4) return 201;
    ComApartment apartment;
    if (FAILED(apartment.result())) return 202;
    ka::UniqueHandle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]));
    ka::UniqueHandle quit(OpenEventA(SYNCHRONIZE, FALSE, argv[3]));
    if (!ready || !quit) return 203;

    ScaleClient scale;
    if (FAILED(ScaleClient::Create(scale))) return 204;
    if (scale.OpenService("Scale", argv[1], nullptr) != 0) return 205;
    const long claimed = scale.Claim(0);
    SetEvent(ready.get());
    // Bounded: a parent that died must not leave the holder behind.
    WaitForSingleObject(quit.get(), 60000);
    scale.Close();
    return static_cast<int>(claimed);
}
