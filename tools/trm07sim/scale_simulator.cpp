#include "tools/trm07sim/scale_simulator.h"

#include <chrono>
#include <cstdio>

#include "tools/trm07sim/reply_forms.h"

namespace trm07 {

namespace {
constexpr char kRequestEnd = '\r';
// Anything longer without a carriage return is line noise, not a request.
constexpr std::size_t kLongestRequest = 16;

// All-zero time-outs: a read of one character waits until that character arrives.
constexpr COMMTIMEOUTS kBlockingReads = {0, 0, 0, 0, 0};

std::string Printable(const std::string& bytes) {
    std::string shown;
    for (unsigned char c : bytes) {
        if (c == '\r') {
            shown += "\\r";
        } else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

DWORD ApplyLineSettings(HANDLE port, const LineSettings& settings) {
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb)) return GetLastError();
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = settings.dataBits;
    dcb.Parity = settings.parity;
    dcb.StopBits = settings.stopBits;
    if (!SetCommState(port, &dcb)) return GetLastError();
    return ERROR_SUCCESS;
}
}  // namespace

ScaleSimulator::ScaleSimulator() = default;

ScaleSimulator::~ScaleSimulator() { Close(); }

DWORD ScaleSimulator::Open(const std::string& port, const LineSettings& settings) {
    Close();
    ka::UniqueFile opened(CreateFileA(port.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr));
    if (!opened) return GetLastError();
    COMMTIMEOUTS timeouts = kBlockingReads;
    if (!SetCommTimeouts(opened.get(), &timeouts)) return GetLastError();
    // A pseudo-terminal cable carries 8-bit characters whatever is asked of it and may refuse
    // other settings; the scale answers all the same, and the refusal is there to be reported.
    lineSettingsError_ = ApplyLineSettings(opened.get(), settings);
    // Whatever an earlier user of the cable left unread is not a request to this scale.
    PurgeComm(opened.get(), PURGE_RXCLEAR | PURGE_TXCLEAR);

    // Made once, so that the simulator holds the same handles for as long as it runs.
    ka::UniqueHandle stop(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ka::UniqueHandle readDone(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ka::UniqueHandle writeDone(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!stop || !readDone || !writeDone) return GetLastError();
    port_ = std::move(opened);
    stop_ = std::move(stop);
    readDone_ = std::move(readDone);
    writeDone_ = std::move(writeDone);
    thread_.reset(CreateThread(nullptr, 0, ThreadEntry, this, 0, nullptr));
    if (!thread_) {
        const DWORD error = GetLastError();
        CloseHandles();
        return error;
    }
    return ERROR_SUCCESS;
}

void ScaleSimulator::Close() {
    if (thread_) {
        SetEvent(stop_.get());
        WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
    }
    CloseHandles();
}

void ScaleSimulator::CloseHandles() {
    writeDone_.reset();
    readDone_.reset();
    stop_.reset();
    port_.reset();
}

void ScaleSimulator::SetWeight(long thousandths) {
    std::lock_guard<std::mutex> hold(lock_);
    weight_ = thousandths;
}

void ScaleSimulator::SetStatus(long status) {
    std::lock_guard<std::mutex> hold(lock_);
    status_ = status;
}

void ScaleSimulator::SettleFor(int reads) {
    std::lock_guard<std::mutex> hold(lock_);
    settlingReads_ = reads;
}

void ScaleSimulator::QueueAnswer(char command, Answer answer) {
    std::lock_guard<std::mutex> hold(lock_);
    (command == kZeroCommand ? zeroAnswers_ : weighAnswers_).push_back(std::move(answer));
}

void ScaleSimulator::SetZeroDelay(DWORD ms) {
    std::lock_guard<std::mutex> hold(lock_);
    zeroDelayMs_ = ms;
}

void ScaleSimulator::SetObserver(Observer observer) {
    std::lock_guard<std::mutex> hold(lock_);
    observer_ = std::move(observer);
}

long ScaleSimulator::Weight() const {
    std::lock_guard<std::mutex> hold(lock_);
    return weight_;
}

long ScaleSimulator::Requests() const {
    std::lock_guard<std::mutex> hold(lock_);
    return static_cast<long>(received_.size());
}

long ScaleSimulator::Answered() const {
    std::lock_guard<std::mutex> hold(lock_);
    return answered_;
}

std::vector<std::string> ScaleSimulator::ReceivedRequests() const {
    std::lock_guard<std::mutex> hold(lock_);
    return received_;
}

bool ScaleSimulator::WaitForRequests(long count, DWORD timeoutMs) const {
    std::unique_lock<std::mutex> hold(lock_);
    return changed_.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                             [&] { return static_cast<long>(received_.size()) >= count; });
}

bool ScaleSimulator::WaitForAnswered(long count, DWORD timeoutMs) const {
    std::unique_lock<std::mutex> hold(lock_);
    return changed_.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] { return answered_ >= count; });
}

