// Where the settings and the Script folder live: the rule on its inputs, and
// the answer the program gets.

#include <gtest/gtest.h>

#include <string>

#include "platform/Platform.h"
#include "platform/UserFolders.h"
#include "tests/support/FaultPlatform.h"

namespace kv {
namespace {

struct FolderCase {
    const char* name;
    UserFolderInputs inputs;
    UserFolderChoice choice;
};

class UserFolderRule : public testing::TestWithParam<FolderCase> {};

TEST_P(UserFolderRule, ChoosesWhereTheProgramWrites) {
    const UserFolderChoice got = ChooseUserFolders(GetParam().inputs);
    EXPECT_EQ(got.settings, GetParam().choice.settings);
    EXPECT_EQ(got.data, GetParam().choice.data);
    EXPECT_EQ(got.perUser, GetParam().choice.perUser);
}

INSTANTIATE_TEST_SUITE_P(
    Platform, UserFolderRule,
    testing::Values(
        // KORVELT_HOME wins over everything.
        FolderCase{"KorveltHome",
                   {"/srv/kv/", "/usr/lib/korvelt", false, "/x", "/y", "/home/j"},
                   {"/srv/kv", "/srv/kv", false}},
        // A folder the user may write keeps the program's own layout.
        FolderCase{"WritableProgramFolder",
                   {"", "/home/j/korvelt/build/bin", true, "/x", "/y", "/home/j"},
                   {"/home/j/korvelt/build/bin", "/home/j/korvelt/build/bin", false}},
        // An installed program: the XDG folders, or their defaults under HOME.
        FolderCase{"Installed",
                   {"", "/usr/lib/korvelt", false, "/home/j/conf/", "/home/j/data", "/home/j"},
                   {"/home/j/conf/korvelt", "/home/j/data/korvelt", true}},
        FolderCase{"InstalledDefaults",
                   {"", "/usr/lib/korvelt", false, "", "", "/home/j/"},
                   {"/home/j/.config/korvelt", "/home/j/.local/share/korvelt", true}},
        // A relative XDG value is not a folder: the default is taken.
        FolderCase{"RelativeXdgIgnored",
                   {"", "/usr/lib/korvelt", false, "conf", "./data", "/home/j"},
                   {"/home/j/.config/korvelt", "/home/j/.local/share/korvelt", true}},
        // No home to tell: nothing per user can be chosen.
        FolderCase{"NoHome", {"", "/usr/lib/korvelt", false, "", "", ""}, {"", "", true}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UserFolders, KorveltHomeHoldsSettingsAndScripts) {
    test::TempDrives drives;  // KORVELT_HOME is C:\Korvelt
    EXPECT_EQ(SettingsFolder(), "C:\\Korvelt\\");
    EXPECT_EQ(ScriptFolder(), "C:\\Korvelt\\Script\\");
}

}  // namespace
}  // namespace kv
