#pragma once
// The shared log file on disk. Every process that writes it holds the LogFile mutex around each
// call, so one of them can roll the file over while the others keep up: the current file becomes
// the older generation (one is kept) and a new current file begins with the header block; each
// writer notices the roll, by a count all processes share, before its next line and reopens.
// Beside the count, the processes share the size of the file written last, so that a line costs
// no question to the file system; every so often each process asks the file itself.
// The file may lie where other users can write, so it is opened only when the name asked for
// leads straight to one ordinary file: a planted symbolic link, junction or hard link is refused.

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/unique_handle.h"

namespace zel {

// What a refused file answers: the name leads to a link, a folder, a device or another name.
constexpr long kRedirectedFile = ERROR_CANT_ACCESS_FILE;

class LogFile {
public:
    // Throws std::runtime_error when the shared state cannot be created.
    LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Opens the file at `path`, creating it; a new or empty file begins with `header`. 0, or a
    // Windows error code (kRedirectedFile for a refused file), after which nothing is written.
    long Open(const char* path, std::string header);
    void Close() noexcept;

    // Bytes the current file may hold before it rolls over; 0 lets it grow without bound.
    void SetSizeLimit(std::uint64_t bytes) noexcept { sizeLimit_.store(bytes); }
    std::uint64_t SizeLimit() const noexcept { return sizeLimit_.load(); }

    // Writes the bytes whole at the end of the current file, rolling it over first when they
    // would pass the limit. Write errors are not the caller's concern: the bytes are lost.
    void Append(const char* bytes, std::size_t length) noexcept;

private:
    // What every process writing a log file shares, laid out alike for 32- and 64-bit processes.
    struct SharedState {
        LONG rolls;          // bumped by every roll-over of any log file
        LONG reserved;
        ULONGLONG fileKey;   // the file written last: a hash of its full path
        ULONGLONG size;      // its size after that write
    };
    static_assert(sizeof(SharedState) == 24 && offsetof(SharedState, fileKey) == 8, "one layout for both bitnesses");

    bool FollowsCurrentFile(std::uint64_t& size) noexcept;
    long Reopen(std::uint64_t& size) noexcept;
    bool RollOver(std::uint64_t& size) noexcept;
    bool PassesLimit(std::uint64_t size, std::size_t length) const noexcept;
    void Record(std::uint64_t size) noexcept;
    volatile SharedState& Shared() const noexcept { return *static_cast<volatile SharedState*>(stateView_.get()); }

    ka::UniqueHandle stateMapping_;
    ka::UniqueMappedView stateView_;
    // Absolute, as resolved once at opening: the application may change its current folder.
    std::string path_;
    std::string olderPath_;
    std::wstring fileName_;
    ULONGLONG fileKey_ = 0;
    std::string header_;
    ka::UniqueFile file_;
    // The shared roll count when file_ was opened: another count means another current file.
    LONG rollsSeen_ = 0;
    // Writes since this process last asked the file itself for its size.
    unsigned writesUnchecked_ = 0;
    std::atomic<std::uint64_t> sizeLimit_{0};
    // After a roll-over failed (another program holds the older generation), the next try waits.
    ULONGLONG nextRollTick_ = 0;
};

}  // namespace zel
