// Log lines per second at verbosity 4, in one process and in three writing one file, beside a
// plain loop that writes and flushes the same bytes under the same named mutex, and beside bare
// WriteFile calls under that mutex; the log both without a size limit and with a small one, so
// that it rolls over to its older generation many times while it is measured.
//   bench_log_rate                                      runs everything and prints the figures
//   bench_log_rate writer <kind> <file> <lines> <ready semaphore> <go event>   one writer process

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "common/unique_handle.h"
#include "logging/generation_name.h"
#include "logging/line_format.h"
#include "logging/opos_log.h"

namespace {

using namespace ka::bench;

constexpr int kLinesOneProcess = 20000;
constexpr int kLinesEachOfThree = 10000;
constexpr int kProcesses = 3;
// Each figure is the median of this many runs, the kinds taking turns, so that other work on the
// machine weighs on every kind alike.
constexpr int kRounds = 3;
constexpr char kMutexName[] = "ZelLog-LogFile-MUTEX";
constexpr char kDisplayName[] = "ReliabBench";
// A typical data-flow line of a weighing.
constexpr char kFormat[] = "LE=%d; MSG=%s; Weight=%d, Hardware Status: %d";
constexpr char kReply[] = " 12.345 lb  S00 ";
// Small enough that every run rolls the file over many times.
constexpr std::uint64_t kRollingLimit = 256 * 1024;

enum class Kind { Log, Rolling, Stream, Raw };
constexpr Kind kKinds[] = {Kind::Log, Kind::Rolling, Kind::Stream, Kind::Raw};
constexpr const char* kKindNames[] = {"log", "rolling", "stream", "raw"};

const char* KindName(Kind kind) { return kKindNames[static_cast<int>(kind)]; }

bool KindFrom(const char* text, Kind& kind) {
    for (Kind k : kKinds) {
        if (std::strcmp(text, KindName(k)) == 0) {
            kind = k;
            return true;
        }
    }
    return false;
}

// The line the log would write, composed once, with its carriage return and line feed: the plain
// loops write these bytes.
std::string ComposedLine() {
    zel::LineBuffer line;
    SYSTEMTIME now;
    GetLocalTime(&now);
    zel::AppendPrefix(line, {now.wMonth, now.wDay, now.wYear % 100, now.wHour, now.wMinute, now.wSecond}, kDisplayName,
                      "Main Thread   ", "Data Flow   (4)");
    // The arguments the log is given below: 0, the reply, 12345, 0.
    struct Args final : zel::ArgumentSource {
        int ints = 0;
        int NextInt() noexcept override { return ints++ == 1 ? 12345 : 0; }
        const char* NextText() noexcept override { return kReply; }
    } args;
    zel::AppendMessage(line, kFormat, args);
    char file[zel::kFileLineBufferSize];
    const size_t length = zel::ComposeFileLine(line.Text(), file);
    return std::string(file, length);
}

// Writes `lines` lines of one kind; false when the file or the mutex could not be had.
bool WriteLines(Kind kind, const std::string& path, int lines) {
    if (kind == Kind::Log || kind == Kind::Rolling) {
        zel::OposLog log;
        log.SetDisplayName(kDisplayName);
        log.SetFileSizeLimit(kind == Kind::Rolling ? kRollingLimit : 0);
        if (log.OpenLogFile(path.c_str(), zel::kDataFlow) != 0) return false;
        for (int i = 0; i < lines; ++i) log.Write(zel::kMainThread, zel::kDataFlow, kFormat, 0, kReply, 12345, 0);
        return true;
    }
    ka::UniqueHandle mutex(CreateMutexA(nullptr, FALSE, kMutexName));
    if (!mutex) return false;
    const std::string text = ComposedLine();
    if (kind == Kind::Stream) {
        // Text mode makes the carriage return of each line feed itself.
        const std::string unixLine = text.substr(0, text.size() - 2) + "\n";
        FILE* stream = std::fopen(path.c_str(), "at");
        if (!stream) return false;
        std::setvbuf(stream, nullptr, _IONBF, 0);
        for (int i = 0; i < lines; ++i) {
            WaitForSingleObject(mutex.get(), INFINITE);
            std::fwrite(unixLine.data(), 1, unixLine.size(), stream);
            std::fflush(stream);
            ReleaseMutex(mutex.get());
        }
        std::fclose(stream);
        return true;
    }
    ka::UniqueFile file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    for (int i = 0; i < lines; ++i) {
        WaitForSingleObject(mutex.get(), INFINITE);
        DWORD written = 0;
        WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        ReleaseMutex(mutex.get());
    }
    return true;
}

std::string TempPath(const char* stem) {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    const std::string path = std::string(dir) + "bench-" + stem + "-" + std::to_string(GetCurrentProcessId()) + ".log";
    DeleteFileA(path.c_str());
    return path;
}

// Lines that end in a line break; a whole, uninterleaved line is exactly as long as the composed one.
void CountLines(const std::string& path, size_t lineLength, long& lines, long& odd) {
    lines = odd = 0;
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return;
    std::string line;
    for (int c; (c = std::fgetc(in)) != EOF;) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() == lineLength) {
            ++lines;
        } else if (!line.empty() && line.find("Date ") != 0 && line.find("-----") != 0) {
            ++odd;
        }
        line.clear();
    }
    std::fclose(in);
}

