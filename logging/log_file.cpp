#include "logging/log_file.h"

#include <cwctype>
#include <new>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "common/com/ansi_text.h"
#include "logging/generation_name.h"

namespace zel {

namespace {

constexpr char kStateName[] = "ZelLog-LogFile-State";
// Every handle lets the others write and lets the roller rename the file under them.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Appending only: each write lands at the end, wherever another process left it.
constexpr DWORD kAppendAccess = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// The link itself is opened, never what it points to.
constexpr DWORD kOpenFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
constexpr DWORD kRollRetryMs = 1000;
// How often a process checks the shared size against the file: it may be changed by others than
// the log, or deleted by a technician (every handle lets others delete it).
constexpr unsigned kWritesBetweenChecks = 64;
// The longest name a handle can report, in characters.
constexpr std::size_t kLongestName = 32768;
// The 64-bit FNV-1a hash's start and multiplier.
constexpr ULONGLONG kFnvOffsetBasis = 14695981039346656037ULL;
constexpr ULONGLONG kFnvPrime = 1099511628211ULL;

bool QueryStandard(HANDLE file, FILE_STANDARD_INFO& info) noexcept {
    return GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof info) != FALSE;
}

// The absolute path `path` stands for, in the process's code page; empty when there is none.
std::string AbsolutePath(const char* path) {
    const DWORD size = GetFullPathNameA(path, 0, nullptr, nullptr);
    if (size == 0) return {};
    std::string full(size, '\0');
    const DWORD length = GetFullPathNameA(path, size, &full[0], nullptr);
    if (length == 0 || length >= size) return {};
    full.resize(length);
    return full;
}

// The full path `path` stands for, and where its last name begins; empty when there is none.
std::wstring FullPath(const char* path, std::size_t& nameStart) {
    const std::wstring wide = ka::com::AnsiToWide(path);
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    wchar_t* name = nullptr;
    const DWORD length = GetFullPathNameW(wide.c_str(), size, &full[0], &name);
    if (length == 0 || length >= size || !name) return {};
    nameStart = static_cast<std::size_t>(name - full.data());
    full.resize(length);
    return full;
}

// Which file a shared size belongs to: FNV-1a over the full path, letters folded, never 0.
ULONGLONG FileKey(const std::wstring& fullPath) noexcept {
    ULONGLONG key = kFnvOffsetBasis;
    for (wchar_t c : fullPath) {
        key ^= static_cast<ULONGLONG>(towupper(c));
        key *= kFnvPrime;
    }
    return key != 0 ? key : 1;
}

// True when the open file's own last name is `name`. A symbolic link that the system does not
// show as one (Wine's) resolves to its target, whose name is another.
bool HasName(HANDLE file, const std::wstring& name) noexcept {
    try {
        std::vector<BYTE> buffer(sizeof(FILE_NAME_INFO) + kLongestName * sizeof(WCHAR));
        auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
        if (!GetFileInformationByHandleEx(file, FileNameInfo, info, static_cast<DWORD>(buffer.size()))) return false;
        std::wstring_view held(info->FileName, info->FileNameLength / sizeof(WCHAR));
        held.remove_prefix(held.find_last_of(L"\\/") + 1);
        return CompareStringOrdinal(held.data(), static_cast<int>(held.size()), name.data(),
                                    static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

HANDLE CreateForAppending(const char* path, DWORD disposition) noexcept {
    return CreateFileA(path, kAppendAccess, kShareAll, nullptr, disposition, kOpenFlags, nullptr);
}

// Opens what stands at `path`, creating a file only where nothing stands, so that a dangling link
// is never followed to create its target.
long OpenOrCreate(const char* path, ka::UniqueFile& file) noexcept {
    file.reset(CreateForAppending(path, OPEN_EXISTING));
    if (file) return 0;
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return static_cast<long>(GetLastError());
    file.reset(CreateForAppending(path, CREATE_NEW));
    if (file) return 0;
    if (GetLastError() != ERROR_FILE_EXISTS) return static_cast<long>(GetLastError());
    // Something that does not open stands at the name: a dangling link, unless a file was made
    // there meanwhile.
    file.reset(CreateForAppending(path, OPEN_EXISTING));
    if (file) return 0;
    return GetLastError() == ERROR_FILE_NOT_FOUND ? kRedirectedFile : static_cast<long>(GetLastError());
}

// Opens the file at `path` for appending, creating it, when the name leads straight to one
// ordinary file called `name`: no link of any kind, no folder, no device.
long OpenUnredirected(const char* path, const std::wstring& name, ka::UniqueFile& file,
                      FILE_STANDARD_INFO& info) noexcept {
    const long opened = OpenOrCreate(path, file);
    if (opened != 0) return opened;
    FILE_ATTRIBUTE_TAG_INFO tag;
    if (GetFileType(file.get()) != FILE_TYPE_DISK) {
        file.reset();
        return kRedirectedFile;
    }
    if (!GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag) ||
        !QueryStandard(file.get(), info)) {
        const long error = static_cast<long>(GetLastError());
        file.reset();
        return error;
    }
    const bool linked = (tag.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
                        info.Directory || info.NumberOfLinks != 1;
    if (linked || !HasName(file.get(), name)) {
        file.reset();
        return kRedirectedFile;
    }
    return 0;
}

}  // namespace

LogFile::LogFile() {
    stateMapping_.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SharedState), kStateName));
    if (stateMapping_) {
        stateView_.reset(MapViewOfFile(stateMapping_.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(SharedState)));
    }
    if (!stateView_) {
        throw std::runtime_error(std::string("cannot share ") + kStateName + ", error " + std::to_string(GetLastError()));
    }
}

