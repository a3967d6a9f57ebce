#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "platform/HostPlatform.h"
#include "tests/support/FaultPlatform.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class HostFiles : public testing::Test {
  protected:
    test::TempDrives drives;
    Platform& p = hostPlatform();
    std::string c = drives.root('C');

    std::string dosAttrib(const std::string& windowsPath) {
        char value[32] = {};
        const ssize_t n = getxattr(drives.hostPath(windowsPath).c_str(), "user.DOSATTRIB", value,
                                   sizeof value - 1);
        return n < 0 ? std::string("(none)") : std::string(value, static_cast<std::size_t>(n));
    }
};

TEST_F(HostFiles, AttributesFromTheHostFile) {
    drives.writeFile("C:\\a.txt", "x");
    drives.writeFile("C:\\.cache", "x");
    drives.makeFolder("C:\\Dossier");
    EXPECT_EQ(p.attributes("C:\\a.txt"), attr::Archive);
    EXPECT_EQ(p.attributes("C:\\A.TXT"), attr::Archive);
    EXPECT_EQ(p.attributes("C:\\.cache"), attr::Archive | attr::Hidden);
    EXPECT_EQ(p.attributes("C:\\dossier"), attr::Directory);
    EXPECT_EQ(p.attributes("C:\\dossier\\"), attr::Directory);
    EXPECT_EQ(p.attributes("C:\\missing"), attr::Invalid);
    EXPECT_EQ(p.attributes("C:\\a.txt\\"), attr::Invalid);
    chmod((c + "/a.txt").c_str(), 0444);
    EXPECT_EQ(p.attributes("C:\\a.txt"), attr::Archive | attr::ReadOnly);
    mkfifo((c + "/pipe").c_str(), 0644);
    EXPECT_EQ(p.attributes("C:\\pipe"), attr::Archive | attr::System);
    EXPECT_EQ(p.open("C:\\pipe", OpenMode::Read), nullptr);  // would block: never opened
    EXPECT_EQ(p.open("C:\\Dossier", OpenMode::Read), nullptr);
}

TEST_F(HostFiles, SetAttributesKeepsHiddenSystemArchiveInTheExtendedAttribute) {
    if (!test::hostKeepsDosAttributes(c)) GTEST_SKIP() << "no user extended attributes here";
    drives.writeFile("C:\\f.dat", "x");
    ASSERT_TRUE(p.setAttributes("C:\\f.dat", attr::Hidden | attr::Archive));
    EXPECT_EQ(dosAttrib("C:\\f.dat"), "0x22");
    EXPECT_EQ(p.attributes("C:\\f.dat"), attr::Hidden | attr::Archive);
    ASSERT_TRUE(p.setAttributes("C:\\f.dat", attr::System | attr::ReadOnly));
    EXPECT_EQ(p.attributes("C:\\f.dat"), attr::System | attr::ReadOnly);
    struct stat st;
    stat((c + "/f.dat").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    // Back to what the file shows by itself: the extended attribute goes away.
    ASSERT_TRUE(p.setAttributes("C:\\f.dat", attr::Archive));
    EXPECT_EQ(dosAttrib("C:\\f.dat"), "(none)");
    EXPECT_EQ(p.attributes("C:\\f.dat"), attr::Archive);
    stat((c + "/f.dat").c_str(), &st);
    EXPECT_NE(st.st_mode & S_IWUSR, 0u);
    // Clearing the archive bit is remembered too.
    ASSERT_TRUE(p.setAttributes("C:\\f.dat", 0));
    EXPECT_EQ(p.attributes("C:\\f.dat"), 0u);
    EXPECT_FALSE(p.setAttributes("C:\\nothing", attr::Hidden));
}

TEST_F(HostFiles, ForeignDosAttribValuesAreReadAsHexText) {
    if (!test::hostKeepsDosAttributes(c)) GTEST_SKIP() << "no user extended attributes here";
    drives.writeFile("C:\\g", "x");
    const std::string host = drives.hostPath("C:\\g");
    setxattr(host.c_str(), "user.DOSATTRIB", "0x26", 4, 0);
    EXPECT_EQ(p.attributes("C:\\g"),
              attr::Hidden | attr::System | attr::Archive);  // 0x01 of 0x27 is not taken from it
    setxattr(host.c_str(), "user.DOSATTRIB", "garbage", 7, 0);
    EXPECT_EQ(p.attributes("C:\\g"), attr::Archive);
}

TEST_F(HostFiles, OpenModes) {
    auto out = p.open("C:\\new.bin", OpenMode::Create);
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(out->write("hello world", 11));
    EXPECT_EQ(out->size(), 11);
    char b[4];
    EXPECT_EQ(out->read(b, 4), -1);  // write only
    EXPECT_TRUE(out->close());
    EXPECT_TRUE(out->close());  // idempotent
    EXPECT_FALSE(out->write("x", 1));

    auto rw = p.open("C:\\NEW.BIN", OpenMode::ReadWrite);
    ASSERT_NE(rw, nullptr);
    EXPECT_TRUE(rw->seek(6));
    EXPECT_TRUE(rw->write("WORLD", 5));
    EXPECT_EQ(rw->position(), 11);
    EXPECT_TRUE(rw->close());

    auto in = p.open("C:\\new.bin", OpenMode::Read);
    ASSERT_NE(in, nullptr);
    char buffer[32] = {};
    EXPECT_EQ(in->read(buffer, sizeof buffer), 11);
    EXPECT_STREQ(buffer, "hello WORLD");
    EXPECT_EQ(in->read(buffer, sizeof buffer), 0);
    EXPECT_FALSE(in->write("x", 1));
    EXPECT_TRUE(in->seek(5000000000LL));  // 64-bit offsets
    EXPECT_EQ(in->position(), 5000000000LL);

    // Create truncates; ReadWrite and Read need an existing file.
    auto again = p.open("C:\\new.bin", OpenMode::Create);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->size(), 0);
    EXPECT_EQ(p.open("C:\\none.bin", OpenMode::ReadWrite), nullptr);
    EXPECT_EQ(p.open("C:\\none.bin", OpenMode::Read), nullptr);
    EXPECT_EQ(p.open("C:\\no\\folder.bin", OpenMode::Create), nullptr);
}

