#pragma once
// Decoding the scale's reply to "W". Pure: no Windows headers, so it is fuzzed natively too.

#include <cstddef>

namespace pendrax {

constexpr std::size_t kReplyLength = 16;

enum class ReplyKind {
    StatusOnly,        // second character "S": a status, no weight
    WrongLength,       // not exactly 16 characters
    Uninterpretable,   // no ".", no "S", the "." too near an end, or no digit where one belongs
    Reading,           // a weight and a hardware status
};

struct ParsedReply {
    ReplyKind kind = ReplyKind::Uninterpretable;
    std::size_t length = 0;  // characters before the first NUL
    long weight = 0;         // thousandths of a pound, for Reading
    long status = 0;         // hardware status, when hasStatus
    bool hasStatus = false;
};

ParsedReply ParseWeightReply(const char* reply) noexcept;

// Hardware statuses 0 and 20 are acceptable readings; 10 asks for a retry.
constexpr bool IsAcceptableStatus(long status) noexcept { return status == 0 || status == 20; }
constexpr long kStatusSettling = 10;

}  // namespace pendrax
