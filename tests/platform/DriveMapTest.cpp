#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/DriveMap.h"
#include "platform/HostPlatform.h"
#include "tests/support/FaultPlatform.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

TEST(DriveSpec, FullEntriesAndDefaults) {
    std::vector<std::string> errors;
    const auto d = drivemap::parseDriveList(
        " d=/media/usb/:removable:USBKEY:1A2B3C4D ; C=/ ; "
        "E:=/mnt/cd:CDROM::0x00ABCDEF:nomedia;F=/srv:remote:Partage:1A2B-3C4D",
        &errors);
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(d.size(), 4u);
    EXPECT_EQ(d[0].letter, 'C');
    EXPECT_EQ(d[0].hostRoot, "/");
    EXPECT_EQ(d[0].type, DriveType::Fixed);
    EXPECT_EQ(d[0].serial, drivemap::hostSerial("/"));
    EXPECT_EQ(d[1].letter, 'D');
    EXPECT_EQ(d[1].hostRoot, "/media/usb");
    EXPECT_EQ(d[1].type, DriveType::Removable);
    EXPECT_EQ(d[1].label, "USBKEY");
    EXPECT_EQ(d[1].serial, 0x1A2B3C4Du);
    EXPECT_TRUE(d[1].mediaPresent);
    EXPECT_EQ(d[2].type, DriveType::CdRom);
    EXPECT_EQ(d[2].label, "");
    EXPECT_EQ(d[2].serial, 0x00ABCDEFu);
    EXPECT_FALSE(d[2].mediaPresent);
    EXPECT_EQ(d[3].serial, 0x1A2B3C4Du);
    EXPECT_EQ(d[3].type, DriveType::Remote);
}

TEST(DriveSpec, MalformedEntriesAreLeftOutAndTold) {
    std::vector<std::string> errors;
    const auto d = drivemap::parseDriveList(
        "C=/;DD=/x;G=relative;H=/h:floppy;I=/i:fixed::XYZ;J=/j:fixed:L:1:bad;K;L=/"
        "l:fixed:L:1:nomedia:more;C=/tmp",
        &errors);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].hostRoot, "/tmp");  // the later C= wins
    EXPECT_EQ(errors.size(), 7u);
    EXPECT_TRUE(drivemap::parseDriveList("").empty());
}

TEST(DriveSpec, TypeNamesRoundTrip) {
    for (int t = 0; t <= 6; ++t) {
        const auto type = static_cast<DriveType>(t);
        EXPECT_EQ(drivemap::typeFromName(drivemap::typeName(type)), type);
    }
    EXPECT_FALSE(drivemap::typeFromName("floppy"));
}

TEST(MountTable, RemovableOpticalAndNetworkMountsGetLettersFromD) {
    const std::string table =
        "/dev/vda / ext4 rw 0 0\n"
        "proc /proc proc rw 0 0\n"
        "/dev/vdb1 /home ext4 rw 0 0\n"
        "/dev/sdb1 /media/user/CLE\\040USB vfat rw 0 0\n"
        "/dev/sr0 /media/user/CDROM iso9660 ro 0 0\n"
        "server:/export /mnt/nfs nfs4 rw 0 0\n"
        "//nas/share /mnt/nas cifs rw 0 0\n"
        "user@host: /mnt/ssh fuse.sshfs rw 0 0\n"
        "/dev/sdb1 /media/user/CLE\\040USB vfat rw 0 0\n"
        "tmpfs /run tmpfs rw 0 0\n";
    drivemap::HostProbe probe;
    probe.isRemovable = [](const std::string& dev) { return dev == "/dev/sdb1"; };
    probe.label = [](const std::string& dev) {
        return dev == "/dev/sdb1" ? std::string("CLE USB") : std::string();
    };
    probe.serial = [](const std::string& root) { return static_cast<uint32_t>(root.size()); };
    const auto d = drivemap::fromMounts(drivemap::parseMounts(table), probe);
    ASSERT_EQ(d.size(), 6u);
    EXPECT_EQ(d[0].letter, 'C');
    EXPECT_EQ(d[0].hostRoot, "/");
    EXPECT_EQ(d[0].serial, 1u);
    EXPECT_EQ(d[1].letter, 'D');
    EXPECT_EQ(d[1].hostRoot, "/media/user/CLE USB");
    EXPECT_EQ(d[1].type, DriveType::Removable);
    EXPECT_EQ(d[1].label, "CLE USB");
    EXPECT_EQ(d[2].type, DriveType::CdRom);
    EXPECT_EQ(d[3].type, DriveType::Remote);
    EXPECT_EQ(d[4].hostRoot, "/mnt/nas");
    EXPECT_EQ(d[5].letter, 'H');
    EXPECT_EQ(d[5].hostRoot, "/mnt/ssh");
}

TEST(MountTable, LettersStopAtZ) {
    std::string table;
    for (int i = 0; i < 40; ++i) table += "s:/x /mnt/n" + std::to_string(i) + " nfs rw 0 0\n";
    const auto d = drivemap::fromMounts(drivemap::parseMounts(table), {});
    ASSERT_EQ(d.size(), 24u);
    EXPECT_EQ(d.back().letter, 'Z');
}

