#pragma once
// scalectl's command line: one command, a device name and the options of that command.

#include <string>
#include <vector>

namespace scalectl {

enum class Command { Read, Zero, Health, Watch, Demo };

constexpr long kDefaultReadTimeoutMs = 2000;
constexpr long kDefaultWatchCount = 10;
constexpr long kDefaultWatchIntervalMs = 1000;

struct Options {
    Command command = Command::Read;
    std::wstring device;
    long timeoutMs = kDefaultReadTimeoutMs;
    bool async = false;
    long level = 1;  // OPOS_CH_INTERNAL
    long count = kDefaultWatchCount;  // 0: until Ctrl+C
    long intervalMs = kDefaultWatchIntervalMs;
};

struct ParsedCommandLine {
    bool ok = false;
    Options options;
    std::string error;  // what was wrong, for the user, when !ok
};

// `args` are the arguments after the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::wstring>& args);

extern const char kUsage[];

}  // namespace scalectl
