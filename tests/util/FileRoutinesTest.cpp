#include <gtest/gtest.h>

#include <filesystem>

#include "support/FaultPlatform.h"
#include "util/Error.h"
#include "util/FileRoutines.h"
#include "util/PathHelpers.h"

namespace {

class FileRoutinesTest : public testing::Test {
  protected:
    std::string hostPath(const std::string& rel) const { return drives.hostPath("C:\\" + rel); }
    void writeHost(const std::string& rel, const std::string& bytes) const {
        drives.writeFile("C:\\" + rel, bytes);
    }
    std::string readHost(const std::string& rel) const { return drives.readFile("C:\\" + rel); }
    kv::test::TempDrives drives;
};

TEST_F(FileRoutinesTest, FileSizeOfFilesFoldersAndMissingPaths) {
    writeHost("Docs\\lettre.doc", std::string(1234, 'x'));
    writeHost("Docs\\vide.txt", "");
    EXPECT_EQ(kv::FileSizeOf("C:\\Docs\\lettre.doc"), 1234);
    EXPECT_EQ(kv::FileSizeOf("C:\\DOCS\\LETTRE.DOC"), 1234);
    EXPECT_EQ(kv::FileSizeOf("C:\\Docs\\vide.txt"), 0);
    EXPECT_EQ(kv::FileSizeOf("C:\\Docs"), 0);
    EXPECT_EQ(kv::FileSizeOf("C:\\Docs\\absent.doc"), 0);
    EXPECT_EQ(kv::FileSizeOf("Q:\\nowhere.doc"), 0);
}

TEST_F(FileRoutinesTest, IsDirectoryOnlyWithoutTrailingBackslash) {
    writeHost("Docs\\a.txt", "a");
    EXPECT_TRUE(kv::IsDirectory("C:\\Docs"));
    EXPECT_TRUE(kv::IsDirectory("c:\\docs"));
    EXPECT_FALSE(kv::IsDirectory("C:\\Docs\\"));
    EXPECT_FALSE(kv::IsDirectory("C:\\"));
    EXPECT_FALSE(kv::IsDirectory("C:\\Docs\\a.txt"));
    EXPECT_FALSE(kv::IsDirectory("C:\\Absent"));
    EXPECT_FALSE(kv::IsDirectory(""));
}

TEST_F(FileRoutinesTest, CopyFileContentsCopiesAndTruncates) {
    std::string big;
    for (int i = 0; i < 200000; ++i) big += static_cast<char>(i * 7);
    writeHost("src.bin", big);
    writeHost("dst.bin", std::string(300000, 'z'));  // longer than the source: truncated
    kv::CopyFileContents("C:\\src.bin", "C:\\dst.bin");
    EXPECT_EQ(readHost("dst.bin"), big);
    writeHost("empty.bin", "");
    kv::CopyFileContents("C:\\empty.bin", "C:\\dst.bin");
    EXPECT_EQ(readHost("dst.bin"), "");
}

TEST_F(FileRoutinesTest, CopyFileContentsRaisesWithTheFileName) {
    writeHost("src.bin", "data");
    try {
        kv::CopyFileContents("C:\\absent.bin", "C:\\dst.bin");
        FAIL() << "no error";
    } catch (const kv::Error& e) {
        EXPECT_STREQ(e.what(), "Impossible d'ouvrir le fichier C:\\absent.bin");
    }
    EXPECT_FALSE(std::filesystem::exists(hostPath("dst.bin")));
    EXPECT_THROW(kv::CopyFileContents("C:\\src.bin", "C:\\NoFolder\\dst.bin"), kv::Error);
    // Copying a file onto itself would truncate it first: refused, the file stays.
    EXPECT_THROW(kv::CopyFileContents("C:\\src.bin", "c:\\SRC.BIN"), kv::Error);
    EXPECT_EQ(readHost("src.bin"), "data");
}

TEST_F(FileRoutinesTest, NormalizePathCaseFollowsTheDisk) {
    std::filesystem::create_directories(hostPath("WINDOWS\\System"));
    EXPECT_EQ(kv::NormalizePathCase("c:\\windows\\system", false), "C:\\WINDOWS\\System");
    EXPECT_EQ(kv::NormalizePathCase("c:\\windows\\system\\", false), "C:\\WINDOWS\\System");
    // A missing tail keeps its spelling.
    EXPECT_EQ(kv::NormalizePathCase("c:\\windows\\absent\\Deep", false),
              "C:\\WINDOWS\\absent\\Deep");
    EXPECT_EQ(kv::NormalizePathCase("c:\\", false), "C:");
    EXPECT_EQ(kv::NormalizePathCase("c:", false), "C:");
    EXPECT_EQ(kv::NormalizePathCase("", false), "");
    EXPECT_EQ(kv::OnDiskName("c:\\windows\\"), "WINDOWS\\");
}

TEST_F(FileRoutinesTest, OnDiskNameIgnoresWildcardMatchesOfOtherNames) {
    std::filesystem::create_directories(hostPath("abc"));
    EXPECT_EQ(kv::OnDiskName("C:\\a?c"), "a?c\\");
    EXPECT_EQ(kv::OnDiskName("C:\\a*"), "a*\\");
}

TEST_F(FileRoutinesTest, DriveLabelAndSerial) {
    drives.add('T', kv::DriveType::Fixed, "ESSAI", 0x1234ABCD);
    auto t = kv::DriveLabel('t');
    EXPECT_EQ(t.text, "ESSAI (T:)");
    EXPECT_EQ(t.serial, 0x1234ABCD);
    EXPECT_EQ(kv::DriveSerial('T'), 0x1234ABCD);
    auto q = kv::DriveLabel('Q');
    EXPECT_EQ(q.text, "(Q:)");
    EXPECT_EQ(q.serial, -1);
    EXPECT_EQ(kv::DriveSerial('Q'), -1);
}

}  // namespace
