// Synchronous ReadWeight through IDispatch against a simulator that answers at once, beside the
// floor of a raw overlapped read on the same cable with the same time-outs; the event thread's
// time from ReadWeight to SOData; and from ReadWeight to the application's DataEvent handler when
// the control object posts the event to the application's thread: through the stand-in, and
// through the standard's control object where the prefix has it.

#include <cstdio>
#include <vector>

#include "bench/bench_scale.h"
#include "bench/bench_support.h"
#include "tests/support/control_object.h"
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

// From the application's ReadWeight through the control object to its DataEvent handler, run on
// the application's thread while it serves its messages.
std::vector<double> HandlerReads(ka::test::ControlKind kind, int& failures) {
    namespace control = opos::control;
    std::vector<double> samples;
    ka::com::ApplicationEvents handler;
    double handled = 0;
    handler.OnEvent([&handled](const ka::com::ApplicationEvents::Event&) { handled = NowMs(); });
    ka::test::ControlUnderTest scale;
    const bool created = kind == ka::test::ControlKind::Standard ? scale.Create() : scale.CreateStandIn();
    if (!created || !scale.Connect(handler) || scale.Open(kBenchDevice) != 0 || scale.Claim(1000) != 0) {
        ++failures;
        return samples;
    }
    scale.PutBool(control::kDeviceEnabled, true);
    scale.PutBool(control::kAsyncMode, true);
    scale.PutBool(control::kDataEventEnabled, true);
    for (int i = 0; i <= kSamples; ++i) {
        const size_t before = handler.Count();
        long weight = 0;
        const double start = NowMs();
        const long result = scale.ReadWeight(&weight, kTimeoutMs);
        const bool arrived = result == 0 && ka::com::AwaitEvents(handler, before + 1, 5000);
        const auto events = handler.Events();
        if (!arrived || events.back().kind != control::kDataEvent || events.back().value != kBenchWeight) {
            ++failures;
        } else if (i > 0) {
            samples.push_back(handled - start);
        }
    }
    scale.Close();
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
    const Summary handled = Summarise(HandlerReads(ka::test::ControlKind::StandIn, failures));
    const bool standardThere = ka::test::StandardControlRegistered();
    const Summary standard =
        standardThere ? Summarise(HandlerReads(ka::test::ControlKind::Standard, failures)) : Summary{};

    PrintLatency("floor: raw overlapped write + read, 100 ms interval", floor);
    PrintLatency("synchronous ReadWeight through IDispatch", sync);
    PrintLatency("asynchronous ReadWeight to SOData (event thread)", async);
    PrintLatency("asynchronous ReadWeight to the handler (stand-in, posted)", handled);
    if (standardThere) {
        PrintLatency("asynchronous ReadWeight to the handler (OPOSScale.ocx)", standard);
    } else {
        std::printf("  OPOSScale.ocx is not registered in this prefix: no figure through the standard's control object\n");
    }
    std::printf("  overhead over the floor: synchronous %+.2f ms at the median (goal < 5 ms), %+.2f ms at p99\n",
                sync.median - floor.median, sync.p99 - floor.p99);
    std::printf("  event thread against synchronous: %+.2f ms at the median\n", async.median - sync.median);
    std::printf("  handler on the application's thread against SOData: %+.2f ms at the median (stand-in)\n",
                handled.median - async.median);
    if (standardThere) {
        std::printf("  handler through OPOSScale.ocx against SOData: %+.2f ms at the median\n",
                    standard.median - async.median);
    }
    if (failures) std::printf("  %d reads failed and are not counted\n", failures);
    std::fflush(stdout);
    return failures == 0 && floor.count > 0 ? 0 : 1;
}
