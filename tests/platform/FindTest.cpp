#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/HostPlatform.h"
#include "platform/Wildcard.h"
#include "tests/support/FaultPlatform.h"

namespace kv {
namespace {

struct WildcardRow {
    const char* name;
    const char* pattern;
    const char* file;
    bool matches;
};

class WildcardTable : public testing::TestWithParam<WildcardRow> {};

TEST_P(WildcardTable, Matches) {
    const WildcardRow& r = GetParam();
    EXPECT_EQ(wildcardMatch(r.pattern, r.file), r.matches) << r.pattern << " vs " << r.file;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WildcardTable,
    testing::Values(WildcardRow{"StarDotStarMatchesNoDot", "*.*", "Makefile", true},
                    WildcardRow{"StarDotStarMatchesDotted", "*.*", "a.b.c", true},
                    WildcardRow{"StarMatchesAll", "*", ".hidden", true},
                    WildcardRow{"ExtensionIgnoresCase", "*.TXT", "lettre.txt", true},
                    WildcardRow{"ExtensionMustMatch", "*.txt", "lettre.txt.bak", false},
                    WildcardRow{"AccentedLettersFold", "ÉTÉ*", "été 2003.doc", true},
                    WildcardRow{"OeLigatureFolds", "œuvre.*", "ŒUVRE.rtf", true},
                    WildcardRow{"QuestionIsOneCharacter", "a?c", "abc", true},
                    WildcardRow{"QuestionIsOneMultiByteCharacter", "a?c", "aéc", true},
                    WildcardRow{"QuestionIsNotZero", "a?c", "ac", false},
                    WildcardRow{"InnerStarBacktracks", "a*b*c", "axxbyybzc", true},
                    WildcardRow{"InnerStarNoMatch", "a*b*c", "axxbyy", false},
                    WildcardRow{"LiteralName", "Readme", "README", true},
                    WildcardRow{"LiteralIsWhole", "Read", "Readme", false},
                    WildcardRow{"TrailingDotMeansNoExtension", "*.", "Makefile", true},
                    WildcardRow{"TrailingDotRefusesExtension", "*.", "a.txt", false},
                    WildcardRow{"EmptyPatternMatchesNothing", "", "a", false}),
    [](const testing::TestParamInfo<WildcardRow>& info) { return std::string(info.param.name); });

class HostFind : public testing::Test {
  protected:
    void SetUp() override {
        if (!test::hostKeepsDosAttributes(drives.root('C')))
            GTEST_SKIP() << "no user extended attributes here";
        drives.writeFile("C:\\d\\b.txt", "12345");
        drives.writeFile("C:\\d\\A.TXT", "1");
        drives.writeFile("C:\\d\\c.doc", "");
        drives.writeFile("C:\\d\\.profile", "");
        drives.writeFile("C:\\d\\Makefile", "");
        drives.writeFile("C:\\d\\sys.bin", "");
        drives.makeFolder("C:\\d\\Zeta");
        drives.makeFolder("C:\\d\\.git");
        ASSERT_TRUE(p.setAttributes("C:\\d\\sys.bin", attr::System | attr::Archive));
        chmod(drives.hostPath("C:\\d\\c.doc").c_str(), 0444);
    }
    std::vector<std::string> names(const std::string& pattern, uint32_t mask) {
        std::vector<std::string> out;
        for (const FindEntry& e : p.find(pattern, mask)) out.push_back(e.name);
        return out;
    }
    test::TempDrives drives;
    Platform& p = hostPlatform();
};

using Names = std::vector<std::string>;

TEST_F(HostFind, EveryEntryInCaseInsensitiveOrder) {
    EXPECT_EQ(names("C:\\d\\*.*", attr::AnyFile), (Names{".git", ".profile", "A.TXT", "b.txt",
                                                         "c.doc", "Makefile", "sys.bin", "Zeta"}));
    EXPECT_EQ(names("c:/D/*", attr::AnyFile), names("C:\\d\\*.*", attr::AnyFile));
}

TEST_F(HostFind, MaskSkipsHiddenSystemAndFoldersButNotReadOnlyOrArchive) {
    EXPECT_EQ(names("C:\\d\\*.*", 0), (Names{"A.TXT", "b.txt", "c.doc", "Makefile"}));
    EXPECT_EQ(names("C:\\d\\*.*", attr::FilesOnly),
              (Names{".profile", "A.TXT", "b.txt", "c.doc", "Makefile", "sys.bin"}));
    EXPECT_EQ(names("C:\\d\\*.*", attr::Directory),
              (Names{"A.TXT", "b.txt", "c.doc", "Makefile", "Zeta"}));
    EXPECT_EQ(names("C:\\d\\*.*", attr::Directory | attr::Hidden),
              (Names{".git", ".profile", "A.TXT", "b.txt", "c.doc", "Makefile", "Zeta"}));
}

TEST_F(HostFind, EntriesCarrySizeAttributesAndTime) {
    const auto list = p.find("C:\\d\\*.txt", attr::AnyFile);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "A.TXT");
    EXPECT_EQ(list[0].size, 1);
    EXPECT_EQ(list[1].size, 5);
    EXPECT_EQ(list[1].attributes, attr::Archive);
    EXPECT_EQ(list[1].dosDateTime, *p.lastWriteDos("C:\\d\\b.txt"));
    const auto doc = p.find("C:\\d\\c.doc", attr::FilesOnly);
    ASSERT_EQ(doc.size(), 1u);
    EXPECT_EQ(doc[0].attributes, attr::Archive | attr::ReadOnly);
}

TEST_F(HostFind, APatternWithoutWildcardsFindsThatEntryAsTheDiskSpellsIt) {
    EXPECT_EQ(names("C:\\D\\a.txt", attr::FilesOnly), (Names{"A.TXT"}));
    EXPECT_EQ(names("C:\\d\\zeta", attr::AnyFile), (Names{"Zeta"}));
    EXPECT_EQ(names("C:\\d\\zeta", attr::FilesOnly), Names{});  // a folder, not in the mask
    EXPECT_EQ(names("C:\\d", attr::AnyFile), (Names{"d"}));
    EXPECT_EQ(names("C:\\d\\missing", attr::AnyFile), Names{});
}

TEST_F(HostFind, NothingForRootsTrailingBackslashesAndMissingFolders) {
    EXPECT_EQ(names("C:\\", attr::AnyFile), Names{});
    EXPECT_EQ(names("C:", attr::AnyFile), Names{});
    EXPECT_EQ(names("C:\\d\\", attr::AnyFile), Names{});
    EXPECT_EQ(names("C:\\nowhere\\*.*", attr::AnyFile), Names{});
    EXPECT_EQ(names("C:\\d\\*.xyz", attr::AnyFile), Names{});
    EXPECT_EQ(names("Q:\\*.*", attr::AnyFile), Names{});
    EXPECT_EQ(names("C:\\d\\.", attr::AnyFile), Names{});
    EXPECT_EQ(names("C:\\d\\..", attr::AnyFile), Names{});
}

}  // namespace
}  // namespace kv