long LogFile::Open(const char* path, std::string header) {
    Close();
    if (!path) return ERROR_INVALID_PARAMETER;
    try {
        path_ = AbsolutePath(path);
        std::size_t nameStart = 0;
        const std::wstring fullPath = path_.empty() ? std::wstring() : FullPath(path_.c_str(), nameStart);
        if (fullPath.empty()) {
            Close();
            return ERROR_INVALID_NAME;
        }
        fileName_ = fullPath.substr(nameStart);
        fileKey_ = FileKey(fullPath);
        olderPath_ = OlderGenerationPath(path_);
        header_ = std::move(header);
    } catch (const std::bad_alloc&) {
        Close();
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    std::uint64_t size = 0;
    const long result = Reopen(size);
    if (result != 0) Close();
    return result;
}

void LogFile::Close() noexcept {
    file_.reset();
    path_.clear();
    olderPath_.clear();
    fileName_.clear();
    fileKey_ = 0;
    header_.clear();
}

void LogFile::Append(const char* bytes, std::size_t length) noexcept {
    if (path_.empty()) return;
    std::uint64_t size = 0;
    if (!FollowsCurrentFile(size) && Reopen(size) != 0) return;
    // A roll-over that cannot happen now leaves the line in the current file.
    if (PassesLimit(size, length)) RollOver(size);
    if (!file_) return;
    DWORD written = 0;
    WriteFile(file_.get(), bytes, static_cast<DWORD>(length), &written, nullptr);
    Record(size + written);
}

bool LogFile::FollowsCurrentFile(std::uint64_t& size) noexcept {
    volatile SharedState& shared = Shared();
    if (!file_ || rollsSeen_ != shared.rolls) return false;
    if (shared.fileKey == fileKey_ && ++writesUnchecked_ < kWritesBetweenChecks) {
        size = shared.size;
        return true;
    }
    writesUnchecked_ = 0;
    FILE_STANDARD_INFO info;
    // A deleted file is replaced by a new one, in every process: the others may still take the
    // shared size for the gone file's.
    if (!QueryStandard(file_.get(), info) || info.DeletePending || info.NumberOfLinks == 0) {
        InterlockedIncrement(&Shared().rolls);
        return false;
    }
    size = static_cast<std::uint64_t>(info.EndOfFile.QuadPart);
    return true;
}

bool LogFile::PassesLimit(std::uint64_t size, std::size_t length) const noexcept {
    const std::uint64_t limit = sizeLimit_.load();
    // A file that holds no more than its header never rolls: a line longer than the limit would
    // roll it over and over.
    return limit != 0 && size > header_.size() && size + length > limit;
}

long LogFile::Reopen(std::uint64_t& size) noexcept {
    file_.reset();
    rollsSeen_ = Shared().rolls;
    writesUnchecked_ = 0;
    ka::UniqueFile file;
    FILE_STANDARD_INFO info;
    const long result = OpenUnredirected(path_.c_str(), fileName_, file, info);
    if (result != 0) return result;
    size = static_cast<std::uint64_t>(info.EndOfFile.QuadPart);
    if (size == 0) {
        DWORD written = 0;
        WriteFile(file.get(), header_.data(), static_cast<DWORD>(header_.size()), &written, nullptr);
        size = written;
    }
    file_ = std::move(file);
    Record(size);
    return 0;
}

bool LogFile::RollOver(std::uint64_t& size) noexcept {
    const ULONGLONG now = GetTickCount64();
    if (now < nextRollTick_) return false;
    // Renaming onto the older generation replaces whatever name stands there, a planted link
    // included, and never writes through it. A missing current file (deleted or renamed by a
    // technician) simply starts anew.
    if (!MoveFileExA(path_.c_str(), olderPath_.c_str(), MOVEFILE_REPLACE_EXISTING) &&
        GetLastError() != ERROR_FILE_NOT_FOUND) {
        nextRollTick_ = now + kRollRetryMs;
        return false;
    }
    InterlockedIncrement(&Shared().rolls);
    return Reopen(size) == 0;
}

void LogFile::Record(std::uint64_t size) noexcept {
    volatile SharedState& shared = Shared();
    shared.fileKey = fileKey_;
    shared.size = size;
}

}  // namespace zel
