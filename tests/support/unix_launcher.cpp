// Starts a Unix program from inside the Wine prefix and ends, so that what Wine keeps open for
// each Unix program it starts (it hands back no process) stays in this short-lived process and
// not in the test that asked for it.
//   unix_launcher <Unix program> [arguments...]
// Exit code 0 once the program is started, 1 when it could not be, 2 on a wrong command line.

#include <windows.h>

#include <algorithm>
#include <string>

namespace {

// The command line after this program's own name, as the caller wrote it.
std::string ArgumentsAfterOwnName() {
    const char* line = GetCommandLineA();
    bool quoted = false;
    for (; *line && (quoted || (*line != ' ' && *line != '\t')); ++line) {
        if (*line == '"') quoted = !quoted;
    }
    while (*line == ' ' || *line == '\t') ++line;
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    // The Unix root is drive Z: in every prefix.
    std::string program = std::string("Z:") + argv[1];
    std::replace(program.begin(), program.end(), '/', '\\');
    std::string command = ArgumentsAfterOwnName();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return 1;
    }
    // A Windows program given by mistake: its handles are real and ours to close.
    if (process.hProcess) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return 0;
}
