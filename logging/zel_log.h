#pragma once
// The diagnostic log: leveled, categorised lines to a shared file and an optional line sink.

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "common/unique_handle.h"

namespace zel {

// Given as a category or level, stands for the table's default index.
constexpr int kDefaultIndex = 2147483647;

// Entries cut out of a tab-terminated definition text.
class NameTable {
public:
    void Define(const char* definition, int defaultIndex);
    const char* Lookup(int index) const noexcept;
    int DefaultIndex() const noexcept { return defaultIndex_; }
    int TabCount() const noexcept { return tabCount_; }

private:
    int tabCount_ = 0;
    int defaultIndex_ = 0;
    std::string copy_;
    std::vector<const char*> entries_;
};

class ZelLog {
public:
    using LineHandler = void (*)(void* context, const char* line);

    // Throws std::runtime_error when a named mutex cannot be created.
    ZelLog();
    virtual ~ZelLog();
    ZelLog(const ZelLog&) = delete;
    ZelLog& operator=(const ZelLog&) = delete;

    int SetDisplayName(const char* name);
    int SetCategoryNames(const char* definition, int defaultIndex);
    int SetLevelNames(const char* definition, int defaultIndex);

    // Returns the open stream, or null when the file cannot be opened.
    FILE* OpenLogFile(const char* path, int verbosity);
    void CloseFile();

    void SetLineSink(LineHandler handler, void* context, int verbosity, int replayHeader);
    void ClearLineSink();

    void Write(int category, int level, const char* format, ...);
    void WriteV(int category, int level, const char* format, va_list args);

    const std::string& ColumnTitleLine() const noexcept { return columnTitles_; }
    const std::string& RuleLine() const noexcept { return ruleLine_; }
    const std::string& DisplayName() const noexcept { return displayName_; }
    int FileVerbosity() const noexcept { return fileVerbosity_; }

private:
    void WriteToFile(int level, const char* line, bool takeMutex);
    void WriteToSink(int level, const char* line);

    std::string displayName_;
    std::string columnTitles_;
    std::string ruleLine_;
    NameTable levels_;
    NameTable categories_;
    ka::UniqueHandle logFileMutex_;
    std::string filePath_;
    FILE* stream_ = nullptr;
    ka::CriticalSection sinkLock_;
    LineHandler sinkHandler_ = nullptr;
    void* sinkContext_ = nullptr;
    ka::UniqueHandle consoleMutex_;
    int fileVerbosity_ = 0;
    int sinkVerbosity_ = 0;
};

}  // namespace zel
