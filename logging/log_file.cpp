#include "logging/log_file.h"

#include <new>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "common/com/ansi_text.h"
#include "logging/generation_name.h"

namespace zel {

namespace {

constexpr char kRollsName[] = "ZelLog-LogFile-Rolls";
// Every handle lets the others write and lets the roller rename the file under them.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Appending only: each write lands at the end, wherever another process left it.
constexpr DWORD kAppendAccess = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// The link itself is opened, never what it points to.
constexpr DWORD kOpenFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
constexpr DWORD kRollRetryMs = 1000;
// The longest name a handle can report, in characters.
constexpr std::size_t kLongestName = 32768;

bool QueryStandard(HANDLE file, FILE_STANDARD_INFO& info) noexcept {
    return GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof info) != FALSE;
}

// The last name of the full path `path` stands for, as a handle reports names.
std::wstring RequestedName(const char* path) {
    const std::wstring wide = ka::com::AnsiToWide(path);
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    wchar_t* name = nullptr;
    const DWORD length = GetFullPathNameW(wide.c_str(), size, &full[0], &name);
    if (length == 0 || length >= size || !name) return {};
    return name;
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

void WriteWhole(HANDLE file, const char* bytes, std::size_t length) noexcept {
    DWORD written = 0;
    WriteFile(file, bytes, static_cast<DWORD>(length), &written, nullptr);
}

}  // namespace

LogFile::LogFile() {
    rollsMapping_.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LONG), kRollsName));
    if (rollsMapping_) rollsView_.reset(MapViewOfFile(rollsMapping_.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(LONG)));
    if (!rollsView_) {
        throw std::runtime_error(std::string("cannot share ") + kRollsName + ", error " + std::to_string(GetLastError()));
    }
}

long LogFile::Open(const char* path, std::string header) {
    Close();
    if (!path) return ERROR_INVALID_PARAMETER;
    try {
        fileName_ = RequestedName(path);
        if (fileName_.empty()) return ERROR_INVALID_NAME;
        path_ = path;
        olderPath_ = OlderGenerationPath(path_);
        header_ = std::move(header);
    } catch (const std::bad_alloc&) {
        Close();
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    const long result = Reopen();
    if (result != 0) Close();
    return result;
}

void LogFile::Close() noexcept {
    file_.reset();
    path_.clear();
    olderPath_.clear();
    fileName_.clear();
    header_.clear();
}

void LogFile::Append(const char* bytes, std::size_t length) noexcept {
    if (path_.empty()) return;
    FILE_STANDARD_INFO info;
    if (!NamesCurrentFile(info) && (Reopen() != 0 || !QueryStandard(file_.get(), info))) return;
    // A roll that cannot happen now leaves the line in the current file.
    if (PassesLimit(static_cast<std::uint64_t>(info.EndOfFile.QuadPart), length)) RollOver();
    if (file_) WriteWhole(file_.get(), bytes, length);
}

bool LogFile::PassesLimit(std::uint64_t size, std::size_t length) const noexcept {
    const std::uint64_t limit = sizeLimit_.load();
    // A file that holds no more than its header never rolls: a line longer than the limit would
    // roll it over and over.
    return limit != 0 && size > header_.size() && size + length > limit;
}

long LogFile::Reopen() noexcept {
    file_.reset();
    rollsSeen_ = SharedRolls();
    ka::UniqueFile file;
    FILE_STANDARD_INFO info;
    const long result = OpenUnredirected(path_.c_str(), fileName_, file, info);
    if (result != 0) return result;
    if (info.EndOfFile.QuadPart == 0) WriteWhole(file.get(), header_.data(), header_.size());
    file_ = std::move(file);
    return 0;
}

bool LogFile::NamesCurrentFile(FILE_STANDARD_INFO& info) noexcept {
    if (!file_ || rollsSeen_ != SharedRolls() || !QueryStandard(file_.get(), info)) return false;
    // Every handle lets others delete the file; a deleted one is replaced by a new file.
    return !info.DeletePending && info.NumberOfLinks != 0;
}

bool LogFile::RollOver() noexcept {
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
    InterlockedIncrement(static_cast<LONG volatile*>(rollsView_.get()));
    return Reopen() == 0;
}

LONG LogFile::SharedRolls() const noexcept { return *static_cast<LONG volatile*>(rollsView_.get()); }

}  // namespace zel
