// Synchronous ReadWeight through IDispatch against a simulator that answers at once, beside the
// floor of a raw overlapped read on the same cable with the same time-outs; the event thread's
// time from ReadWeight to SOData; and from ReadWeight to the application's handler when the
// control object posts the event to the application's thread, as terminals' control objects do.

#include <cstdio>
#include <vector>

#include "bench/bench_scale.h"
#include "bench/bench_support.h"
#include "tests/tools/application_handler.h"
#include "tests/tools/control_under_test.h"

namespace {

using namespace ka::bench;

constexpr int kSamples = 150;
constexpr DWORD kLimitMs = 500;
constexpr long kTimeoutMs = 1000;

std::vector<double> RawReads() {
    std::vector<double> samples;
    RawPort port(kBenchCable.deviceSide());
    if (!port) return samples;
    port.Converse('W', kLimitMs);  // the first settles what a process sets up once
    for (int i = 0; i < kSamples; ++i) {
        const double start = NowMs();
        if (port.Converse('W', kLimitMs) != 16) continue;
        samples.push_back(NowMs() - start);
    }
    return samples;
}

std::vector<double> SynchronousReads(BenchScale& bench, int& failures) {
    std::vector<double> samples;
    long weight = 0;
    bench.Scale().ReadWeight(&weight, kTimeoutMs);
    for (int i = 0; i < kSamples; ++i) {
        weight = 0;
        const double start = NowMs();
        const long result = bench.Scale().ReadWeight(&weight, kTimeoutMs);
        const double elapsed = NowMs() - start;
        if (result != 0 || weight != kBenchWeight) {
            ++failures;
            continue;
        }
        samples.push_back(elapsed);
    }
    return samples;
}

// From the call of ReadWeight to the arrival of SOData on the control object.
std::vector<double> EventThreadReads(BenchScale& bench, int& failures) {
    std::vector<double> samples;
    auto& scale = bench.Scale();
    auto& events = bench.Events();
    scale.SetPropertyNumber(opos::pidx::kAsyncMode, 1);
    for (int i = 0; i <= kSamples; ++i) {
        long weight = 0;
        const double start = NowMs();
        const long result = scale.ReadWeight(&weight, kTimeoutMs);
        const bool arrived = result == 0 && events.WaitForEvent(5000);
        if (!arrived || events.LastEvent() != ka::test::CountingControlObject::kSOData ||
            events.LastValue() != kBenchWeight) {
            ++failures;
        } else if (i > 0) {
            samples.push_back(events.LastEventMs() - start);
        }
        // Disabling waits for the thread to end; not part of the figure.
        scale.SetDeviceEnabled(false);
        scale.SetDeviceEnabled(true);
    }
    scale.SetPropertyNumber(opos::pidx::kAsyncMode, 0);
    return samples;
}

// From the application's ReadWeight through the control stand-in to its DataEvent handler, run on
// the application's thread while it serves its messages.
std::vector<double> HandlerReads(int& failures) {
    std::vector<double> samples;
    ka::test::ApplicationHandler handler;
    double handled = 0;
    handler.OnEvent([&handled](const ka::test::ApplicationHandler::Event&) { handled = NowMs(); });
    ka::test::ControlUnderTest control;
    if (FAILED(ka::test::DispatchClient::Create(ka::test::kControlProgIdAnsi, control))) {
        ++failures;
        return samples;
    }
    control.SetEventHandler(&handler);
    if (control.Open(kBenchDevice) != 0 || control.Claim(1000) != 0) {
        ++failures;
        return samples;
    }
    control.PutBool(opos::control::kDeviceEnabled, true);
    control.PutBool(standin::kDispidAsyncMode, true);
    control.PutBool(standin::kDispidDataEventEnabled, true);
    for (int i = 0; i <= kSamples; ++i) {
        const size_t before = handler.Events().size();
        long weight = 0;
        const double start = NowMs();
        const long result = control.ReadWeight(&weight, kTimeoutMs);
        for (int wait = 0; result == 0 && handler.Events().size() == before && wait < 5; ++wait) control.WaitForEvent(1000);
        const auto events = handler.Events();
        if (events.size() == before || events.back().kind != standin::kDispidDataEvent || events.back().value != kBenchWeight) {
            ++failures;
        } else if (i > 0) {
            samples.push_back(handled - start);
        }
    }
    control.Close();
    return samples;
}

}  // namespace

int main() {
    BenchScale bench;
    if (!bench.Ready("read latency")) return 1;
    PrintHeading("ReadWeight latency (simulator answers at once; log verbosity 2)");
    const Summary floor = Summarise(RawReads());
    if (!bench.OpenService()) {
        std::printf("read latency: the service object could not be opened, claimed and enabled\n");
        return 1;
    }
    int failures = 0;
    const Summary sync = Summarise(SynchronousReads(bench, failures));
    const Summary async = Summarise(EventThreadReads(bench, failures));
    bench.CloseService();
    const Summary handled = Summarise(HandlerReads(failures));

    PrintLatency("floor: raw overlapped write + read, 100 ms interval", floor);
    PrintLatency("synchronous ReadWeight through IDispatch", sync);
    PrintLatency("asynchronous ReadWeight to SOData (event thread)", async);
    PrintLatency("asynchronous ReadWeight to the handler (posted)", handled);
    std::printf("  overhead over the floor: synchronous %+.2f ms at the median (goal < 5 ms), %+.2f ms at p99\n",
                sync.median - floor.median, sync.p99 - floor.p99);
    std::printf("  event thread against synchronous: %+.2f ms at the median\n", async.median - sync.median);
    std::printf("  handler on the application's thread against SOData: %+.2f ms at the median\n",
                handled.median - async.median);
    if (failures) std::printf("  %d reads failed and are not counted\n", failures);
    std::fflush(stdout);
    return failures == 0 && floor.count > 0 ? 0 : 1;
}