TEST(HostDrives, KorveltDrivesReplacesTheMap) {
    const std::string dir = fs::temp_directory_path() / ("kv-drives-" + std::to_string(getpid()));
    fs::create_directories(dir + "/Sub");
    setenv("KORVELT_DRIVES", ("M=" + dir + ":ramdisk:RAM:DEADBEEF").c_str(), 1);
    {
        HostPlatform host;  // reads the variable on first use
        const auto all = host.drives();
        ASSERT_EQ(all.size(), 1u);
        EXPECT_EQ(host.logicalDrives(), 1u << ('M' - 'A'));
        EXPECT_EQ(host.driveType("M:\\"), DriveType::RamDisk);
        EXPECT_EQ(host.driveType("C:\\"), DriveType::NoRootDir);
        EXPECT_EQ(host.toHost("m:\\sub"), dir + "/Sub");
        std::string label;
        uint32_t serial = 0;
        EXPECT_TRUE(host.volumeInformation("M:\\", label, serial));
        EXPECT_EQ(label, "RAM");
        EXPECT_EQ(serial, 0xDEADBEEFu);
    }
    unsetenv("KORVELT_DRIVES");
    fs::remove_all(dir);
}

TEST(HostDrives, DefaultMapStartsWithCAtTheRoot) {
    unsetenv("KORVELT_DRIVES");
    HostPlatform host;
    const auto c = host.drive('C');
    ASSERT_TRUE(c);
    EXPECT_EQ(c->hostRoot, "/");
    EXPECT_EQ(c->type, DriveType::Fixed);
    EXPECT_EQ(host.toWindows("/usr/bin"), "C:\\usr\\bin");
    EXPECT_GE(host.mountWatchHandle(), 0);
}

class VolumeCalls : public testing::Test {
  protected:
    test::TempDrives drives;
    Platform& p = hostPlatform();
};

TEST_F(VolumeCalls, DriveTypesLabelsAndTheDriveMask) {
    drives.add('D', DriveType::Removable, "CLE", 0x1A2B3C4D);
    drives.add('E', DriveType::CdRom);
    drives.add('Z', DriveType::Remote, "NAS");
    EXPECT_EQ(p.logicalDrives(), (1u << 2) | (1u << 3) | (1u << 4) | (1u << 25));
    EXPECT_EQ(p.driveType("D:\\"), DriveType::Removable);
    EXPECT_EQ(p.driveType("d:"), DriveType::Removable);
    EXPECT_EQ(p.driveType("E:/"), DriveType::CdRom);
    EXPECT_EQ(p.driveType("Z:\\"), DriveType::Remote);
    EXPECT_EQ(p.driveType("C:\\Temp"), DriveType::NoRootDir);
    EXPECT_EQ(p.driveType("Q:\\"), DriveType::NoRootDir);
    std::string label;
    uint32_t serial = 0;
    ASSERT_TRUE(p.volumeInformation("D:\\", label, serial));
    EXPECT_EQ(label, "CLE");
    EXPECT_EQ(serial, 0x1A2B3C4Du);
    EXPECT_FALSE(p.volumeInformation("Q:\\", label, serial));
    EXPECT_EQ(p.displayName("D:\\"), "CLE (D:)");
    EXPECT_EQ(p.displayName("E:"), "Lecteur CD (E:)");
    EXPECT_EQ(p.displayName("C:\\"), "SYSTEME (C:)");
    EXPECT_EQ(p.displayName("Q:\\"), "");
}

TEST_F(VolumeCalls, EveryMapChangeBumpsTheGeneration) {
    const uint64_t before = p.mountGeneration();
    drives.add('D', DriveType::Removable);
    const uint64_t after = p.mountGeneration();
    EXPECT_GT(after, before);
    EXPECT_EQ(p.mountGeneration(), after);
    drives.remove('D');
    EXPECT_GT(p.mountGeneration(), after);
    EXPECT_FALSE(p.drive('D'));
}

TEST_F(VolumeCalls, FreeSpaceIsMeasuredOnTheDeepestExistingFolder) {
    const int64_t free = p.freeBytes("C:\\");
    EXPECT_GT(free, 0);
    // A missing file in a missing folder is measured where the path exists.
    EXPECT_GT(p.freeBytes("C:\\no\\such\\file.kvr"), 0);
    EXPECT_EQ(p.freeBytes("Q:\\x"), -1);
}

TEST_F(VolumeCalls, CurrentTempAndProgramFolders) {
    char old[4096];
    ASSERT_TRUE(getcwd(old, sizeof old));
    const std::string d = drives.add('D');
    ASSERT_EQ(chdir(d.c_str()), 0);
    EXPECT_EQ(p.currentDrive(), 'D');
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_EQ(p.currentDrive(), 'C');  // no drive holds "/": C is the answer
    ASSERT_EQ(chdir(old), 0);
    EXPECT_EQ(p.tempFolder(), "C:\\Temp\\");
    EXPECT_EQ(p.programFolder(), "C:\\Korvelt\\");
}

}  // namespace
}  // namespace kv