DWORD WINAPI ScaleSimulator::ThreadEntry(void* self) noexcept {
    try {
        static_cast<ScaleSimulator*>(self)->Serve();
    } catch (...) {
        // A simulator that cannot go on simply stops answering, as a switched-off scale would.
    }
    return 0;
}

void ScaleSimulator::Serve() {
    std::string request;
    char byte = 0;
    while (ReadByte(byte)) {
        if (byte == kRequestEnd) {
            Respond(request);
            request.clear();
        } else if (request.size() < kLongestRequest) {
            request += byte;
        }
    }
}

// Waits for one character or for Close; false when stopped or the port failed.
bool ScaleSimulator::ReadByte(char& byte) {
    OVERLAPPED overlapped = {};
    overlapped.hEvent = readDone_.get();
    DWORD count = 0;
    if (!ReadFile(port_.get(), &byte, 1, nullptr, &overlapped) && GetLastError() != ERROR_IO_PENDING) return false;
    const HANDLE waits[] = {readDone_.get(), stop_.get()};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) CancelIoEx(port_.get(), &overlapped);
    const bool read = GetOverlappedResult(port_.get(), &overlapped, &count, TRUE) && count == 1;
    return read && WaitForSingleObject(stop_.get(), 0) != WAIT_OBJECT_0;
}

bool ScaleSimulator::Send(const std::string& bytes) {
    if (bytes.empty()) return true;
    OVERLAPPED overlapped = {};
    overlapped.hEvent = writeDone_.get();
    DWORD count = 0;
    if (!WriteFile(port_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
        return false;
    }
    const HANDLE waits[] = {writeDone_.get(), stop_.get()};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) CancelIoEx(port_.get(), &overlapped);
    return GetOverlappedResult(port_.get(), &overlapped, &count, TRUE) && count == bytes.size();
}

// The scale's own pace; cut short by Close.
bool ScaleSimulator::Pause(DWORD ms) { return ms == 0 || WaitForSingleObject(stop_.get(), ms) == WAIT_TIMEOUT; }

Answer ScaleSimulator::ChooseAnswer(const std::string& request) {
    std::lock_guard<std::mutex> hold(lock_);
    received_.push_back(request);
    changed_.notify_all();
    if (request.size() != 1) return Answer::Silence();
    if (request[0] == kWeighCommand) {
        if (!weighAnswers_.empty()) {
            Answer answer = std::move(weighAnswers_.front());
            weighAnswers_.pop_front();
            return answer;
        }
        long status = status_;
        if (settlingReads_ > 0) {
            --settlingReads_;
            status = kStatusSettling;
        }
        return Answer::Text(ReadingText(weight_, status));
    }
    if (request[0] == kZeroCommand) {
        if (!zeroAnswers_.empty()) {
            Answer answer = std::move(zeroAnswers_.front());
            zeroAnswers_.pop_front();
            return answer;
        }
        // The scale takes its time to find zero, then shows the empty platter.
        weight_ = 0;
        return Answer::Text(ReadingText(0, status_), zeroDelayMs_);
    }
    return Answer::Silence();
}

void ScaleSimulator::Respond(const std::string& request) {
    Tell("<- " + Printable(request + kRequestEnd));
    const Answer answer = ChooseAnswer(request);
    bool sent = true;
    for (const auto& piece : answer.pieces) {
        if (!Pause(piece.pauseMs) || !Send(piece.bytes)) {
            sent = false;
            break;
        }
        Tell("-> '" + Printable(piece.bytes) + "'");
    }
    if (answer.pieces.empty()) Tell("   (silent)");
    if (!sent) return;
    std::lock_guard<std::mutex> hold(lock_);
    ++answered_;
    changed_.notify_all();
}

void ScaleSimulator::Tell(const std::string& line) {
    Observer observer;
    {
        std::lock_guard<std::mutex> hold(lock_);
        observer = observer_;
    }
    if (observer) observer(line);
}

}  // namespace trm07
