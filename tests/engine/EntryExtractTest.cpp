#include <gtest/gtest.h>

#include "engine/EntryCheck.h"
#include "engine/EntryExtract.h"
#include "support/MemoryFile.h"

namespace kv::format {
namespace {

struct PlacementCase {
    const char* name;
    std::string folder;
    std::string fileName;
    Placement placement;
    std::optional<std::string> destination;
};

class DestinationFolder : public testing::TestWithParam<PlacementCase> {};

TEST_P(DestinationFolder, FollowsThePlacementAndRefusesEscapes) {
    const auto& c = GetParam();
    EntryRecord record;
    record.folder = c.folder;
    record.fileName = c.fileName;
    EXPECT_EQ(destinationFolder(record, c.placement, "E:\\Dest\\"), c.destination);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DestinationFolder,
    testing::Values(
        PlacementCase{"Origin", "D:\\Docs\\Sub\\", "a.txt", Placement::Origin, "D:\\Docs\\Sub\\"},
        PlacementCase{"TreeDropsTheDrive", "D:\\Docs\\Sub\\", "a.txt", Placement::Tree,
                      "E:\\Dest\\Docs\\Sub\\"},
        PlacementCase{"TreeOfARoot", "D:\\", "a.txt", Placement::Tree, "E:\\Dest\\"},
        PlacementCase{"TreeKeepsTheServer", "\\\\srv\\share\\Docs\\", "a.txt", Placement::Tree,
                      "E:\\Dest\\srv\\share\\Docs\\"},
        PlacementCase{"Flat", "D:\\Docs\\Sub\\", "a.txt", Placement::Flat, "E:\\Dest\\"},
        PlacementCase{"DotsInNamesAreFine", "D:\\a..b\\", "..x", Placement::Tree,
                      "E:\\Dest\\a..b\\"},
        PlacementCase{"ParentInTree", "D:\\Docs\\..\\..\\", "a.txt", Placement::Tree, std::nullopt},
        PlacementCase{"ParentRightAfterDrive", "C:\\..\\", "a.txt", Placement::Tree, std::nullopt},
        PlacementCase{"ParentBehindHostSeparator", "C:\\a/../../b\\", "a.txt", Placement::Tree,
                      std::nullopt},
        PlacementCase{"ParentRefusedEvenFlat", "C:\\..\\", "a.txt", Placement::Flat, std::nullopt},
        PlacementCase{"ParentAtOrigin", "C:\\Docs\\..\\Windows\\", "a.txt", Placement::Origin,
                      std::nullopt},
        PlacementCase{"OriginNeedsADrive", "\\\\server\\share\\", "a.txt", Placement::Origin,
                      std::nullopt},
        PlacementCase{"OriginNeedsRoot", "C:Docs\\", "a.txt", Placement::Origin, std::nullopt},
        PlacementCase{"EmptyName", "C:\\Docs\\", "", Placement::Flat, std::nullopt},
        PlacementCase{"NameDotDot", "C:\\Docs\\", "..", Placement::Flat, std::nullopt},
        PlacementCase{"NameWithBackslash", "C:\\Docs\\", "..\\x", Placement::Flat, std::nullopt},
        PlacementCase{"NameWithSlash", "C:\\Docs\\", "a/b", Placement::Tree, std::nullopt},
        PlacementCase{"NameWithColon", "C:\\Docs\\", "C:x", Placement::Flat, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct StoredPathCase {
    const char* name;
    std::string path;
    std::string problem;  // "" when the path reads back as itself
};

class StoredPath : public testing::TestWithParam<StoredPathCase> {};

TEST_P(StoredPath, IsStoredOnlyWhenItReadsBackAsItself) {
    EXPECT_EQ(storedPathProblem(GetParam().path), GetParam().problem);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StoredPath,
    testing::Values(
        StoredPathCase{"Plain", "C:\\Docs\\lettre.txt", ""},
        StoredPathCase{"HundredBytes", "C:\\" + std::string(100, 'n'), ""},
        StoredPathCase{"HundredAccentedCharacters",
                       "C:\\" + std::string(50, 'n') +
                           [] {
                               std::string s;
                               for (int i = 0; i < 50; ++i) s += "é";
                               return s;
                           }(),
                       ""},
        StoredPathCase{"NameOver100Bytes", "C:\\" + std::string(60, 'n') + std::string(41, 'x'),
                       "son nom dépasse 100 octets"},
        StoredPathCase{"NameOutsideTheCodePage",
                       "C:\\" + std::string(34, 'n') + "ΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩΩ",
                       "son nom dépasse 100 octets"},
        StoredPathCase{"FolderOver250Bytes", "C:\\" + std::string(247, 'd') + "\\a.txt",
                       "son dossier dépasse 250 octets"},
        StoredPathCase{"Colon", "C:\\Docs\\a:b.txt",
                       "son nom contient un caractère que la restauration refuse (\\, / ou :)"},
        StoredPathCase{"Slash", "C:\\Docs\\a/b.txt",
                       "son nom contient un caractère que la restauration refuse (\\, / ou :)"},
        StoredPathCase{"Mojibake", "C:\\Docs\\Ã©té.txt", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The one soundness check over entries made in memory.
struct CheckCase {
    const char* name;
    int32_t fileSize;
    int32_t compressedSize;  // -1 stands for the payload's own size
    std::string payload;     // after the record
    std::string problem;
};

// The member the codec writes for "bonjour" (7 bytes).
const std::string Bonjour(
    "\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x00\x4B\xCA\xCF\xCB\xCA\x2F\x2D\x02\x00\xC8\xF0\xB6\xA5"
    "\x07\x00\x00\x00",
    27);

class Check : public testing::TestWithParam<CheckCase> {};

TEST_P(Check, AcceptsOnlySoundEntries) {
    const CheckCase& c = GetParam();
    EntryRecord record;
    record.fileName = "a.txt";
    record.fileSize = c.fileSize;
    record.compressedSize = c.compressedSize == -1 ? int32_t(c.payload.size()) : c.compressedSize;
    std::vector<uint8_t> bytes(format::HeaderSize, 0);
    for (char b : c.payload) bytes.push_back(static_cast<uint8_t>(b));
    test::MemoryFile archive(std::move(bytes));
    test::MemoryFile out;
    const EntryCheck check = CheckEntry(archive, record, format::FirstEntryOffset, &out);
    EXPECT_EQ(check.text(), c.problem);
    EXPECT_EQ(check.sound(), c.problem.empty());
    EXPECT_LE(int64_t(out.bytes().size()), std::max(c.fileSize, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Check,
    testing::Values(
        CheckCase{"Sound", 7, -1, Bonjour, ""},
        CheckCase{"EmptyPayloadOfAnEmptyFile", 0, -1, "", "contenu vide"},
        CheckCase{"Negative", 7, -2, Bonjour, "taille compressée négative"},
        CheckCase{"PastTheEnd", 7, 400, Bonjour, "contenu coupé par la fin de l'archive"},
        CheckCase{"InflatesPastFileSize", 3, -1, Bonjour, "taille différente de celle de l'entrée"},
        CheckCase{"ShorterThanFileSize", 9, -1, Bonjour, "taille différente de celle de l'entrée"},
        CheckCase{"NotAMember", 7, -1, "bonjour", "le contenu n'est pas un membre gzip"},
        CheckCase{"CutBeforeItsTrailer", 7, 20, Bonjour, "données compressées tronquées"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kv::format