TEST_F(HostFiles, DevicesAreNeverOpened) {
    fs::create_symlink("/dev/zero", c + "/zero");
    EXPECT_EQ(p.open("C:\\zero", OpenMode::Read), nullptr);
    EXPECT_EQ(p.open("C:\\zero", OpenMode::ReadWrite), nullptr);
}

// Why a file cannot be read, for the message that tells the user.
TEST_F(HostFiles, ReadRefusalNamesTheCause) {
    drives.writeFile("C:\\a.txt", "x");
    ASSERT_EQ(mkfifo((c + "/pipe").c_str(), 0644), 0);
    fs::create_symlink("/dev/null", c + "/null");
    fs::create_directories(c + "/folder");
    EXPECT_EQ(p.readRefusal("C:\\a.txt"), ReadRefusal::None);
    EXPECT_EQ(p.readRefusal("C:\\A.TXT"), ReadRefusal::None);
    EXPECT_EQ(p.readRefusal("C:\\none.txt"), ReadRefusal::Missing);
    EXPECT_EQ(p.readRefusal("Q:\\a.txt"), ReadRefusal::Missing);
    EXPECT_EQ(p.readRefusal("C:\\pipe"), ReadRefusal::SpecialFile);
    EXPECT_EQ(p.readRefusal("C:\\null"), ReadRefusal::SpecialFile);
    EXPECT_EQ(p.readRefusal("C:\\folder"), ReadRefusal::SpecialFile);
    // The pipe has no writer: opening it to read must not wait for one.
    EXPECT_EQ(p.open("C:\\pipe", OpenMode::Read), nullptr);

    const auto listed = p.find("C:\\*", attr::AnyFile);
    for (const FindEntry& e : listed)
        EXPECT_EQ(e.special, e.name == "pipe" || e.name == "null") << e.name;

    if (geteuid() != 0) {  // the superuser reads everything
        fs::permissions(c + "/a.txt", fs::perms::none);
        EXPECT_EQ(p.readRefusal("C:\\a.txt"), ReadRefusal::AccessDenied);
    }
}

