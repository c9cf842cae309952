// CPU time the process uses while a read waits on a silent scale or a settling one, as a share
// of the wall-clock time, beside a raw overlapped read that waits the same way and an idle wait.

#include <cstdio>

#include "bench/bench_scale.h"
#include "bench/bench_support.h"

namespace {

using namespace ka::bench;

constexpr int kSilentReads = 8;
constexpr long kSettlingTimeoutMs = 3000;

struct CpuShare {
    double cpuMs = 0;
    double wallMs = 0;
};

template <typename Work>
CpuShare Measure(Work work) {
    const double cpu = ProcessCpuMs();
    const double start = NowMs();
    work();
    return {ProcessCpuMs() - cpu, NowMs() - start};
}

void PrintShare(const char* what, const CpuShare& share) {
    std::printf("  %-58s %7.1f ms CPU over %7.0f ms = %5.2f %%\n", what, share.cpuMs, share.wallMs,
                share.wallMs > 0 ? 100.0 * share.cpuMs / share.wallMs : 0.0);
}

}  // namespace

int main() {
    BenchScale bench;
    if (!bench.Ready("read CPU")) return 1;
    auto& sim = bench.Simulator();
    PrintHeading("CPU while a read waits (whole process, user + kernel; goal under 1 %)");

    // The meter itself: a thread that computes for a while must read close to 100 %.
    volatile unsigned long long spin = 0;
    const CpuShare busy = Measure([&] {
        const double until = NowMs() + 300;
        while (NowMs() < until) spin = spin + 1;
    });

    ka::UniqueHandle never(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    const CpuShare idle = Measure([&] { WaitForSingleObject(never.get(), kSilentReads * 500); });

    CpuShare raw;
    {
        RawPort port(kBenchCable.deviceSide());
        raw = Measure([&] {
            for (int i = 0; i < kSilentReads; ++i) {
                sim.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Silence());
                port.Converse('W', 500);
            }
        });
    }

    if (!bench.OpenService()) {
        std::printf("read CPU: the service object could not be opened, claimed and enabled\n");
        return 1;
    }
    int unexpected = 0;
    const CpuShare silent = Measure([&] {
        for (int i = 0; i < kSilentReads; ++i) {
            sim.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Silence());
            long weight = 0;
            if (bench.Scale().ReadWeight(&weight, 1000) != 106) ++unexpected;
        }
    });
    sim.SetStatus(10);
    const CpuShare settling = Measure([&] {
        long weight = 0;
        if (bench.Scale().ReadWeight(&weight, kSettlingTimeoutMs) != 112) ++unexpected;
    });
    sim.SetStatus(0);
    bench.CloseService();

    PrintShare("meter check: 300 ms of computing", busy);
    PrintShare("idle: one wait on an event, nothing else", idle);
    PrintShare("floor: raw overlapped read on a silent line, 500 ms limit", raw);
    PrintShare("ReadWeight on a silent scale (500 ms limit each)", silent);
    PrintShare("ReadWeight on a scale settling for 3 s (retries)", settling);
    if (unexpected) std::printf("  %d reads answered other than expected\n", unexpected);
    std::fflush(stdout);
    return unexpected == 0 ? 0 : 1;
}
