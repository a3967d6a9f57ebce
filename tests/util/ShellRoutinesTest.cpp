#include <gtest/gtest.h>

#include <filesystem>

#include "support/FaultPlatform.h"
#include "util/ShellRoutines.h"

namespace {

struct ShortcutCase {
    const char* name;
    const char* given;
    const char* written;
};

class ShortcutNames : public testing::TestWithParam<ShortcutCase> {};

TEST_P(ShortcutNames, LnkAppendedUnlessPresent) {
    EXPECT_EQ(kv::ShortcutFileName(GetParam().given), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ShortcutNames,
    testing::Values(
        ShortcutCase{"NoExtension", "C:\\Startup\\Automate de Korvelt",
                     "C:\\Startup\\Automate de Korvelt.lnk"},
        ShortcutCase{"MixedCaseLnkKept", "C:\\Startup\\Vantrel.LnK", "C:\\Startup\\Vantrel.LnK"},
        ShortcutCase{"LowerLnkKept", "C:\\Startup\\Vantrel.lnk", "C:\\Startup\\Vantrel.lnk"},
        ShortcutCase{"OtherExtension", "C:\\Startup\\Vantrel.exe", "C:\\Startup\\Vantrel.exe.lnk"},
        ShortcutCase{"DotInFolderOnly", "C:\\Dossier.lnk\\Raccourci",
                     "C:\\Dossier.lnk\\Raccourci.lnk"},
        ShortcutCase{"LnkPrefixIsNotTheExtension", "C:\\a.lnkx", "C:\\a.lnkx.lnk"}),
    [](const auto& info) { return std::string(info.param.name); });

class ShellRoutinesTest : public testing::Test {
  protected:
    std::string hostPath(const std::string& rel) const { return drives.hostPath("C:\\" + rel); }
    void writeHost(const std::string& rel, const std::string& bytes) const {
        drives.writeFile("C:\\" + rel, bytes);
    }
    std::string readHost(const std::string& rel) const { return drives.readFile("C:\\" + rel); }
    kv::test::TempDrives drives;
};

TEST_F(ShellRoutinesTest, RenameRefusesToReplace) {
    writeHost("a.txt", "a");
    writeHost("b.txt", "b");
    EXPECT_FALSE(kv::ShellRenameFile("C:\\a.txt", "C:\\b.txt"));
    EXPECT_FALSE(kv::ShellRenameFile("C:\\a.txt", "C:\\B.TXT"));
    EXPECT_EQ(readHost("b.txt"), "b");
    EXPECT_FALSE(kv::ShellRenameFile("C:\\absent.txt", "C:\\c.txt"));
    EXPECT_TRUE(kv::ShellRenameFile("C:\\a.txt", "C:\\court.txt"));
    EXPECT_EQ(readHost("court.txt"), "a");
    EXPECT_FALSE(std::filesystem::exists(hostPath("a.txt")));
}

}  // namespace