TEST_F(HostFiles, FolderAndFileCalls) {
    EXPECT_TRUE(p.createDirectory("C:\\Neu"));
    EXPECT_FALSE(p.createDirectory("C:\\neu"));   // exists already, whatever the case
    EXPECT_FALSE(p.createDirectory("C:\\a\\b"));  // one level only
    EXPECT_TRUE(p.directoryExists("C:\\NEU"));
    EXPECT_FALSE(p.fileExists("C:\\neu"));
    drives.writeFile("C:\\Neu\\x.txt", "1");
    drives.writeFile("C:\\Neu\\y.txt", "22");
    EXPECT_TRUE(p.fileExists("C:\\neu\\X.TXT"));
    EXPECT_FALSE(p.directoryExists("C:\\neu\\x.txt"));
    EXPECT_FALSE(p.removeDirectory("C:\\neu"));                     // not empty
    EXPECT_TRUE(p.renameFile("C:\\neu\\x.txt", "C:\\neu\\y.txt"));  // replaces
    EXPECT_EQ(drives.readFile("C:\\Neu\\y.txt"), "1");
    EXPECT_TRUE(p.renameFile("C:\\neu\\y.txt", "C:\\NEU\\Y.Txt"));  // a change of case only
    ASSERT_EQ(p.find("C:\\neu\\*", attr::AnyFile).size(), 1u);
    EXPECT_EQ(p.find("C:\\neu\\*", attr::AnyFile)[0].name, "Y.Txt");
    EXPECT_FALSE(p.removeFile("C:\\neu"));
    EXPECT_TRUE(p.removeFile("C:\\neu\\Y.txt"));
    EXPECT_FALSE(p.removeFile("C:\\neu\\Y.txt"));
    EXPECT_TRUE(p.removeDirectory("C:\\neu"));
    EXPECT_FALSE(p.directoryExists("C:\\neu"));
}

// The queries of a path that names a file, a link or a folder answer alike
// whichever way the path was looked up (as spelled on disk, or through the
// case-insensitive walk): a link is followed, a dangling one is seen as
// itself, and a file asked for as a folder is no file.
TEST_F(HostFiles, QueriesFollowLinksAndRefuseAFileAskedForAsAFolder) {
    drives.writeFile("C:\\Doc\\a.txt", "abc");
    drives.makeFolder("C:\\Doc\\Sub");
    fs::create_symlink(c + "/Doc/a.txt", c + "/Doc/lien.txt");
    fs::create_directory_symlink(c + "/Doc/Sub", c + "/Doc/LienSub");
    fs::create_symlink(c + "/Doc/absent", c + "/Doc/pendant");
    for (const char* file : {"C:\\Doc\\a.txt", "C:\\doc\\A.TXT", "C:\\Doc\\lien.txt"}) {
        SCOPED_TRACE(file);
        EXPECT_TRUE(p.fileExists(file));
        EXPECT_FALSE(p.directoryExists(file));
        EXPECT_EQ(p.pathInfo(file).kind, PathInfo::Kind::File);
        EXPECT_EQ(p.pathInfo(file).size, 3);
        EXPECT_EQ(p.attributes(file), attr::Archive);
        EXPECT_TRUE(p.fileLastWriteDos(file));
        const std::unique_ptr<File> opened = p.open(file, OpenMode::Read);
        ASSERT_TRUE(opened);
        char bytes[4] = {};
        EXPECT_EQ(opened->read(bytes, 4), 3);
        const std::string asFolder = std::string(file) + "\\";
        EXPECT_FALSE(p.fileExists(asFolder));
        EXPECT_FALSE(p.lastWriteDos(asFolder));
        EXPECT_EQ(p.pathInfo(asFolder).kind, PathInfo::Kind::Missing);
    }
    EXPECT_FALSE(p.find("C:\\Doc\\a.txt", attr::AnyFile).at(0).link);
    EXPECT_TRUE(p.find("C:\\Doc\\lien.txt", attr::AnyFile).at(0).link);
    EXPECT_TRUE(p.find("C:\\Doc\\LienSub", attr::AnyFile).at(0).link);
    EXPECT_TRUE(p.directoryExists("C:\\Doc\\liensub"));
    EXPECT_FALSE(p.fileExists("C:\\Doc\\LienSub"));
    EXPECT_EQ(p.pathInfo("C:\\Doc\\LienSub").kind, PathInfo::Kind::Folder);
    EXPECT_TRUE(p.fileExists("C:\\Doc\\pendant"));  // a dangling link is still a name taken
    EXPECT_EQ(p.pathInfo("C:\\Doc\\pendant").kind, PathInfo::Kind::Missing);
    EXPECT_EQ(p.open("C:\\Doc\\pendant", OpenMode::Read), nullptr);
}

