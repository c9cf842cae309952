#include "logging/zel_log.h"

#include <mutex>
#include <stdexcept>

#include "logging/line_format.h"

namespace zel {

namespace {

constexpr char kLogFileMutexName[] = "ZelLog-LogFile-MUTEX";
constexpr char kConsoleMutexName[] = "ZelLog-Console-MUTEX";
constexpr int kHeaderLevel = 0;
constexpr char kLineBreak[] = "\n";

ka::UniqueHandle CreateNamedMutex(const char* name) {
    ka::UniqueHandle mutex(CreateMutexA(nullptr, FALSE, name));
    if (!mutex) {
        throw std::runtime_error(std::string("cannot create mutex ") + name + ", error " +
                                 std::to_string(GetLastError()));
    }
    return mutex;
}

// True when the calling thread now owns the mutex. A mutex left by a process that died while
// holding it is ours all the same.
bool Acquire(HANDLE mutex) noexcept {
    const DWORD result = WaitForSingleObject(mutex, INFINITE);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

Timestamp LocalNow() noexcept {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wMonth, now.wDay, now.wYear % 100, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace

ZelLog::ZelLog()
    : columnTitles_(zel::ColumnTitleLine()),
      ruleLine_(zel::RuleLine()),
      logFileMutex_(CreateNamedMutex(kLogFileMutexName)),
      consoleMutex_(CreateNamedMutex(kConsoleMutexName)) {}

ZelLog::~ZelLog() {
    CloseFile();
    ClearLineSink();
}

int ZelLog::SetDisplayName(const char* name) {
    std::string replacement = name ? name : "";
    const bool owned = Acquire(consoleMutex_.get());
    ka::MutexHold hold(owned ? consoleMutex_.get() : nullptr);
    std::lock_guard<ka::CriticalSection> guard(namesLock_);
    displayName_.swap(replacement);
    return 1;
}

int ZelLog::SetCategoryNames(const char* definition, int defaultIndex) {
    std::lock_guard<ka::CriticalSection> guard(namesLock_);
    categories_.Define(definition, defaultIndex);
    return 1;
}

int ZelLog::SetLevelNames(const char* definition, int defaultIndex) {
    std::lock_guard<ka::CriticalSection> guard(namesLock_);
    levels_.Define(definition, defaultIndex);
    return 1;
}

long ZelLog::OpenLogFile(const char* path, int verbosity) {
    CloseFile();
    filePath_ = path ? path : "";
    fileVerbosity_.store(verbosity);
    if (!path) return ERROR_INVALID_PARAMETER;
    std::string header = verbosity >= kHeaderLevel ? HeaderBlock() : std::string();
    if (!Acquire(logFileMutex_.get())) return static_cast<long>(GetLastError());
    ka::MutexHold hold(logFileMutex_.get());
    const long result = file_.Open(path, std::move(header));
    fileOpen_.store(result == 0);
    return result;
}

void ZelLog::CloseFile() noexcept {
    if (!fileOpen_.load()) return;
    const bool owned = Acquire(logFileMutex_.get());
    ka::MutexHold hold(owned ? logFileMutex_.get() : nullptr);
    fileOpen_.store(false);
    file_.Close();
}

void ZelLog::SetLineSink(LineHandler handler, void* context, int verbosity, int replayHeader) noexcept {
    {
        std::lock_guard<ka::CriticalSection> guard(sinkLock_);
        sinkHandler_ = handler;
        sinkContext_ = context;
        sinkVerbosity_ = verbosity;
    }
    if (replayHeader != 0) {
        WriteToSink(kHeaderLevel, columnTitles_.c_str());
        WriteToSink(kHeaderLevel, ruleLine_.c_str());
    }
}

void ZelLog::ClearLineSink() noexcept {
    std::lock_guard<ka::CriticalSection> guard(sinkLock_);
    sinkHandler_ = nullptr;
    sinkContext_ = nullptr;
}

void ZelLog::Write(int category, int level, const char* format, ...) noexcept {
    va_list args;
    va_start(args, format);
    WriteV(category, level, format, args);
    va_end(args);
}

void ZelLog::WriteV(int category, int level, const char* format, va_list args) noexcept {
    ka::PreserveLastError keep;
    LineBuffer line;
    const Timestamp now = LocalNow();
    {
        std::lock_guard<ka::CriticalSection> guard(namesLock_);
        if (category == kDefaultIndex) category = categories_.DefaultIndex();
        if (level == kDefaultIndex) level = levels_.DefaultIndex();
        AppendPrefix(line, now, displayName_.c_str(), categories_.Lookup(category), levels_.Lookup(level));
    }
    VaListArguments arguments(args);
    AppendMessage(line, format, arguments);
    // Filtered by the caller's level: one outside the table still carries its own weight.
    WriteToFile(level, line.Text());
    WriteToSink(level, line.Text());
}

void ZelLog::WriteToFile(int level, const char* line) noexcept {
    if (!fileOpen_.load() || level > fileVerbosity_.load()) return;
    char bytes[kFileLineBufferSize];
    const std::size_t length = ComposeFileLine(line, bytes);
    if (!Acquire(logFileMutex_.get())) return;
    ka::MutexHold hold(logFileMutex_.get());
    file_.Append(bytes, length);
}

void ZelLog::WriteToSink(int level, const char* line) noexcept {
    const LineSink sink = CurrentSink();
    if (!sink.handler || level > sink.verbosity) return;
    sink.handler(sink.context, line);
}

// What the file begins with: a line break, the column titles, a line break, the rule and a line
// break, each written as a line of its own, so two empty lines stand before, between and after.
std::string ZelLog::HeaderBlock() const {
    std::string block;
    for (const char* text : {kLineBreak, columnTitles_.c_str(), kLineBreak, ruleLine_.c_str(), kLineBreak}) {
        char bytes[kFileLineBufferSize];
        block.append(bytes, ComposeFileLine(text, bytes));
    }
    return block;
}

ZelLog::LineSink ZelLog::CurrentSink() const noexcept {
    std::lock_guard<ka::CriticalSection> guard(sinkLock_);
    return {sinkHandler_, sinkContext_, sinkVerbosity_};
}

}  // namespace zel
