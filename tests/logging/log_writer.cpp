// Writes numbered lines into a shared log file, so a test can run several writer processes at once.
// Usage: log_writer <log path> <writer number> <line count> <start event name> [<size limit in bytes>]
// Exit code 0 when every line was handed to the log.

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

#include "common/unique_handle.h"
#include "logging/opos_log.h"
#include "tests/logging/writer_protocol.h"

namespace {

enum ExitCode : int { kDone = 0, kUsage = 2, kNoStartEvent = 3, kNoStart = 4, kNoFile = 5, kFailed = 6 };

int RunWriter(const char* path, int writer, int count, const char* startEventName, std::uint64_t sizeLimit) {
    zel::OposLog log;
    log.SetDisplayName(zel::test::WriterName(writer).c_str());
    log.SetFileSizeLimit(sizeLimit);
    ka::UniqueHandle start(OpenEventA(SYNCHRONIZE, FALSE, startEventName));
    if (!start) return kNoStartEvent;
    if (WaitForSingleObject(start.get(), zel::test::kWriterStartLimitMs) != WAIT_OBJECT_0) return kNoStart;
    if (log.OpenLogFile(path, zel::kDataFlow) != 0) return kNoFile;
    for (int line = 0; line < count; ++line) {
        log.Write(zel::kMainThread, zel::kInformation, zel::test::kWriterFormat, writer,
                  zel::test::kFirstLineNumber + line, zel::test::kWriterPadding);
    }
    return kDone;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) return kUsage;
    try {
        const std::uint64_t sizeLimit = argc == 6 ? std::strtoull(argv[5], nullptr, 10) : 0;
        return RunWriter(argv[1], std::atoi(argv[2]), std::atoi(argv[3]), argv[4], sizeLimit);
    } catch (const std::exception&) {
        return kFailed;
    }
}
