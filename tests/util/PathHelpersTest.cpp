#include <gtest/gtest.h>

#include "util/PathHelpers.h"

namespace {

struct LevelCase {
    const char* name;
    const char* path;
    int level;
    const char* expected;
};

class PathToLevelRows : public testing::TestWithParam<LevelCase> {};

TEST_P(PathToLevelRows, PrefixThroughTheNthBackslash) {
    const auto& c = GetParam();
    EXPECT_EQ(kv::PathToLevel(c.path, c.level), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, PathToLevelRows,
                         testing::Values(LevelCase{"DriveRoot", "c:\\a\\b\\", 1, "c:\\"},
                                         LevelCase{"SecondLevel", "c:\\a\\b\\", 2, "c:\\a\\"},
                                         LevelCase{"LastBackslash", "c:\\a\\b\\", 3, "c:\\a\\b\\"},
                                         LevelCase{"PastTheEndGivesWholePath", "c:\\a", 5, "c:\\a"},
                                         LevelCase{"NoBackslash", "c:", 1, "c:"},
                                         LevelCase{"Empty", "", 2, ""},
                                         LevelCase{"LevelZero", "c:\\a", 0, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

struct BackslashCase {
    const char* name;
    const char* path;
    const char* removed;
    const char* added;
    int count;
};

class BackslashRows : public testing::TestWithParam<BackslashCase> {};

TEST_P(BackslashRows, AddRemoveCount) {
    const auto& c = GetParam();
    EXPECT_EQ(kv::RemoveBackslash(c.path), c.removed);
    std::string p = c.path;
    EXPECT_EQ(kv::AddBackslash(p), c.added);
    EXPECT_EQ(p, c.added);  // in place
    EXPECT_EQ(kv::CountBackslashes(c.path), c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BackslashRows,
    testing::Values(BackslashCase{"Root", "c:\\", "c:", "c:\\", 1},
                    BackslashCase{"BareDrive", "c:", "c:", "c:\\", 0},
                    BackslashCase{"Folder", "c:\\a\\b", "c:\\a\\b", "c:\\a\\b\\", 2},
                    BackslashCase{"FolderWithSlash", "c:\\a\\b\\", "c:\\a\\b", "c:\\a\\b\\", 3},
                    BackslashCase{"OnlyTheLastGoes", "c:\\a\\\\", "c:\\a\\", "c:\\a\\\\", 3},
                    BackslashCase{"Empty", "", "", "", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PathParts, NameAndFolderSplitAtTheLastBackslash) {
    struct Row {
        const char* path;
        const char* name;
        const char* folder;
    };
    for (const Row& r : {Row{"c:\\a\\b.txt", "b.txt", "c:\\a\\"}, Row{"c:\\a\\", "", "c:\\a\\"},
                         Row{"b.txt", "b.txt", ""}, Row{"", "", ""}}) {
        SCOPED_TRACE(r.path);
        EXPECT_EQ(kv::FileNameOf(r.path), r.name);
        EXPECT_EQ(kv::FolderOf(r.path), r.folder);
        EXPECT_EQ(kv::FolderOf(r.path) + kv::FileNameOf(r.path), r.path);
    }
    EXPECT_EQ(kv::WithBackslash("c:\\a"), "c:\\a\\");
    EXPECT_EQ(kv::WithBackslash("c:\\a\\"), "c:\\a\\");
    EXPECT_EQ(kv::WithBackslash(""), "");
}

}  // namespace
