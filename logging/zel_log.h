#pragma once
// The diagnostic log: leveled, categorised lines to a shared file and an optional line sink.

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <string>

#include "common/unique_handle.h"
#include "logging/log_file.h"
#include "logging/name_table.h"

namespace zel {

// Given as a category or level, stands for the table's default index.
constexpr int kDefaultIndex = 2147483647;

// Lines go to the shared file and then to the line sink, each filtered by its own verbosity: a
// line is written when its level is at most the destination's verbosity.
class ZelLog {
public:
    using LineHandler = void (*)(void* context, const char* line);

    // Throws std::runtime_error when a named mutex or the file's shared roll count cannot be created.
    ZelLog();
    virtual ~ZelLog();
    ZelLog(const ZelLog&) = delete;
    ZelLog& operator=(const ZelLog&) = delete;

    int SetDisplayName(const char* name);
    int SetCategoryNames(const char* definition, int defaultIndex);
    int SetLevelNames(const char* definition, int defaultIndex);

    // 0 when the file is open, else a Windows error code (zel::kRedirectedFile when the path leads
    // to a link, a folder or a device); the file sink then stays off. A file opened before is
    // closed first.
    long OpenLogFile(const char* path, int verbosity);
    void CloseFile() noexcept;
    // Bytes the log file may hold before it rolls over to its older generation; 0, the start,
    // lets it grow without bound.
    void SetFileSizeLimit(std::uint64_t bytes) noexcept { file_.SetSizeLimit(bytes); }
    std::uint64_t FileSizeLimit() const noexcept { return file_.SizeLimit(); }

    // A non-zero replayHeader passes the column titles and the rule to the sink at level 0.
    void SetLineSink(LineHandler handler, void* context, int verbosity, int replayHeader) noexcept;
    void ClearLineSink() noexcept;

    // Category or level kDefaultIndex stands for its table's default. Lines longer than 511
    // characters are cut. The thread's last-error code survives the call.
    void Write(int category, int level, const char* format, ...) noexcept;
    void WriteV(int category, int level, const char* format, va_list args) noexcept;

    const std::string& ColumnTitleLine() const noexcept { return columnTitles_; }
    const std::string& RuleLine() const noexcept { return ruleLine_; }
    const std::string& DisplayName() const noexcept { return displayName_; }
    int FileVerbosity() const noexcept { return fileVerbosity_.load(); }

private:
    struct LineSink {
        LineHandler handler;
        void* context;
        int verbosity;
    };

    void WriteToFile(int level, const char* line) noexcept;
    void WriteToSink(int level, const char* line) noexcept;
    std::string HeaderBlock() const;
    LineSink CurrentSink() const noexcept;

    std::string displayName_;
    std::string columnTitles_;
    std::string ruleLine_;
    NameTable levels_;
    NameTable categories_;
    ka::UniqueHandle logFileMutex_;
    std::string filePath_;
    // Used only while the LogFile mutex is held.
    LogFile file_;
    // Changed only while the LogFile mutex is held, so a writer finds no file without taking it.
    std::atomic<bool> fileOpen_{false};
    // Guards the sink fields: a writer takes a snapshot, then calls the handler without it.
    mutable ka::CriticalSection sinkLock_;
    LineHandler sinkHandler_ = nullptr;
    void* sinkContext_ = nullptr;
    ka::UniqueHandle consoleMutex_;
    // Guards the display name and both tables while a writer copies from them.
    mutable ka::CriticalSection namesLock_;
    std::atomic<int> fileVerbosity_{0};
    int sinkVerbosity_ = 0;
};

}  // namespace zel