TEST_F(HostFiles, HeldFolderNeverGoesThroughALink) {
    drives.makeFolder("C:\\Dest\\Sub");
    drives.makeFolder("C:\\Outside");
    fs::create_directory_symlink(c + "/Outside", c + "/Dest/Lien");
    fs::create_symlink(c + "/Outside/cible.txt", c + "/Dest/pendant");  // a dangling link
    std::unique_ptr<Folder> dest = p.openFolder("C:\\dest");
    ASSERT_NE(dest, nullptr);
    EXPECT_EQ(dest->path(), "C:\\dest\\");

    // A link is told as a link, under its spelling or in another case.
    const auto link = dest->lookup("LIEN");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->name, "Lien");
    EXPECT_EQ(link->kind, FolderEntry::Kind::Link);
    EXPECT_EQ(dest->lookup("sub")->kind, FolderEntry::Kind::Folder);
    EXPECT_FALSE(dest->lookup("absent"));
    EXPECT_FALSE(dest->lookup(".."));
    EXPECT_FALSE(dest->lookup("Sub/.."));

    // Never opened through, nor created through, unless asked for a link of
    // the user's own.
    EXPECT_EQ(dest->openFolder("Lien", false), nullptr);
    EXPECT_EQ(dest->createFile("pendant"), nullptr);
    EXPECT_FALSE(fs::exists(c + "/Outside/cible.txt"));
    auto through = dest->openFolder("Lien", true);
    ASSERT_NE(through, nullptr);
    EXPECT_EQ(through->path(), "C:\\dest\\Lien\\");

    // Files are made exclusively, mode 0600; a rename replaces only when asked.
    auto file = dest->createFile("a.tmp");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(dest->createFile("a.tmp"), nullptr);
    ASSERT_TRUE(file->write("abc", 3));
    ASSERT_TRUE(file->setLastWriteDos(0x5A210000));
    ASSERT_TRUE(file->flush());
    ASSERT_TRUE(file->close());
    EXPECT_EQ(fs::status(c + "/Dest/a.tmp").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(p.lastWriteDos("C:\\Dest\\a.tmp"), 0x5A210000);
    drives.writeFile("C:\\Dest\\b.txt", "old");
    EXPECT_FALSE(dest->rename("a.tmp", "b.txt", false));
    EXPECT_EQ(drives.readFile("C:\\Dest\\b.txt"), "old");
    EXPECT_TRUE(dest->rename("a.tmp", "b.txt", true));
    EXPECT_EQ(drives.readFile("C:\\Dest\\b.txt"), "abc");
    EXPECT_TRUE(dest->flush());
}

TEST_F(HostFiles, SetExecutableAddsExecuteWhereReadIs) {
    drives.writeFile("C:\\prog", "#!/bin/sh\n");
    chmod((c + "/prog").c_str(), 0640);
    ASSERT_TRUE(p.setExecutable("C:\\prog"));
    struct stat st;
    stat((c + "/prog").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0750u);
    EXPECT_FALSE(p.setExecutable("C:\\Temp"));
}

TEST_F(HostFiles, LastWriteTimesInMsDosFormAndLocalTime) {
    setenv("TZ", "Europe/Paris", 1);
    tzset();
    drives.writeFile("C:\\t.txt", "x");
    // 2003-07-14 15:42:37 local (summer time): seconds are kept in 2-second steps.
    struct tm tm {};
    tm.tm_year = 103;
    tm.tm_mon = 6;
    tm.tm_mday = 14;
    tm.tm_hour = 15;
    tm.tm_min = 42;
    tm.tm_sec = 37;
    tm.tm_isdst = -1;
    const time_t t = mktime(&tm);
    const timespec times[2] = {{t, 0}, {t, 0}};
    utimensat(AT_FDCWD, drives.hostPath("C:\\t.txt").c_str(), times, 0);
    const int32_t expected = ((23 << 9 | 7 << 5 | 14) << 16) | (15 << 11 | 42 << 5 | 18);
    EXPECT_EQ(p.lastWriteDos("C:\\t.txt"), expected);
    EXPECT_TRUE(p.setLastWriteDos("C:\\t.txt", expected));
    EXPECT_EQ(p.lastWriteDos("C:\\T.TXT"), expected);
    struct stat st;
    stat(drives.hostPath("C:\\t.txt").c_str(), &st);
    EXPECT_EQ(st.st_mtime, t - 1);
    // Before 1980: the first MS-DOS time.
    const timespec old[2] = {{100000, 0}, {100000, 0}};
    utimensat(AT_FDCWD, drives.hostPath("C:\\t.txt").c_str(), old, 0);
    EXPECT_EQ(p.lastWriteDos("C:\\t.txt"), 0x00210000);
    EXPECT_FALSE(p.lastWriteDos("C:\\none"));
    EXPECT_FALSE(p.setLastWriteDos("C:\\t.txt", 0x00000000));  // month 0 is no date
}

}  // namespace
}  // namespace kv
