#pragma once
// The TRM-07's reply texts, laid out as the scale sends them. Pure: no Windows headers.
//
// A reading is 16 characters: a sign column, two digits of pounds, ".", three digits of
// thousandths, " lb", two blanks, "S" and the two-digit hardware status, one blank:
//     " 12.345 lb  S00 "
// A status-only reply carries "S" as its second character: "?S10" padded with blanks to 16.

#include <string>

namespace trm07 {

constexpr std::size_t kReplyLength = 16;
constexpr long kLargestWeight = 99999;  // 99.999 lb: two digits before the point
constexpr long kLargestStatus = 99;

// Weight in thousandths of a pound (its sign shown in the first column), status clamped to 0..99.
std::string ReadingText(long weight, long status);
std::string StatusOnlyText(long status);

// Damaged forms of a reading, as a line fault or a confused scale might send them.
std::string WithLength(std::string reply, std::size_t length);  // cut, or padded with blanks
std::string WithoutPoint(std::string reply);
std::string WithoutStatusMark(std::string reply);

// "12.345" → 12345; false when the text is no weight of this form.
bool ParseWeightText(const std::string& text, long& weight);

}  // namespace trm07
