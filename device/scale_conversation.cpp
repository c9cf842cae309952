#include "device/scale_conversation.h"

#include <cstring>
#include <mutex>

#include "device/pending_lines.h"
#include "device/reply_parser.h"
#include "device/serial_port.h"
#include "logging/line_format.h"

namespace pendrax {

namespace {
constexpr char kRequestEnd = '\r';
constexpr DWORD kRequestLength = 2;
constexpr long kWrongLength = -1;

// One overlapped operation on the port: its record and event live until the operation has ended,
// however the conversation ends. Whatever is still running when the owner goes is given until
// `deadline` to finish, then cancelled, and its end is waited for either way.
class PortOperation {
public:
    explicit PortOperation(HANDLE port) noexcept : port_(port) {}
    ~PortOperation() { Finish(); }
    PortOperation(const PortOperation&) = delete;
    PortOperation& operator=(const PortOperation&) = delete;

    bool MakeEvent() noexcept {
        event_.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        overlapped_.hEvent = event_.get();
        return event_.valid();
    }
    HANDLE Event() const noexcept { return event_.get(); }
    OVERLAPPED* Record() noexcept { return &overlapped_; }

    // The result of the call that started the operation; false when it failed outright.
    bool Started(BOOL callResult) noexcept {
        if (callResult) {
            pending_ = true;  // finished already, but its result is still to be collected
            return true;
        }
        pending_ = GetLastError() == ERROR_IO_PENDING;
        return pending_;
    }

    // A finished operation's outcome, without waiting: false (last-error code set) when it
    // failed; `count` is what it transferred either way.
    bool Finished(DWORD& count) noexcept {
        count = 0;
        const BOOL succeeded = GetOverlappedResult(port_, &overlapped_, &count, FALSE);
        pending_ = false;
        return succeeded != FALSE;
    }

    void SetDeadline(ULONGLONG deadline) noexcept { deadline_ = deadline; }

private:
    void Finish() noexcept {
        if (!pending_) return;
        ka::PreserveLastError keep;
        const ULONGLONG now = GetTickCount64();
        const DWORD grace = deadline_ > now ? static_cast<DWORD>(deadline_ - now) : 0;
        if (WaitForSingleObject(event_.get(), grace) != WAIT_OBJECT_0) CancelIoEx(port_, &overlapped_);
        DWORD count = 0;
        GetOverlappedResult(port_, &overlapped_, &count, TRUE);
        pending_ = false;
    }

