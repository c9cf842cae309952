#include "tests/device/device_test_support.h"

#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <sstream>

#include "common/unique_handle.h"
#include "tests/support/profile_fixture.h"

namespace ka::test {

namespace {
// Columns of a log line once its tabs have become spaces (display names of up to 15 characters).
constexpr std::size_t kNameColumn = 18;
constexpr std::size_t kCategoryColumn = 34;
constexpr std::size_t kLevelColumn = 50;
constexpr std::size_t kLevelDigit = kLevelColumn + 13;
constexpr std::size_t kMessageColumn = 66;
constexpr std::size_t kColumnWidth = 15;

std::string Trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

bool IsLogLine(const std::string& line) {
    return line.size() >= kMessageColumn && line[2] == '/' && line[5] == '/' && line[11] == ':' &&
           line[kLevelDigit] >= '0' && line[kLevelDigit] <= '9';
}

constexpr ULONG kSystemExtendedHandleInformation = 64;
struct HandleEntry {
    void* object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG access;
    USHORT creatorBackTrace;
    USHORT type;
    ULONG attributes;
    ULONG reserved;
};
struct HandleList {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};
using QuerySystemInformation = NTSTATUS(WINAPI*)(ULONG, void*, ULONG, ULONG*);
using QueryObject = NTSTATUS(WINAPI*)(HANDLE, OBJECT_INFORMATION_CLASS, void*, ULONG, ULONG*);

template <typename Function>
Function NtdllFunction(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

// The handles this process holds, as the system lists them; empty when the list cannot be read.
std::vector<HANDLE> ListedOwnHandles() {
    const auto query = NtdllFunction<QuerySystemInformation>("NtQuerySystemInformation");
    if (!query) return {};
    std::vector<char> buffer(1 << 20);
    for (;;) {
        ULONG needed = 0;
        const NTSTATUS status = query(kSystemExtendedHandleInformation, buffer.data(),
                                      static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) break;
        if (buffer.size() >= (1u << 26)) return {};
        buffer.resize(buffer.size() * 2);
    }
    const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
    std::vector<HANDLE> mine;
    for (ULONG_PTR i = 0; i < list->count; ++i) {
        if (list->entries[i].processId == GetCurrentProcessId()) {
            mine.push_back(reinterpret_cast<HANDLE>(list->entries[i].handle));
        }
    }
    return mine;
}

// The kind of object a handle of this process stands for, as the system names it ("Event").
std::wstring KindOf(HANDLE handle) {
    static const auto query = NtdllFunction<QueryObject>("NtQueryObject");
    // The name's characters follow the record in the same buffer.
    alignas(PUBLIC_OBJECT_TYPE_INFORMATION) char buffer[1024];
    ULONG needed = 0;
    if (!query || query(handle, ObjectTypeInformation, buffer, sizeof buffer, &needed) != 0) return L"";
    const UNICODE_STRING& name = reinterpret_cast<const PUBLIC_OBJECT_TYPE_INFORMATION*>(buffer)->TypeName;
    return std::wstring(name.Buffer, name.Length / sizeof(wchar_t));
}
}  // namespace

std::vector<LogMessage> ReadLogMessages(const std::string& path, const std::string& displayName,
                                        std::size_t skipBytes) {
    const std::string whole = ReadWholeFile(path);
    std::istringstream in(skipBytes < whole.size() ? whole.substr(skipBytes) : std::string());
    std::vector<LogMessage> messages;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!IsLogLine(line)) continue;
        LogMessage message;
        message.displayName = Trimmed(line.substr(kNameColumn, kColumnWidth));
        if (message.displayName != displayName) continue;
        message.category = Trimmed(line.substr(kCategoryColumn, kColumnWidth));
        message.level = line[kLevelDigit] - '0';
        message.text = line.substr(kMessageColumn);
        messages.push_back(message);
    }
    return messages;
}

bool TextMatches(const std::string& actual, const std::string& pattern) {
    static const std::string kNumber = "{n}";
    std::size_t a = 0;
    std::size_t p = 0;
    while (p < pattern.size()) {
        if (pattern.compare(p, kNumber.size(), kNumber) == 0) {
            if (a < actual.size() && actual[a] == '-') ++a;
            const std::size_t digits = a;
            while (a < actual.size() && actual[a] >= '0' && actual[a] <= '9') ++a;
            if (a == digits) return false;
            p += kNumber.size();
        } else {
            if (a >= actual.size() || actual[a] != pattern[p]) return false;
            ++a;
            ++p;
        }
    }
    return a == actual.size();
}

std::string CompareMessages(const std::vector<LogMessage>& actual, const std::vector<Expected>& expected) {
    bool same = actual.size() == expected.size();
    for (std::size_t i = 0; same && i < actual.size(); ++i) {
        same = actual[i].level == expected[i].level && TextMatches(actual[i].text, expected[i].text);
    }
    if (same) return "";
    std::ostringstream text;
    text << "expected lines:\n";
    for (const auto& e : expected) text << "  (" << e.level << ") " << e.text << "\n";
    text << "logged lines:\n";
    for (const auto& a : actual) text << "  (" << a.level << ") " << a.text << "\n";
    return text.str();
}

TempLog::TempLog(const std::string& stem) : path_(TempLogPath(stem)) {}
TempLog::~TempLog() { DeleteFileA(path_.c_str()); }

std::unique_ptr<OpeningThreadDevice> MakeOpeningThreadDevice() { return std::make_unique<OpeningThreadDevice>(); }

unsigned long OpenHandleCount() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) return count;
    return static_cast<unsigned long>(ListedOwnHandles().size());
}

unsigned long OpenHandleCount(std::initializer_list<const wchar_t*> kinds) {
    unsigned long count = 0;
    for (const HANDLE handle : ListedOwnHandles()) {
        const std::wstring kind = KindOf(handle);
        for (const wchar_t* wanted : kinds) {
            if (kind == wanted) ++count;
        }
    }
    return count;
}

bool WaitForInputQueue(HANDLE port, DWORD count, DWORD timeoutMs) {
    // A character that comes between the look at the queue and the start of the wait wakes no
    // wait, so each wait is a short slice and the queue is looked at again after it.
    constexpr DWORD kSliceMs = 100;
    ka::UniqueHandle arrived(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    DWORD mask = 0;
    if (!arrived || !GetCommMask(port, &mask) || !SetCommMask(port, EV_RXCHAR)) return false;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    bool enough = false;
    for (;;) {
        COMSTAT status{};
        DWORD errors = 0;
        if (!ClearCommError(port, &errors, &status)) break;
        enough = status.cbInQue >= count;
        const ULONGLONG now = GetTickCount64();
        if (enough || now >= deadline) break;
        OVERLAPPED wait{};
        wait.hEvent = arrived.get();
        ResetEvent(arrived.get());
        DWORD events = 0;
        if (!WaitCommEvent(port, &events, &wait)) {
            if (GetLastError() != ERROR_IO_PENDING) break;
            if (WaitForSingleObject(arrived.get(), static_cast<DWORD>(std::min<ULONGLONG>(kSliceMs, deadline - now))) !=
                WAIT_OBJECT_0) {
                // Changing the mask ends the pending wait.
                SetCommMask(port, EV_RXCHAR);
            }
            DWORD transferred = 0;
            GetOverlappedResult(port, &wait, &transferred, TRUE);
        }
    }
    SetCommMask(port, mask);
    return enough;
}

}  // namespace ka::test