// The lines of the file and, when the log rolled over, of its older generation; both files go.
void CountAndRemove(const std::string& path, long& lines, long& odd) {
    const size_t lineLength = ComposedLine().size() - 2;
    CountLines(path, lineLength, lines, odd);
    const std::string older = zel::OlderGenerationPath(path);
    long olderLines = 0, olderOdd = 0;
    CountLines(older, lineLength, olderLines, olderOdd);
    lines += olderLines;
    odd += olderOdd;
    DeleteFileA(path.c_str());
    DeleteFileA(older.c_str());
}

struct Rate {
    double linesPerSecond = 0;
    long lines = 0;
    long odd = 0;
};

Rate InOneProcess(Kind kind) {
    const std::string path = TempPath(KindName(kind));
    const double start = NowMs();
    const bool written = WriteLines(kind, path, kLinesOneProcess);
    const double elapsed = NowMs() - start;
    Rate rate;
    CountAndRemove(path, rate.lines, rate.odd);
    if (written) rate.linesPerSecond = kLinesOneProcess / (elapsed / 1000.0);
    return rate;
}

Rate InThreeProcesses(Kind kind) {
    const std::string path = TempPath((std::string(KindName(kind)) + "-three").c_str());
    const std::string tag = std::to_string(GetCurrentProcessId()) + KindName(kind);
    const std::string readyName = "ReliabBenchReady-" + tag, goName = "ReliabBenchGo-" + tag;
    ka::UniqueHandle ready(CreateSemaphoreA(nullptr, 0, kProcesses, readyName.c_str()));
    ka::UniqueHandle go(CreateEventA(nullptr, TRUE, FALSE, goName.c_str()));
    std::vector<ka::UniqueHandle> processes;
    for (int i = 0; i < kProcesses; ++i) {
        std::string command = std::string("bench_log_rate.exe writer ") + KindName(kind) + " " + path + " " +
                              std::to_string(kLinesEachOfThree) + " " + readyName + " " + goName;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) break;
        CloseHandle(info.hThread);
        processes.emplace_back(info.hProcess);
    }
    Rate rate;
    bool allReady = processes.size() == kProcesses;
    for (size_t i = 0; allReady && i < processes.size(); ++i) allReady = WaitForSingleObject(ready.get(), 30000) == WAIT_OBJECT_0;
    const double start = NowMs();
    SetEvent(go.get());
    bool allDone = true;
    for (auto& process : processes) {
        allDone &= WaitForSingleObject(process.get(), 300000) == WAIT_OBJECT_0;
        DWORD code = 1;
        GetExitCodeProcess(process.get(), &code);
        allDone &= code == 0;
    }
    const double elapsed = NowMs() - start;
    CountAndRemove(path, rate.lines, rate.odd);
    if (allReady && allDone) rate.linesPerSecond = kProcesses * kLinesEachOfThree / (elapsed / 1000.0);
    return rate;
}

