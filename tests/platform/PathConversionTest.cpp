#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "platform/HostPlatform.h"
#include "tests/support/FaultPlatform.h"
#include "text/Text.h"

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

// The platform's own creates, renames and removes are applied to the kept
// names of a folder, whether the folder is old (names listed and kept) or was
// just made (looked up while fresh).
TEST_F(PathConversion, LookupsFollowThePlatformsOwnChanges) {
    drives.writeFile("C:\\Old\\a.txt", "x");
    const timespec hourAgo[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (c + "/Old").c_str(), hourAgo, 0), 0);
    ASSERT_TRUE(p.createDirectory("C:\\Fresh"));
    for (const std::string folder : {"Old", "Fresh"}) {
        SCOPED_TRACE(folder);
        const std::string dos = "C:\\" + folder + "\\";
        const std::string up = "C:\\" + text::upper(folder) + "\\";
        const std::string host = c + "/" + folder + "/";
        EXPECT_EQ(p.toHost(up + "NEU.TXT"), host + "NEU.TXT");  // looked up once before
        ASSERT_TRUE(p.open(dos + "Neu.txt", OpenMode::Create));
        EXPECT_EQ(p.toHost(up + "NEU.TXT"), host + "Neu.txt");
        ASSERT_TRUE(p.renameFile(dos + "Neu.txt", dos + "Autre.txt"));
        EXPECT_EQ(p.toHost(up + "neu.TXT"), host + "neu.TXT");
        EXPECT_EQ(p.toHost(up + "AUTRE.TXT"), host + "Autre.txt");
        ASSERT_TRUE(p.createDirectory(dos + "Sous"));
        EXPECT_EQ(p.toHost(up + "SOUS\\x"), host + "Sous/x");
        ASSERT_TRUE(p.removeDirectory(dos + "Sous"));
        EXPECT_EQ(p.toHost(up + "SOUS\\x"), host + "SOUS/x");
        // Two spellings of one name (made by another program): removing the
        // first uncovers the second.
        std::ofstream(host + "abc").put('x');
        std::ofstream(host + "ABC").put('x');
        ASSERT_EQ(utimensat(AT_FDCWD, host.c_str(), hourAgo, 0), 0);
        EXPECT_EQ(p.toHost(up + "Abc"), host + "ABC");
        ASSERT_TRUE(p.removeFile(dos + "ABC"));
        EXPECT_EQ(p.toHost(up + "Abc"), host + "abc");
        // A move between folders leaves one and reaches the other.
        ASSERT_TRUE(p.renameFile(dos + "Autre.txt", "C:\\Moved.txt"));
        EXPECT_EQ(p.toHost(up + "AUTRE.TXT"), host + "AUTRE.TXT");
        EXPECT_EQ(p.toHost("C:\\MOVED.TXT"), c + "/Moved.txt");
        ASSERT_TRUE(p.removeFile("C:\\Moved.txt"));
    }
}

// After a change of our own, a change by another program is seen even when
// it leaves the folder's time stamp as we recorded it (a change within the
// same clock tick): the folder's link count moved.
TEST_F(PathConversion, OutsideChangesAfterOurOwnAreSeen) {
    ASSERT_TRUE(p.createDirectory("C:\\Dest"));
    EXPECT_EQ(p.toHost("C:\\DEST\\A.TXT"), c + "/Dest/A.TXT");
    ASSERT_TRUE(p.open("C:\\Dest\\a.txt", OpenMode::Create));
    EXPECT_EQ(p.toHost("C:\\DEST\\A.TXT"), c + "/Dest/a.txt");
    struct stat st;
    ASSERT_EQ(stat((c + "/Dest").c_str(), &st), 0);
    fs::create_directory(c + "/Dest/Extern");
    const timespec same[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, (c + "/Dest").c_str(), same, 0), 0);
    EXPECT_EQ(p.toHost("C:\\DEST\\EXTERN"), c + "/Dest/Extern");
    // A plain outside change moves the time stamp.
    fs::rename(c + "/Dest/a.txt", c + "/Dest/B.txt");
    const timespec hourAgo[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (c + "/Dest").c_str(), hourAgo, 0), 0);
    EXPECT_EQ(p.toHost("C:\\DEST\\A.TXT"), c + "/Dest/A.TXT");
    EXPECT_EQ(p.toHost("C:\\DEST\\b.txt"), c + "/Dest/B.txt");
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

// What enters the catalog is spelled as the disk spells it.
TEST_F(PathConversion, TrueCaseSpellsEachExistingLevelAsTheDiskDoes) {
    drives.writeFile("C:\\Mes Documents\\Été\\Rapport.TXT", "x");
    EXPECT_EQ(p.trueCase("c:\\MES DOCUMENTS\\été\\rapport.txt"),
              "C:\\Mes Documents\\Été\\Rapport.TXT");
    EXPECT_EQ(p.trueCase("C:\\MES DOCUMENTS\\ÉTÉ\\"), "C:\\Mes Documents\\Été\\");
    EXPECT_EQ(p.trueCase("c:\\"), "C:\\");
    EXPECT_EQ(p.trueCase("C:\\mes documents\\.\\x\\..\\ÉTÉ"), "C:\\Mes Documents\\Été");
    // A missing tail keeps its spelling below the levels that exist.
    EXPECT_EQ(p.trueCase("C:\\MES DOCUMENTS\\Nouveau\\LISTE.txt"),
              "C:\\Mes Documents\\Nouveau\\LISTE.txt");
    // No host path: as given.
    EXPECT_EQ(p.trueCase("Q:\\Docs\\a.txt"), "Q:\\Docs\\a.txt");
    EXPECT_EQ(p.trueCase("\\\\serveur\\partage\\a.txt"), "\\\\serveur\\partage\\a.txt");

    // The letter given stays, even where another drive's root lies below it.
    const std::string d = c + "/Clé";
    fs::create_directories(d + "/Photos");
    Drive key;
    key.letter = 'D';
    key.hostRoot = d;
    std::vector<Drive> map = drives.drives();
    map.push_back(key);
    setHostDriveMap(map);
    EXPECT_EQ(p.trueCase("c:\\CLÉ\\photos"), "C:\\Clé\\Photos");
    EXPECT_EQ(p.trueCase("d:\\PHOTOS\\"), "D:\\Photos\\");

    // A name that is not UTF-8 on disk comes back as its Windows name.
    std::ofstream(c + "/caf\xE9.txt") << "x";
    EXPECT_EQ(p.trueCase("C:\\CAF\uF7E9.TXT"), "C:\\caf\uF7E9.txt");
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
