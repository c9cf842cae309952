#include "logging/generation_name.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(GenerationName, OldStandsBeforeTheExtensionOfTheLastNameOnly) {
    const struct {
        const char* path;
        const char* older;
    } cases[] = {
        {"c:\\OposAdmin.log", "c:\\OposAdmin.old.log"},
        {"C:\\ProgramData\\Kolvane-Aris\\Logs\\OposAdmin.log", "C:\\ProgramData\\Kolvane-Aris\\Logs\\OposAdmin.old.log"},
        {"d:\\logs\\scale.2024.txt", "d:\\logs\\scale.2024.old.txt"},
        {"d:\\logs\\scale", "d:\\logs\\scale.old"},
        {"d:\\my.logs\\scale", "d:\\my.logs\\scale.old"},
        {"Z:/tmp/my.logs/scale", "Z:/tmp/my.logs/scale.old"},
        {"d:\\logs\\.log", "d:\\logs\\.log.old"},
        {"c:scale.log", "c:scale.old.log"},
        {"scale.log", "scale.old.log"},
        {"\\\\server\\share\\scale.log", "\\\\server\\share\\scale.old.log"},
        {"", ".old"},
    };
    for (const auto& c : cases) EXPECT_EQ(OlderGenerationPath(c.path), c.older) << c.path;
}

}  // namespace
}  // namespace zel
