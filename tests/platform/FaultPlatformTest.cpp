#include <gtest/gtest.h>

#include "tests/support/FaultPlatform.h"

namespace kv {
namespace {

class Faults : public testing::Test {
  protected:
    test::TempDrives drives;
    test::FaultPlatform fp;
    Platform& p = (fp.install(), platform());
};

TEST_F(Faults, InstallsAndUninstallsItself) {
    EXPECT_EQ(&platform(), &fp);
    {
        test::FaultPlatform other;
        other.install();
        EXPECT_EQ(&platform(), &other);
    }
    EXPECT_NE(&platform(), &fp);  // the last one installed went away: host again
    fp.install();
    EXPECT_EQ(&platform(), &fp);
}

TEST_F(Faults, FailedOpensByPathPatternAndMode) {
    drives.writeFile("C:\\x\\a.txt", "a");
    drives.writeFile("C:\\x\\b.tmp", "b");
    fp.failOpen("c:/X/A.TXT");
    fp.failOpen("C:\\x\\*.tmp", OpenMode::Create);
    EXPECT_EQ(p.open("C:\\x\\a.txt", OpenMode::Read), nullptr);
    EXPECT_EQ(p.open("C:\\x\\b.tmp", OpenMode::Create), nullptr);
    EXPECT_NE(p.open("C:\\x\\b.tmp", OpenMode::Read), nullptr);
    EXPECT_TRUE(p.fileExists("C:\\x\\a.txt"));  // the file is still there
    EXPECT_EQ(fp.openCount(OpenMode::Read), 1);
    fp.reset();
    EXPECT_NE(p.open("C:\\x\\a.txt", OpenMode::Read), nullptr);
}

TEST_F(Faults, AFileHeldByAnotherProgram) {
    drives.writeFile("C:\\db.kvr", "data");
    fp.holdExclusively("C:\\DB.kvr");
    for (OpenMode m : {OpenMode::Read, OpenMode::ReadWrite, OpenMode::Create})
        EXPECT_EQ(p.open("C:\\db.kvr", m), nullptr);
    EXPECT_FALSE(p.removeFile("C:\\db.kvr"));
    EXPECT_FALSE(p.renameFile("C:\\db.kvr", "C:\\other.kvr"));
    EXPECT_NE(p.attributes("C:\\db.kvr"), attr::Invalid);
    EXPECT_EQ(p.find("C:\\db.kvr", attr::FilesOnly).size(), 1u);
    fp.release("C:\\db.kvr");
    EXPECT_TRUE(p.removeFile("C:\\db.kvr"));
}

TEST_F(Faults, DiskFullCountsEveryFileBelowTheFolder) {
    drives.makeFolder("C:\\out");
    fp.diskFullAfter("C:\\out\\", 10);
    auto a = p.open("C:\\out\\a", OpenMode::Create);
    auto b = p.open("C:\\OUT\\b", OpenMode::Create);
    auto elsewhere = p.open("C:\\c", OpenMode::Create);
    ASSERT_TRUE(a && b && elsewhere);
    EXPECT_TRUE(a->write("123456", 6));
    EXPECT_FALSE(b->write("abcdef", 6));  // only 4 bytes fit
    EXPECT_FALSE(a->write("x", 1));
    EXPECT_TRUE(elsewhere->write("not limited", 11));
    EXPECT_EQ(fp.bytesWritten("C:\\out\\"), 10);
    a->close();
    b->close();
    EXPECT_EQ(drives.readFile("C:\\out\\a"), "123456");
    EXPECT_EQ(drives.readFile("C:\\out\\b"), "abcd");
}

TEST_F(Faults, FilesKeepTheirFaultsAfterTheDoubleIsGone) {
    drives.writeFile("C:\\big", std::string(1000, 'z'));
    std::unique_ptr<File> in;
    {
        test::FaultPlatform local;
        local.failReadAfter("C:\\big", 100);
        local.failClose("C:\\big");
        in = local.open("C:\\big", OpenMode::Read);
    }
    ASSERT_NE(in, nullptr);
    char buffer[64];
    EXPECT_EQ(in->read(buffer, 64), 64);
    EXPECT_EQ(in->read(buffer, 64), 36);
    EXPECT_EQ(in->read(buffer, 64), -1);
    EXPECT_TRUE(in->seek(0));
    EXPECT_EQ(in->read(buffer, 10), 10);
    EXPECT_FALSE(in->close());
}

TEST_F(Faults, SetFreeSpacePerDrive) {
    drives.add('D', DriveType::Removable);
    fp.setFreeBytes('c', 1000);
    EXPECT_EQ(p.freeBytes("C:\\any\\where.kvr"), 1000);
    EXPECT_EQ(p.freeBytes("c:\\"), 1000);
    EXPECT_GT(p.freeBytes("D:\\"), 0);
    EXPECT_NE(p.freeBytes("D:\\"), 1000);
}

TEST_F(Faults, MediumChangesAndEjection) {
    drives.add('D', DriveType::Removable, "CLE", 0x1111);
    drives.writeFile("D:\\f.txt", "x");
    const uint64_t g0 = p.mountGeneration();
    fp.changeMedium('D', 0x2222, "AUTRE");
    const uint64_t g1 = p.mountGeneration();
    EXPECT_GT(g1, g0);
    std::string label;
    uint32_t serial = 0;
    ASSERT_TRUE(p.volumeInformation("D:\\", label, serial));
    EXPECT_EQ(serial, 0x2222u);
    EXPECT_EQ(label, "AUTRE");
    EXPECT_EQ(p.drive('D')->serial, 0x2222u);
    EXPECT_EQ(p.displayName("D:\\"), "AUTRE (D:)");

    fp.ejectMedium('D');
    EXPECT_GT(p.mountGeneration(), g1);
    EXPECT_FALSE(p.volumeInformation("D:\\", label, serial));
    EXPECT_FALSE(p.fileExists("D:\\f.txt"));
    EXPECT_EQ(p.open("D:\\f.txt", OpenMode::Read), nullptr);
    EXPECT_EQ(p.attributes("D:\\f.txt"), attr::Invalid);
    EXPECT_TRUE(p.find("D:\\*.*", attr::AnyFile).empty());
    EXPECT_EQ(p.freeBytes("D:\\"), -1);
    EXPECT_EQ(p.driveType("D:\\"), DriveType::Removable);  // the drive stays, empty
    EXPECT_NE(p.logicalDrives() & (1u << 3), 0u);
    EXPECT_EQ(p.displayName("D:\\"), "Disque amovible (D:)");

    fp.changeMedium('D', 0x3333, "");
    EXPECT_TRUE(p.fileExists("D:\\f.txt"));
    EXPECT_EQ(p.displayName("D:\\"), "Disque amovible (D:)");
}

TEST_F(Faults, DriveTypesCurrentDriveAndShell) {
    drives.add('E');
    fp.setDriveType('E', DriveType::CdRom);
    EXPECT_EQ(p.driveType("E:\\"), DriveType::CdRom);
    EXPECT_EQ(p.drive('E')->type, DriveType::CdRom);
    EXPECT_EQ(p.driveType("Q:\\"), DriveType::NoRootDir);  // no drive to retype
    fp.setCurrentDrive('e');
    EXPECT_EQ(p.currentDrive(), 'E');
    EXPECT_EQ(p.driveType(""), DriveType::CdRom);

    fp.setOpenDocumentResult(31);
    EXPECT_EQ(p.openDocument("index.htm", "C:\\Korvelt\\Help"), 31);
    ASSERT_EQ(fp.openedDocuments().size(), 1u);
    EXPECT_EQ(fp.openedDocuments()[0].file, "index.htm");
    EXPECT_EQ(fp.openedDocuments()[0].folder, "C:\\Korvelt\\Help");

    fp.setWindowClass("TFormVantrel", true);
    EXPECT_TRUE(p.findWindowClass("TFormVantrel"));
    EXPECT_TRUE(p.closeWindowClass("TFormVantrel"));
    EXPECT_EQ(fp.closedWindowClasses(), std::vector<std::string>{"TFormVantrel"});
}

TEST(FaultPaths, MatchingRules) {
    using test::faultPathMatches;
    EXPECT_TRUE(faultPathMatches("C:\\Out\\", "c:\\out\\sub\\a.kvr"));
    EXPECT_FALSE(faultPathMatches("C:\\Out\\", "C:\\Outside\\a"));
    EXPECT_TRUE(faultPathMatches("C:/a/B.txt", "c:\\A\\b.TXT"));
    EXPECT_FALSE(faultPathMatches("C:\\a\\b.txt", "C:\\a\\b.txt.bak"));
    EXPECT_TRUE(faultPathMatches("*.kvr", "D:\\x\\y\\Sauvegarde.KVR"));
    EXPECT_TRUE(faultPathMatches("C:\\?\\*", "C:\\a\\b\\c"));
}

}  // namespace
}  // namespace kv
