#include "tools/scalectl/command_line.h"

#include <climits>

namespace scalectl {

const char kUsage[] =
    "usage: scalectl COMMAND \"DEVICE NAME\" [options]\n"
    "\n"
    "  read NAME [--timeout MS] [--async]    read one weight (default timeout 2000 ms)\n"
    "  zero NAME                             set the current weight to zero\n"
    "  health NAME [--level 1|2]             internal (1, default) or external (2) health check\n"
    "  watch NAME [--count N] [--interval MS]  read N weights (default 10; 0 reads until Ctrl+C),\n"
    "                                        MS apart (default 1000)\n"
    "  demo NAME                             open, claim, enable, read, read asynchronously, zero,\n"
    "                                        check health, disable, release and close\n"
    "\n"
    "Every step goes through the OPOS Scale control object (OposScale_1_5_LibCtl.OPOSScale), which\n"
    "loads the service object that the device's profile names. On a POS terminal that is the real\n"
    "control object of the OPOS installation; the stand-in OposScaleStandIn.dll exists only for our\n"
    "own test prefixes and is never installed on a terminal.\n"
    "\n"
    "Exit status: 0 when every step succeeded, 1 when a step failed, 2 for a usage error,\n"
    "3 when the control object could not be created.\n";

namespace {

struct CommandName {
    const wchar_t* name;
    Command command;
};

constexpr CommandName kCommands[] = {
    {L"read", Command::Read}, {L"zero", Command::Zero}, {L"health", Command::Health},
    {L"watch", Command::Watch}, {L"demo", Command::Demo},
};

// Each option belongs to one command.
struct OptionRule {
    const wchar_t* name;
    bool takesValue;
    Command command;
};

constexpr OptionRule kOptions[] = {
    {L"--timeout", true, Command::Read},   {L"--async", false, Command::Read},
    {L"--level", true, Command::Health},   {L"--count", true, Command::Watch},
    {L"--interval", true, Command::Watch},
};

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += (c > 0 && c < 0x80) ? static_cast<char>(c) : '?';
    return out;
}

// Plain decimal digits only, within 0..LONG_MAX.
bool ParseCount(const std::wstring& text, long& value) {
    if (text.empty() || text.size() > 10) return false;
    long long number = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        number = number * 10 + (c - L'0');
    }
    if (number > LONG_MAX) return false;
    value = static_cast<long>(number);
    return true;
}

const OptionRule* FindOption(const std::wstring& name) {
    for (const auto& rule : kOptions) {
        if (name == rule.name) return &rule;
    }
    return nullptr;
}

ParsedCommandLine Fail(std::string error) {
    ParsedCommandLine parsed;
    parsed.error = std::move(error);
    return parsed;
}

std::string ApplyOption(const std::wstring& name, const std::wstring& value, Options& options) {
    long number = 0;
    if (name == L"--async") {
        options.async = true;
        return {};
    }
    if (!ParseCount(value, number)) return "option " + Narrow(name) + " needs a whole number, not \"" + Narrow(value) + "\"";
    if (name == L"--timeout") {
        options.timeoutMs = number;
    } else if (name == L"--level") {
        // Level 3 opens the service object's interactive dialog: that belongs to the administrator.
        if (number != 1 && number != 2) return "option --level takes 1 (internal) or 2 (external)";
        options.level = number;
    } else if (name == L"--count") {
        options.count = number;
    } else if (name == L"--interval") {
        options.intervalMs = number;
    }
    return {};
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::wstring>& args) {
    if (args.empty()) return Fail("no command given");
    ParsedCommandLine parsed;
    Options& options = parsed.options;
    const CommandName* command = nullptr;
    for (const auto& entry : kCommands) {
        if (args[0] == entry.name) command = &entry;
    }
    if (!command) return Fail("unknown command \"" + Narrow(args[0]) + "\"");
    options.command = command->command;

    bool haveDevice = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (arg.rfind(L"--", 0) != 0) {
            if (haveDevice) return Fail("more than one device name: \"" + Narrow(arg) + "\"");
            if (arg.empty()) return Fail("the device name is empty");
            options.device = arg;
            haveDevice = true;
            continue;
        }
        const OptionRule* rule = FindOption(arg);
        if (!rule) return Fail("unknown option " + Narrow(arg));
        if (rule->command != options.command) return Fail("option " + Narrow(arg) + " does not apply to " + Narrow(args[0]));
        std::wstring value;
        if (rule->takesValue) {
            if (i + 1 >= args.size()) return Fail("option " + Narrow(arg) + " needs a value");
            value = args[++i];
        }
        std::string error = ApplyOption(arg, value, options);
        if (!error.empty()) return Fail(error);
    }
    if (!haveDevice) return Fail("no device name given");
    parsed.ok = true;
    return parsed;
}

}  // namespace scalectl
