// trm07sim: a TRM-07 scale on a COM port, for technicians and demonstrations.
//
//   trm07sim.exe COMx [--weight 12.345] [--status 0] [--settle N] [--zero-delay MS]
//                     [--baud 9600] [--data-bits 7] [--parity even] [--stop-bits 1] [--until-killed]
//
// Prints every request received and every reply sent. Runs until stdin closes (or until killed
// with --until-killed). Lines typed on stdin change the scale while it runs:
//   weight 1.250 | status 20 | settle 3 | silent | zero-delay 2000 | quit

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/trm07sim/reply_forms.h"
#include "tools/trm07sim/scale_simulator.h"

namespace {

struct Options {
    std::string port;
    long weight = 0;
    long status = 0;
    int settle = 0;
    DWORD zeroDelayMs = 0;
    trm07::LineSettings line;
    bool untilKilled = false;
};

struct NamedCode {
    const char* name;
    BYTE code;
};
constexpr NamedCode kParities[] = {
    {"none", NOPARITY}, {"odd", ODDPARITY}, {"even", EVENPARITY}, {"mark", MARKPARITY}, {"space", SPACEPARITY}};
constexpr NamedCode kStopBits[] = {{"1", ONESTOPBIT}, {"1.5", ONE5STOPBITS}, {"2", TWOSTOPBITS}};

template <std::size_t N>
bool LookUp(const NamedCode (&table)[N], const char* name, BYTE& code) {
    for (const auto& entry : table) {
        if (_stricmp(entry.name, name) == 0) {
            code = entry.code;
            return true;
        }
    }
    return false;
}

void Usage() {
    std::fprintf(stderr,
                 "usage: trm07sim COMx [--weight 12.345] [--status 0] [--settle N] [--zero-delay MS]\n"
                 "                     [--baud 9600] [--data-bits 7] [--parity even|odd|none|mark|space]\n"
                 "                     [--stop-bits 1|1.5|2] [--until-killed]\n"
                 "  COM10 and above: give the port as \\\\.\\COM10\n"
                 "  stdin commands: weight W | status S | settle N | silent | zero-delay MS | quit\n");
}

bool ParseOptions(int argc, char** argv, Options& options) {
    if (argc < 2 || argv[1][0] == '-') return false;
    options.port = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "--until-killed") {
            options.untilKilled = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (flag == "--weight") {
            if (!trm07::ParseWeightText(value, options.weight)) return false;
        } else if (flag == "--status") {
            options.status = std::atol(value);
        } else if (flag == "--settle") {
            options.settle = std::atoi(value);
        } else if (flag == "--zero-delay") {
            options.zeroDelayMs = static_cast<DWORD>(std::strtoul(value, nullptr, 10));
        } else if (flag == "--baud") {
            options.line.baudRate = static_cast<DWORD>(std::strtoul(value, nullptr, 10));
        } else if (flag == "--data-bits") {
            options.line.dataBits = static_cast<BYTE>(std::atoi(value));
        } else if (flag == "--parity") {
            if (!LookUp(kParities, value, options.line.parity)) return false;
        } else if (flag == "--stop-bits") {
            if (!LookUp(kStopBits, value, options.line.stopBits)) return false;
        } else {
            return false;
        }
    }
    return true;
}

void Print(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// One command line from stdin; false when it asks to quit.
bool Apply(trm07::ScaleSimulator& scale, const std::string& line) {
    char word[32] = {};
    char value[64] = {};
    if (std::sscanf(line.c_str(), "%31s %63s", word, value) < 1) return true;
    const std::string command = word;
    long weight = 0;
    if (command == "quit") return false;
    if (command == "weight" && trm07::ParseWeightText(value, weight)) {
        scale.SetWeight(weight);
    } else if (command == "status") {
        scale.SetStatus(std::atol(value));
    } else if (command == "settle") {
        scale.SettleFor(std::atoi(value));
    } else if (command == "silent") {
        scale.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Silence());
    } else if (command == "zero-delay") {
        scale.SetZeroDelay(static_cast<DWORD>(std::strtoul(value, nullptr, 10)));
    } else {
        Print("?? " + line);
        return true;
    }
    Print("ok " + command);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        Options options;
        if (!ParseOptions(argc, argv, options)) {
            Usage();
            return 2;
        }
        trm07::ScaleSimulator scale;
        scale.SetWeight(options.weight);
        scale.SetStatus(options.status);
        scale.SettleFor(options.settle);
        scale.SetZeroDelay(options.zeroDelayMs);
        scale.SetObserver(Print);
        if (const DWORD error = scale.Open(options.port, options.line)) {
            std::fprintf(stderr, "trm07sim: cannot open %s (error %lu)\n", options.port.c_str(), error);
            return 1;
        }
        if (const DWORD refused = scale.LineSettingsError()) {
            std::fprintf(stderr, "trm07sim: %s refused the line settings (error %lu); answering as it is set\n",
                         options.port.c_str(), refused);
        }
        Print("TRM-07 on " + options.port + ": " + trm07::ReadingText(options.weight, options.status));
        if (options.untilKilled) {
            HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            if (never) WaitForSingleObject(never, INFINITE);
            return 0;
        }
        char line[256];
        while (std::fgets(line, sizeof line, stdin)) {
            line[std::strcspn(line, "\r\n")] = '\0';
            if (!Apply(scale, line)) break;
        }
        return 0;
    } catch (...) {
        std::fprintf(stderr, "trm07sim: out of memory\n");
        return 1;
    }
}
