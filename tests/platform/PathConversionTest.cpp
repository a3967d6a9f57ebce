#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "platform/HostPlatform.h"
#include "tests/support/FaultPlatform.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class PathConversion : public testing::Test {
  protected:
    test::TempDrives drives;
    Platform& p = hostPlatform();
    std::string c = drives.root('C');
};

TEST_F(PathConversion, ExactSpellingMapsStraightThrough) {
    drives.writeFile("C:\\Docs\\lettre.doc", "x");
    EXPECT_EQ(p.toHost("C:\\Docs\\lettre.doc"), c + "/Docs/lettre.doc");
    EXPECT_EQ(p.toHost("C:\\"), c);
    EXPECT_EQ(p.toHost("C:"), c);
    EXPECT_EQ(p.toHost("c:/Docs/lettre.doc"), c + "/Docs/lettre.doc");
    EXPECT_EQ(p.toHost("C:\\Docs\\"), c + "/Docs/");
}

TEST_F(PathConversion, EachLevelIsLookedUpWithoutRegardToCase) {
    drives.writeFile("C:\\Docs\\Été\\Lettre.DOC", "x");
    EXPECT_EQ(p.toHost("C:\\DOCS\\été\\lettre.doc"), c + "/Docs/Été/Lettre.DOC");
    // A missing tail keeps the spelling it was given, below the found levels.
    EXPECT_EQ(p.toHost("C:\\docs\\ÉTÉ\\Nouveau\\Fichier.txt"), c + "/Docs/Été/Nouveau/Fichier.txt");
}

TEST_F(PathConversion, ExactMatchWinsOverOtherSpellingsAndTheFirstSortedOtherwise) {
    fs::create_directories(c + "/abc");
    fs::create_directories(c + "/ABC");
    fs::create_directories(c + "/Abc");
    EXPECT_EQ(p.toHost("C:\\Abc"), c + "/Abc");
    EXPECT_EQ(p.toHost("C:\\aBC"), c + "/ABC");  // "ABC" < "Abc" < "abc" in byte order
}

TEST_F(PathConversion, LookupsFollowChangesToAFolderSeenBefore) {
    drives.writeFile("C:\\Old\\a.txt", "x");
    // An old folder's names are kept between lookups...
    const timespec hourAgo[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (c + "/Old").c_str(), hourAgo, 0), 0);
    EXPECT_EQ(p.toHost("C:\\OLD\\A.TXT"), c + "/Old/a.txt");
    EXPECT_EQ(p.toHost("C:\\OLD\\New.TXT"), c + "/Old/New.TXT");
    // ...until it changes.
    drives.writeFile("C:\\Old\\new.txt", "y");
    fs::rename(c + "/Old/a.txt", c + "/Old/B.txt");
    EXPECT_EQ(p.toHost("C:\\OLD\\New.TXT"), c + "/Old/new.txt");
    EXPECT_EQ(p.toHost("C:\\OLD\\A.TXT"), c + "/Old/A.TXT");
    EXPECT_EQ(p.toHost("C:\\OLD\\b.TXT"), c + "/Old/B.txt");
}

TEST_F(PathConversion, DotsResolveWithoutLeavingTheDrive) {
    drives.writeFile("C:\\a\\b.txt", "x");
    EXPECT_EQ(p.toHost("C:\\a\\.\\..\\..\\..\\a\\b.txt"), c + "/a/b.txt");
    EXPECT_EQ(p.toHost("C:\\..\\.."), c);
}

TEST_F(PathConversion, NonDrivePathsAndUnknownDrivesHaveNoHostPath) {
    EXPECT_FALSE(p.toHost("Q:\\x"));
    EXPECT_FALSE(p.toHost("\\\\server\\share\\x"));
    EXPECT_FALSE(p.toHost("relative\\x"));
    EXPECT_FALSE(p.toHost(""));
    EXPECT_FALSE(p.toHost("1:\\x"));
}

TEST_F(PathConversion, HostToWindowsTakesTheLongestDriveRoot) {
    const std::string d = drives.add('D', DriveType::Removable, "CLE", 0x1234);
    fs::create_directories(d + "/sub");
    EXPECT_EQ(p.toWindows(c + "/x/y.txt"), "C:\\x\\y.txt");
    EXPECT_EQ(p.toWindows(d + "/sub/z"), "D:\\sub\\z");
    EXPECT_EQ(p.toWindows(d), "D:\\");
    EXPECT_EQ(p.toWindows(d + "/sub/"), "D:\\sub\\");
    EXPECT_EQ(p.toWindows(c + "/x/../y//z"), "C:\\y\\z");
    EXPECT_FALSE(p.toWindows("/definitely/not/mapped"));
}

TEST_F(PathConversion, HostNamesWithABackslashCannotBeWindowsPaths) {
    EXPECT_FALSE(p.toWindows(c + "/a\\b"));
    drives.writeFile("C:\\ok.txt", "x");
    std::ofstream(c + "/bad\\name.txt") << "x";
    const auto list = p.find("C:\\*", attr::AnyFile);
    ASSERT_EQ(list.size(), 3u);  // Temp, Korvelt, ok.txt
    for (const auto& e : list) EXPECT_EQ(e.name.find('\\'), std::string::npos);
}

TEST_F(PathConversion, RoundTripThroughTheHost) {
    drives.writeFile("C:\\Mes Documents\\Rapport final.txt", "x");
    const auto host = p.toHost("C:\\MES DOCUMENTS\\rapport FINAL.txt");
    ASSERT_TRUE(host);
    EXPECT_EQ(p.toWindows(*host), "C:\\Mes Documents\\Rapport final.txt");
}

TEST_F(PathConversion, MissingMediumHidesTheDrivesFiles) {
    Drive d;
    d.letter = 'E';
    d.hostRoot = drives.add('E', DriveType::CdRom);
    d.type = DriveType::CdRom;
    d.mediaPresent = false;
    drives.setDrive(d);
    EXPECT_FALSE(p.toHost("E:\\x"));
    EXPECT_EQ(p.driveType("E:\\"), DriveType::CdRom);
    std::string label;
    uint32_t serial = 0;
    EXPECT_FALSE(p.volumeInformation("E:\\", label, serial));
}

}  // namespace
}  // namespace kv
