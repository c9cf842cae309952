#pragma once
// The text of scalectl's step lines: "Open .................... SUCCESS (0)".

#include <string>

namespace scalectl {

// The label, dots to the result column, and the result code by name.
std::string StepLine(const std::string& label, long resultCode);
// A step whose call itself failed, with the HRESULT in hex.
std::string CallFailedLine(const std::string& label, long hresult);
// A step with a free-form outcome in place of a result code.
std::string NoteLine(const std::string& label, const std::string& outcome);
// Thousandths of a pound as "12.345 lb (12345)".
std::string WeightText(long thousandths);

}  // namespace scalectl