    HANDLE port_;
    OVERLAPPED overlapped_ = {};
    ka::UniqueHandle event_;
    bool pending_ = false;
    ULONGLONG deadline_ = 0;
};

// How one exchange on the port ended. A port-level failure (the port reports the device gone, or
// the write or the read fails outright) is told apart from a scale that does not answer, which
// is only a time-out.
struct Exchange {
    enum Outcome { Replied, Failed, PortFailed } outcome;
    DWORD error = 0;  // the system's code of a port-level failure
};

Exchange PortFailure(DWORD error) { return {Exchange::PortFailed, error}; }

Exchange ConverseOnPort(DeviceLink& link, char command, char* reply, DWORD capacity, DWORD limitMs,
                        PendingLines& lines) {
    std::memset(reply, 0, capacity + 1);
    const HANDLE port = link.port.get();
    // Whatever arrived before this request is no answer to it: the late or overlong reply of an
    // earlier request would otherwise be read as this one's, an old weight taken for the current.
    PurgeComm(port, PURGE_RXCLEAR);
    // Line errors (framing, parity, overrun) stay latched until cleared: one that an earlier
    // reply left must not fail this conversation's read. A port that cannot even say so is gone.
    DWORD lineErrors = 0;
    if (!ClearCommError(port, &lineErrors, nullptr)) return PortFailure(GetLastError());

    // Declared first so that they outlive the read: the write may still be under way at its end.
    const char request[kRequestLength] = {command, kRequestEnd};
    PortOperation write(port);
    write.SetDeadline(GetTickCount64() + limitMs);
    if (!write.MakeEvent()) {
        lines.Line(zel::kCritical, "First OverLapped event not set");
        return {Exchange::Failed};
    }
    if (!write.Started(WriteFile(port, request, kRequestLength, nullptr, write.Record()))) {
        const DWORD error = GetLastError();
        lines.Line(zel::kCritical, "WriteFile: %d", static_cast<long>(error));
        return PortFailure(error);
    }

    // A read still pending when this ends is cancelled before the buffer, record and event go.
    PortOperation read(port);
    if (!read.MakeEvent()) {
        lines.Line(zel::kCritical, "Second OverLapped event not set");
        return {Exchange::Failed};
    }
    if (!read.Started(ReadFile(port, reply, capacity, nullptr, read.Record()))) {
        const DWORD error = GetLastError();
        char shown[zel::kLineBufferSize];
        zel::EscapeData(reply, std::strlen(reply), shown);
        lines.Line(zel::kCritical, "Error reading scale, LE=%d; Data=%s", static_cast<long>(error), shown);
        return PortFailure(error);
    }

    const DWORD waitResult = WaitForSingleObject(read.Event(), limitMs);
    if (waitResult != WAIT_OBJECT_0) {
        lines.Line(zel::kCritical, "Wait Object error reading scale: LE=%d, Response=%d",
                   static_cast<long>(GetLastError()), static_cast<long>(waitResult));
        return {Exchange::Failed};
    }
    DWORD count = 0;
    const bool completed = read.Finished(count);
    const DWORD readError = completed ? 0 : GetLastError();
    if (count > capacity) count = capacity;
    reply[count] = '\0';
    // The scale's bytes as they are would let a reply break the line or forge one.
    char shown[zel::kLineBufferSize];
    zel::EscapeData(reply, count, shown);
    if (!completed) {
        // The read ended with an error of the port's, not with the scale's silence.
        lines.Line(zel::kCritical, "Error reading scale, LE=%d; Data=%s", static_cast<long>(readError), shown);
        return PortFailure(readError);
    }
    lines.Line(zel::kDataFlow, "Success: LE=%d; Bytes=%d; Data=%s", static_cast<long>(GetLastError()),
               static_cast<long>(count), shown);
    return {Exchange::Replied};
}

// With the conversation lock held: a port to converse on, opened again first if it was lost.
bool PortReady(DeviceLink& link, PendingLines& lines) {
    if (!link.deviceEnabled) {
        // Disabled since the caller passed its gate (from inside a handler of the application):
        // the request cannot be written, as on any closed handle, and a disabled port stays closed.
        SetLastError(ERROR_INVALID_HANDLE);
        lines.Line(zel::kCritical, "WriteFile: %d", static_cast<long>(ERROR_INVALID_HANDLE));
        return false;
    }
    return !link.portLost || ReopenLostPort(link, lines);
}

DWORD MsUntil(ULONGLONG deadline) {
    const ULONGLONG now = GetTickCount64();
    return deadline > now ? static_cast<DWORD>(deadline - now) : 0;
}

// A port that failed is opened again once, and the conversation tried again within its limit;
// a port that is still missing fails the conversation at once.
long ConverseWithPortBack(DeviceLink& link, char command, char* reply, DWORD capacity, DWORD limitMs,
                          PendingLines& lines) {
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    // The one reopening: of a port an earlier conversation lost, or of one that fails in this one.
    for (bool reopened = link.portLost;;) {
        if (!PortReady(link, lines)) {
            std::memset(reply, 0, capacity + 1);
            return opos::OPOS_E_ILLEGAL;
        }
        const Exchange exchange = ConverseOnPort(link, command, reply, capacity, MsUntil(deadline), lines);
        if (exchange.outcome != Exchange::PortFailed) {
            return exchange.outcome == Exchange::Replied ? opos::OPOS_SUCCESS : opos::OPOS_E_ILLEGAL;
        }
        LosePort(link, exchange.error, lines);
        if (reopened || MsUntil(deadline) == 0) return opos::OPOS_E_ILLEGAL;
        reopened = true;
    }
}
}  // namespace

long Converse(DeviceLink& link, char command, char* reply, DWORD capacity, DWORD limitMs) {
    if (!reply) return opos::OPOS_E_ILLEGAL;
    // Declared before the lock, so that its lines are written once the lock is given back.
    PendingLines lines(link.log);
    // One conversation at a time on the port: replies must not cross.
    std::lock_guard<ka::CriticalSection> hold(link.conversationLock);
    return ConverseWithPortBack(link, command, reply, capacity, limitMs, lines);
}

long ReadScale(DeviceLink& link, long& weight, long& hardwareStatus, long& commResult) {
    weight = 0;
    hardwareStatus = 0;
    commResult = 0;
    char reply[kReplyCapacity + 1] = {};
    commResult = Converse(link, 'W', reply, kReplyCapacity, kWeighLimitMs);
    if (commResult != 0) {
        link.log.Line(zel::kCritical, "Scale Communication Failure: LE:%d", static_cast<long>(GetLastError()));
        return -1;
    }

    const ParsedReply parsed = ParseWeightReply(reply);
    char shown[zel::kLineBufferSize];
    zel::EscapeData(reply, parsed.length, shown);
    if (parsed.hasStatus) hardwareStatus = parsed.status;
    switch (parsed.kind) {
    case ReplyKind::StatusOnly:
        link.log.Line(zel::kCritical, "Unusable Reading: LE:%d; Hardware Status:%s", static_cast<long>(GetLastError()),
                shown);
        return -1;
    case ReplyKind::WrongLength:
        link.log.Line(zel::kCritical, "Only received %d of an expected 16 bytes.  [%s]",
                static_cast<long>(parsed.length), shown);
        commResult = kWrongLength;
        return -1;
    case ReplyKind::Uninterpretable:
        link.log.Line(zel::kCritical, "Problem interpreting scale reading string: %s", shown);
        return -1;
    case ReplyKind::Reading:
        break;
    }
    if (!IsAcceptableStatus(parsed.status)) {
        link.log.Line(zel::kCritical, "Unacceptable Hardware status of %d", parsed.status);
        return -1;
    }
    weight = parsed.weight;
    link.log.Line(zel::kDataFlow, "LE=%d; MSG=%s; Weight=%d, Hardware Status: %d", static_cast<long>(GetLastError()),
            shown, weight, parsed.status);
    return 0;
}

}  // namespace pendrax
