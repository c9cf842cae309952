#pragma once
// A TRM-07 stand-in on the far end of a serial cable: answers "W\r" with a reading and "Z\r"
// by zeroing, and can be scripted request by request to misbehave as a real scale or line may.

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "common/unique_handle.h"

namespace trm07 {

constexpr char kWeighCommand = 'W';
constexpr char kZeroCommand = 'Z';
constexpr long kStatusSettling = 10;

// Part of an answer: sent after a pause.
struct ReplyPiece {
    DWORD pauseMs = 0;
    std::string bytes;
};

// What the scale sends for one request; no pieces means it stays silent.
struct Answer {
    std::vector<ReplyPiece> pieces;

    static Answer Text(std::string bytes, DWORD delayMs = 0) { return Answer{{ReplyPiece{delayMs, std::move(bytes)}}}; }
    static Answer Silence() { return Answer{}; }
    // The text in two parts with `pauseMs` between them: under the line's 100 ms interval the
    // reader sees one reply, over it two.
    static Answer Dribble(const std::string& bytes, std::size_t firstPart, DWORD pauseMs) {
        return Answer{{ReplyPiece{0, bytes.substr(0, firstPart)}, ReplyPiece{pauseMs, bytes.substr(firstPart)}}};
    }
};

struct LineSettings {
    DWORD baudRate = CBR_9600;
    BYTE dataBits = 7;
    BYTE parity = EVENPARITY;
    BYTE stopBits = ONESTOPBIT;
};

// The line a pseudo-terminal cable carries: 8 data bits without parity, whatever is asked of it.
inline constexpr LineSettings kPseudoTerminalLine{CBR_9600, 8, NOPARITY, ONESTOPBIT};

class ScaleSimulator {
public:
    // Told what was received and sent, one line at a time, on the simulator's own thread.
    using Observer = std::function<void(const std::string& line)>;

    ScaleSimulator();
    ~ScaleSimulator();
    ScaleSimulator(const ScaleSimulator&) = delete;
    ScaleSimulator& operator=(const ScaleSimulator&) = delete;

    // Opens the port ("\\\\.\\COM21" form for any number) and starts answering.
    // 0, or the Windows error code of the step that failed. Line settings the port refuses do
    // not stop it: see LineSettingsError.
    DWORD Open(const std::string& port, const LineSettings& settings = LineSettings());
    // 0, or the error with which the port refused the line settings at Open.
    DWORD LineSettingsError() const noexcept { return lineSettingsError_; }
    // Stops answering (an answer under way is cut short) and closes the port.
    void Close();

    // The standing reading, answered to "W" when nothing is queued.
    void SetWeight(long thousandths);
    void SetStatus(long status);
    // The next `reads` standing readings carry status 10, as while the load settles.
    void SettleFor(int reads);
    // Answers for the next requests of a command, used in order before the standing behaviour.
    void QueueAnswer(char command, Answer answer);
    // How long a zero takes before the scale answers it.
    void SetZeroDelay(DWORD ms);
    void SetObserver(Observer observer);

    long Weight() const;
    // Complete requests received (any command), and requests whose answer has been sent in
    // full (silence counts once decided).
    long Requests() const;
    long Answered() const;
    std::vector<std::string> ReceivedRequests() const;
    // Bounded waits for the counts above; false when the time ran out first.
    bool WaitForRequests(long count, DWORD timeoutMs) const;
    bool WaitForAnswered(long count, DWORD timeoutMs) const;

private:
    static DWORD WINAPI ThreadEntry(void* self) noexcept;
    void CloseHandles();
    void Serve();
    bool ReadByte(char& byte);
    bool Send(const std::string& bytes);
    bool Pause(DWORD ms);
    void Respond(const std::string& request);
    Answer ChooseAnswer(const std::string& request);
    void Tell(const std::string& line);

    ka::UniqueFile port_;
    DWORD lineSettingsError_ = 0;
    ka::UniqueHandle stop_;
    ka::UniqueHandle readDone_;
    ka::UniqueHandle writeDone_;
    ka::UniqueHandle thread_;

    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    long weight_ = 0;
    long status_ = 0;
    int settlingReads_ = 0;
    DWORD zeroDelayMs_ = 0;
    std::deque<Answer> weighAnswers_;
    std::deque<Answer> zeroAnswers_;
    std::vector<std::string> received_;
    long answered_ = 0;
    Observer observer_;
};

}  // namespace trm07
