#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "tests/admin/admin_test_support.h"

namespace {

constexpr DWORD kStartLimitMs = 20000;
constexpr DWORD kExitLimitMs = 20000;

std::string ProgramPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder.resize(folder.find_last_of('\\') + 1);
    return folder + "Vantorel.exe";
}

struct Found {
    DWORD processId;
    HWND window;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM lParam) {
    auto* found = reinterpret_cast<Found*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (owner == found->processId && std::string(className) == "VantorelMain") {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectChildTexts(HWND window, LPARAM lParam) {
    char text[128] = {};
    GetWindowTextA(window, text, sizeof text);
    reinterpret_cast<std::vector<std::string>*>(lParam)->emplace_back(text);
    return TRUE;
}

// The manifest the built program carries, as Windows reads it when the program starts.
std::string EmbeddedManifest(const std::string& path) {
    ka::UniqueModule image(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!image) return "<not loaded: GLE=" + std::to_string(GetLastError()) + ">";
    HRSRC found = FindResourceA(image.get(), CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
    HGLOBAL loaded = found ? LoadResource(image.get(), found) : nullptr;
    const void* text = loaded ? LockResource(loaded) : nullptr;
    if (!text) return "<no manifest>";
    return std::string(static_cast<const char*>(text), SizeofResource(image.get(), found));
}

// The text of the first element of that name, from "<" to its end.
std::string Element(const std::string& xml, const std::string& name) {
    const std::size_t start = xml.find("<" + name + " ");
    if (start == std::string::npos) return "<no " + name + ">";
    return xml.substr(start, xml.find('>', start) + 1 - start);
}

}  // namespace

// A declared level is what keeps Windows from redirecting refused HKLM writes into a per-user copy.
TEST(Program, DeclaresItsExecutionLevel) {
    const std::string manifest = EmbeddedManifest(ProgramPath());
    const std::size_t trustInfo = manifest.find("<trustInfo ");
    ASSERT_NE(trustInfo, std::string::npos) << manifest;
    EXPECT_EQ(Element(manifest.substr(trustInfo), "requestedExecutionLevel"),
              "<requestedExecutionLevel level=\"highestAvailable\" uiAccess=\"false\"/>");
}

TEST(Program, StartsOnItsMainWindowAndEndsWhenItCloses) {
    ka::test::CleanProfiles clean;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    std::string path = ProgramPath();
    ASSERT_TRUE(CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        << "GLE=" << GetLastError() << " " << path;
    ka::UniqueHandle process(started.hProcess);
    ka::UniqueHandle thread(started.hThread);

    // Idle means the program has shown its window and waits for input in its message loop.
    ASSERT_EQ(WaitForInputIdle(process.get(), kStartLimitMs), 0u);
    Found found = {started.dwProcessId, nullptr};
    EnumWindows(&FindMainWindow, reinterpret_cast<LPARAM>(&found));
    ASSERT_NE(found.window, nullptr);
    EXPECT_TRUE(IsWindowVisible(found.window));
    char caption[80] = {};
    GetWindowTextA(found.window, caption, sizeof caption);
    EXPECT_STREQ(caption, "Kolvane-Aris OPOS Administrator");

    std::vector<std::string> texts;
    EnumChildWindows(found.window, &CollectChildTexts, reinterpret_cast<LPARAM>(&texts));
    for (const char* expected : {"Scale Instance", "&Add", "&Remove", "Configuration", "Serial Port:", "Baud Rate:",
                                 "Parity:", "Log File:", "c:\\OposAdmin.log", "&Set Log File", "Verbosity:", "Test",
                                 "&Enable Scale", "&Disable Scale", "&Zero Scale", "Read &Weight"}) {
        EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end()) << expected;
    }
    EXPECT_GE(texts.size(), 27u);

    PostMessageA(found.window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process.get(), kExitLimitMs), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(ka::test::KeyExists(ka::test::kScaleClassKey)) << "an empty start writes nothing";
}
