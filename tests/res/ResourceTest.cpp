// The version record, as the loader finds it, gives the project's version.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/ResourceFormats.h"
#include "platform/win32/Resources.h"

TEST(ResourceTest, TheVersionRecordGivesTheProjectsVersion) {
    const HMODULE module = GetModuleHandleA(nullptr);
    const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));
    ASSERT_NE(found, nullptr);
    const auto* version =
        static_cast<const VS_VERSIONINFO*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(version, nullptr);
    const VS_FIXEDFILEINFO& fixed = version->fixed;
    const std::string dotted = std::to_string(fixed.dwFileVersionMS >> 16) + "." +
                               std::to_string(fixed.dwFileVersionMS & 0xFFFF) + "." +
                               std::to_string(fixed.dwFileVersionLS >> 16) + "." +
                               std::to_string(fixed.dwFileVersionLS & 0xFFFF);
    EXPECT_EQ(dotted, DORVALUNE_VERSION);
    EXPECT_EQ(fixed.dwProductVersionMS, fixed.dwFileVersionMS);
    EXPECT_EQ(fixed.dwProductVersionLS, fixed.dwFileVersionLS);
    for (WORD i = 0; i < version->stringCount; ++i) {
        const std::string key = version->strings[i].key;
        if (key == "FileVersion" || key == "ProductVersion") {
            EXPECT_EQ(std::string(version->strings[i].value), DORVALUNE_VERSION) << key;
        }
    }
}
