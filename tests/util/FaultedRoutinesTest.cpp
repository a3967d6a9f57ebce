// File, shell and settings routines under injected faults: free space, result
// codes of the opener, disks that fill up, files that can't be read.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/FaultPlatform.h"
#include "support/RecordingUi.h"
#include "util/Error.h"
#include "util/FileRoutines.h"
#include "util/IniFile.h"
#include "util/PathHelpers.h"
#include "util/ShellRoutines.h"

namespace {

using kv::test::RecordingUi;

class Faulted : public testing::Test {
  protected:
    void SetUp() override {
        drives.add('D', kv::DriveType::Fixed, "DONNEES", 0xD0D0D0D0);
        fp.install();
    }

    kv::test::TempDrives drives;
    kv::test::FaultPlatform fp;
    RecordingUi ui;
};

TEST_F(Faulted, RoomForCopyNeedsMoreThanSizePlusHundred) {
    drives.writeFile("C:\\new.kvr", std::string(5000, 'a'));
    fp.setFreeBytes('D', 5100);
    EXPECT_FALSE(kv::HasRoomForCopy("C:\\new.kvr", "D:\\Sauve\\old.kvr"));
    fp.setFreeBytes('D', 5101);
    EXPECT_TRUE(kv::HasRoomForCopy("C:\\new.kvr", "D:\\Sauve\\old.kvr"));
    // A missing source counts as 0 bytes.
    fp.setFreeBytes('D', 100);
    EXPECT_FALSE(kv::HasRoomForCopy("C:\\absent.kvr", "D:\\old.kvr"));
    fp.setFreeBytes('D', 101);
    EXPECT_TRUE(kv::HasRoomForCopy("C:\\absent.kvr", "D:\\old.kvr"));
    // A drive that can't be queried has no room.
    fp.ejectMedium('D');
    EXPECT_FALSE(kv::HasRoomForCopy("C:\\new.kvr", "D:\\old.kvr"));
    EXPECT_FALSE(kv::HasRoomForCopy("C:\\new.kvr", "Q:\\old.kvr"));
}

TEST_F(Faulted, OtherFirstCharactersAreMeasuredOnTheCurrentDrive) {
    drives.writeFile("C:\\new.kvr", std::string(900, 'a'));
    fp.setFreeBytes('C', 10);
    fp.setFreeBytes('D', 1000000);
    fp.setCurrentDrive('C');
    EXPECT_FALSE(kv::HasRoomForCopy("C:\\new.kvr", "d:\\old.kvr"));
    EXPECT_FALSE(kv::HasRoomForCopy("C:\\new.kvr", "\\\\serveur\\partage\\old.kvr"));
    EXPECT_TRUE(kv::HasRoomForCopy("C:\\new.kvr", "D:\\old.kvr"));
    fp.setCurrentDrive('D');
    EXPECT_TRUE(kv::HasRoomForCopy("C:\\new.kvr", "d:\\old.kvr"));
    EXPECT_TRUE(kv::HasRoomForCopy("C:\\new.kvr", "\\\\serveur\\partage\\old.kvr"));
}

TEST_F(Faulted, CopyOntoAFullDiskRaisesAndLeavesTheDestinationAsItWas) {
    drives.writeFile("C:\\src.bin", std::string(200000, 's'));
    drives.writeFile("D:\\dst.bin", "l'ancienne copie");
    fp.diskFullAfter("D:\\", 70000);
    EXPECT_THROW(kv::CopyFileContents("C:\\src.bin", "D:\\dst.bin"), kv::Error);
    EXPECT_EQ(drives.readFile("D:\\dst.bin"), "l'ancienne copie");
    EXPECT_EQ(kv::platform().find("D:\\*.*", kv::attr::AnyFile).size(), 1u);  // nothing beside
    EXPECT_EQ(kv::FileSizeOf("C:\\src.bin"), 200000);
}

TEST_F(Faulted, CopyReportsReadAndCloseFailures) {
    drives.writeFile("C:\\src.bin", std::string(100000, 's'));
    fp.failReadAfter("C:\\src.bin", 1000);
    try {
        kv::CopyFileContents("C:\\src.bin", "D:\\dst.bin");
        FAIL() << "no error";
    } catch (const kv::Error& e) {
        EXPECT_STREQ(e.what(), "Erreur de lecture du fichier C:\\src.bin");
    }
    fp.reset();
    fp.failClose("D:\\~kvr*.tmp");  // the copy is written beside the destination
    EXPECT_THROW(kv::CopyFileContents("C:\\src.bin", "D:\\dst.bin"), kv::Error);
    fp.reset();
    fp.failOpen("D:\\*.tmp", kv::OpenMode::Create);
    try {
        kv::CopyFileContents("C:\\src.bin", "D:\\dst.bin");
        FAIL() << "no error";
    } catch (const kv::Error& e) {
        EXPECT_STREQ(e.what(), "Impossible de créer le fichier D:\\dst.bin");
    }
}

TEST_F(Faulted, CdRomDriveAndRemovableCaption) {
    drives.add('E', kv::DriveType::Fixed, "CD", 1);
    fp.setDriveType('E', kv::DriveType::CdRom);
    EXPECT_TRUE(kv::IsCdRomDrive("E:\\"));
    EXPECT_FALSE(kv::IsCdRomDrive("D:\\"));
    EXPECT_FALSE(kv::IsCdRomDrive("Q:\\"));

    drives.add('F', kv::DriveType::Removable, "CLE", 0x1A2B3C4D);
    auto f = kv::DriveLabel('F');
    EXPECT_EQ(f.serial, 0x1A2B3C4D);
    EXPECT_EQ(f.text, kv::RemoveBackslash(kv::ShellDisplayName("F:\\\\")));
    EXPECT_FALSE(f.text.empty());
    EXPECT_NE(f.text.back(), '\\');
    fp.ejectMedium('F');
    EXPECT_EQ(kv::DriveLabel('F').serial, -1);
    EXPECT_EQ(kv::DriveSerial('F'), -1);
    fp.changeMedium('F', 0x55556666, "AUTRE");
    EXPECT_EQ(kv::DriveSerial('F'), 0x55556666);
}

struct LaunchCase {
    const char* name;
    int result;
    const char* message;  // "" when nothing is shown
};

class LaunchMessages : public testing::TestWithParam<LaunchCase> {
  protected:
    kv::test::TempDrives drives;
    kv::test::FaultPlatform fp;
    RecordingUi ui;
};

TEST_P(LaunchMessages, ErrorBoxFromTheResultCode) {
    fp.install();
    fp.setOpenDocumentResult(GetParam().result);
    kv::LaunchDocument(ui, "Vantrel.exe", "C:\\Korvelt\\");
    ASSERT_EQ(fp.openedDocuments().size(), 1u);
    EXPECT_EQ(fp.openedDocuments()[0].file, "Vantrel.exe");
    EXPECT_EQ(fp.openedDocuments()[0].folder, "C:\\Korvelt\\");
    std::string expected = GetParam().message;
    if (expected.empty()) {
        EXPECT_TRUE(ui.messages.empty());
        return;
    }
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, kv::MessageKind::Error);
    EXPECT_EQ(ui.messages[0].buttons, kv::Buttons::Ok);
    EXPECT_EQ(ui.messages[0].text, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LaunchMessages,
    testing::Values(
        LaunchCase{"Started", 42, ""}, LaunchCase{"JustAbove", 33, ""},
        LaunchCase{"OutOfMemory", 0, "Mémoire insuffisante pour ouvrir le fichier Vantrel.exe"},
        LaunchCase{"FileNotFound", 2, "Impossible de trouver le fichier Vantrel.exe"},
        LaunchCase{"PathNotFoundNamesTheFolder", 3,
                   "Le chemin d'accès n'est pas valide C:\\Korvelt\\"},
        LaunchCase{"NoMemory8", 8, "Mémoire insuffisante pour ouvrir le fichier Vantrel.exe"},
        LaunchCase{"NoAssociation", 31, "Aucune extension n'est associée à ce fichier"},
        LaunchCase{"Dll", 32, "La transaction DDE à échouée"}, LaunchCase{"NotInTheTable", 5, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Faulted, LaunchCutsLongNamesWithoutSplittingACharacter) {
    fp.setOpenDocumentResult(42);
    std::string longName = std::string(253, 'a') + "é.txt";  // 'é' would straddle byte 254
    kv::LaunchDocument(ui, longName, "C:\\");
    ASSERT_EQ(fp.openedDocuments().size(), 1u);
    EXPECT_EQ(fp.openedDocuments()[0].file, std::string(253, 'a'));
}

TEST_F(Faulted, HelpPageOpensFromTheProgramFolderOrWarns) {
    fp.setOpenDocumentResult(42);
    kv::ShowHelpPage("search.htm", true, ui);
    std::string home = kv::platform().programFolder();
    ASSERT_EQ(fp.openedDocuments().size(), 1u);
    EXPECT_EQ(fp.openedDocuments()[0].file, home + "Help\\search.htm");
    EXPECT_EQ(fp.openedDocuments()[0].folder, home + "Help");
    EXPECT_TRUE(ui.messages.empty());

    kv::ShowHelpPage("index.htm", false, ui);
    EXPECT_EQ(fp.openedDocuments().size(), 1u);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, kv::MessageKind::Warning);
    EXPECT_EQ(ui.messages[0].text, "Le fichier d'aide de Korvelt est introuvable");

    fp.setOpenDocumentResult(2);
    kv::ShowHelpPage("option.htm", true, ui);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text, "Impossible de trouver le fichier " + home + "Help\\option.htm");
}

TEST_F(Faulted, ShortcutIsADesktopEntryWrittenAndDeletedByItsName) {
    drives.writeFile("C:\\Korvelt\\Vantrel.exe", "#!/bin/sh\n");
    std::string startup = kv::GetShellFolder("startup");
    EXPECT_EQ(startup, kv::GetShellFolder("STARTUP"));
    EXPECT_EQ(kv::GetShellFolder("NoSuchFolder"), "");
    const std::string name = "C:\\Demarrage\\Automate de Korvelt";
    EXPECT_TRUE(kv::CreateShortcut("C:\\Korvelt\\Vantrel.exe", name));
    // The autostart folder of the desktop takes only *.desktop files.
    EXPECT_TRUE(kv::platform().fileExists(name + ".desktop"));
    EXPECT_FALSE(kv::platform().fileExists(name + ".lnk"));
    EXPECT_TRUE(kv::ShortcutExists(name));
    // One left under the Windows name goes with it.
    drives.writeFile(name + ".lnk", "[Desktop Entry]\n");
    EXPECT_TRUE(kv::DeleteShortcut(name));
    EXPECT_FALSE(kv::ShortcutExists(name));
    EXPECT_EQ(kv::ShortcutHostFileName("C:\\s\\Vantrel.LnK"), "C:\\s\\Vantrel.desktop");
}

TEST_F(Faulted, SettingsWriteOnAFullDiskLeavesTheOldFile) {
    const std::string before = "[Window]\r\nWidthSize=640\r\nHeightSize=480\r\n";
    drives.writeFile("D:\\Korvelt.cfg", before);
    fp.diskFullAfter("D:\\", 10);
    kv::IniFile ini("D:\\Korvelt.cfg");
    EXPECT_FALSE(ini.writeInteger("Window", "WidthSize", 1024));
    EXPECT_EQ(drives.readFile("D:\\Korvelt.cfg"), before);
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(drives.root('D')))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1);  // nothing of the failed write is left
}

TEST_F(Faulted, SettingsFileThatCantBeReadIsNotReplaced) {
    const std::string before = "[Window]\r\nWidthSize=640\r\nHeightSize=480\r\n";
    drives.writeFile("D:\\Korvelt.cfg", before);
    fp.failReadAfter("D:\\Korvelt.cfg", 5);
    kv::IniFile ini("D:\\Korvelt.cfg");
    EXPECT_EQ(ini.readInteger("Window", "WidthSize", 7), 7);
    EXPECT_FALSE(ini.writeInteger("List", "Tri", 2));
    fp.reset();
    fp.failOpen("D:\\Korvelt.cfg", kv::OpenMode::Read);
    EXPECT_FALSE(ini.writeInteger("List", "Tri", 2));
    fp.reset();
    EXPECT_EQ(drives.readFile("D:\\Korvelt.cfg"), before);
}

}  // namespace
