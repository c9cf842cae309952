#pragma once
// Runs one of our console tools and collects what it printed.

#include <windows.h>

#include <string>

namespace ka::test {

struct ToolRun {
    bool started = false;
    bool finished = false;  // within the time allowed; the process is ended otherwise
    DWORD exitCode = 0;
    std::string output;  // standard output and standard error together
};

// `exeName` is a program beside the test's own, or a full path; `commandLine` is everything after
// the program's name.
ToolRun RunTool(const std::wstring& exeName, const std::wstring& commandLine, DWORD timeoutMs);

}  // namespace ka::test