void PrintRate(const char* what, const Rate& rate, long expected, const Rate& against) {
    std::printf("  %-52s %9.0f lines/s", what, rate.linesPerSecond);
    if (against.linesPerSecond > 0) std::printf("  (%3.0f %% of the plain stream loop)", 100.0 * rate.linesPerSecond / against.linesPerSecond);
    if (rate.lines < expected) {
        // Rolled over: the older lines went with the generations before the last two.
        std::printf("   %ld lines whole in the current and older file%s\n", rate.lines, rate.odd ? ", SOME BROKEN" : "");
    } else {
        std::printf("   %ld of %ld lines whole%s\n", rate.lines, expected, rate.odd ? ", SOME BROKEN" : "");
    }
}

int Writer(char** argv) {
    Kind kind;
    if (!KindFrom(argv[2], kind)) return 2;
    ka::UniqueHandle ready(OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, argv[5]));
    ka::UniqueHandle go(OpenEventA(SYNCHRONIZE, FALSE, argv[6]));
    if (!ready || !go) return 3;
    ReleaseSemaphore(ready.get(), 1, nullptr);
    if (WaitForSingleObject(go.get(), 60000) != WAIT_OBJECT_0) return 4;
    return WriteLines(kind, argv[3], std::atoi(argv[4])) ? 0 : 5;
}

// The run with the median rate; its lines whole only when every run's were.
Rate Median(std::vector<Rate> runs) {
    std::sort(runs.begin(), runs.end(), [](const Rate& a, const Rate& b) { return a.linesPerSecond < b.linesPerSecond; });
    Rate median = runs[runs.size() / 2];
    for (const Rate& run : runs) {
        median.odd += run.odd;
        if (run.linesPerSecond == 0) median.linesPerSecond = 0;
    }
    return median;
}

// Every kind measured kRounds times, taking turns; the median of each, by kind.
std::vector<Rate> MedianRates(Rate (*measure)(Kind)) {
    std::vector<std::vector<Rate>> runs(std::size(kKinds));
    for (int round = 0; round < kRounds; ++round) {
        for (Kind kind : kKinds) runs[static_cast<int>(kind)].push_back(measure(kind));
    }
    std::vector<Rate> medians;
    for (const auto& kindRuns : runs) medians.push_back(Median(kindRuns));
    return medians;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 7 && std::strcmp(argv[1], "writer") == 0) return Writer(argv);

    PrintHeading("Log lines per second at verbosity 4 (each line written and flushed under the LogFile mutex)");
    InOneProcess(Kind::Stream);  // the first file of the run pays what a process sets up once
    const std::vector<Rate> one = MedianRates(InOneProcess);
    const std::vector<Rate> three = MedianRates(InThreeProcesses);
    const long oneLines = kLinesOneProcess, threeLines = kProcesses * kLinesEachOfThree;
    char rollingTitle[64];
    std::snprintf(rollingTitle, sizeof rollingTitle, "the log rolling over every %llu KiB",
                  static_cast<unsigned long long>(kRollingLimit / 1024));
    const struct {
        Kind kind;
        const char* title;
    } rows[] = {{Kind::Raw, "floor: WriteFile under the mutex"},
                {Kind::Stream, "plain loop: unbuffered stream, write + flush"},
                {Kind::Log, "the log (compose, filter, write, flush)"},
                {Kind::Rolling, rollingTitle}};
    auto of = [](const std::vector<Rate>& rates, Kind kind) { return rates[static_cast<int>(kind)]; };
    std::printf("  one process, %d lines of %zu bytes, median of %d runs:\n", kLinesOneProcess, ComposedLine().size(), kRounds);
    for (const auto& row : rows) PrintRate(row.title, of(one, row.kind), oneLines, of(one, Kind::Stream));
    std::printf("  three processes on one file, %d lines each, median of %d runs:\n", kLinesEachOfThree, kRounds);
    for (const auto& row : rows) PrintRate(row.title, of(three, row.kind), threeLines, of(three, Kind::Stream));
    std::printf("  goal: the log at least half the plain loop's rate, rolling over or not\n");
    std::fflush(stdout);
    bool whole = true;
    for (const auto* rates : {&one, &three}) {
        const long expected = rates == &one ? oneLines : threeLines;
        for (Kind kind : kKinds) {
            const Rate rate = of(*rates, kind);
            whole &= rate.odd == 0 && rate.lines > 0 && (kind == Kind::Rolling || rate.lines == expected);
        }
    }
    return whole ? 0 : 1;
}
