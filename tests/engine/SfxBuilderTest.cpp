#include <gtest/gtest.h>
#include <sys/stat.h>

#include "HandMadeArchive.h"
#include "engine/SfxBuilder.h"
#include "platform/Platform.h"
#include "support/FaultPlatform.h"
#include "support/RecordingUi.h"

namespace kv {
namespace {

class SfxBuilderTest : public testing::Test {
  protected:
    void SetUp() override {
        stub = std::string(
                   "\x7F"
                   "ELF stub bytes",
                   15) +
               std::string(3000, '\x90');
        test::writeWinFile("C:\\Korvelt\\sfx.bin", stub);
    }

    test::TempDrives drives;
    test::RecordingUi ui;
    std::string stub;
};

TEST_F(SfxBuilderTest, StubThenArchiveThenTheStubSizeLittleEndian) {
    const std::string archive = std::string("\x11[File Korvelt V1]", 18) + std::string(84, '\0');
    test::writeWinFile("C:\\empty.kvr", archive);

    ASSERT_TRUE(BuildSelfExtractor("C:\\empty.kvr", "C:\\out.exe", ui));
    const std::string out = test::readWinFile("C:\\out.exe");
    const std::size_t s = stub.size();
    ASSERT_EQ(out.size(), s + archive.size() + 4);
    EXPECT_EQ(out.substr(0, s), stub);
    EXPECT_EQ(out.substr(s, archive.size()), archive);
    EXPECT_EQ(out.substr(s + archive.size()), std::string({char(s & 0xFF), char(s >> 8), 0, 0}));
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"L'archive auto-extractible a été construite avec succès."});
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Information);

    struct stat info {};
    ASSERT_EQ(stat(platform().toHost("C:\\out.exe")->c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IXUSR);

    // Building again over the same name gives the same bytes.
    test::writeWinFile("C:\\out.exe", std::string(50000, 'z'));
    ASSERT_TRUE(BuildSelfExtractor("C:\\empty.kvr", "C:\\out.exe", ui));
    EXPECT_EQ(test::readWinFile("C:\\out.exe"), out);
}

TEST_F(SfxBuilderTest, MissingStubWarnsAndWritesNothing) {
    test::writeWinFile("C:\\a.kvr", std::string(format::HeaderSize, '\0'));
    platform().removeFile("C:\\Korvelt\\sfx.bin");
    EXPECT_FALSE(BuildSelfExtractor("C:\\a.kvr", "C:\\out.exe", ui));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(ui.messages[0].text,
              "Impossible de créer une archive autoextractible,\rle fichier sfx.bin est "
              "absent, réinstallez le programme\rafin de remédier à ce problème.");
    EXPECT_FALSE(platform().fileExists("C:\\out.exe"));
}

TEST_F(SfxBuilderTest, NoArchiveDoesNothingAndAnUnwritableOutputFails) {
    EXPECT_FALSE(BuildSelfExtractor("", "C:\\out.exe", ui));
    EXPECT_FALSE(BuildSelfExtractor("C:\\absent.kvr", "C:\\out.exe", ui));
    EXPECT_TRUE(ui.messages.empty());

    test::writeWinFile("C:\\a.kvr", std::string(format::HeaderSize, '\0'));
    EXPECT_FALSE(BuildSelfExtractor("C:\\a.kvr", "C:\\NoSuchFolder\\out.exe", ui));
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"Impossible de créer l'archive autoextractible!"});
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
}

TEST_F(SfxBuilderTest, FullDiskLeavesAnExistingOutputWhole) {
    drives.writeFile("C:\\Arch\\a.kvr", std::string("\x11[File Korvelt V1]", 18) +
                                            std::string(84, '\0') + std::string(20000, 'p'));
    drives.writeFile("C:\\Sortie\\out.exe", "l'ancien auto-extractible");
    test::FaultPlatform fault;
    fault.install();
    fault.diskFullAfter("C:\\Sortie\\", 10000);

    EXPECT_FALSE(BuildSelfExtractor("C:\\Arch\\a.kvr", "C:\\Sortie\\out.exe", ui));

    fault.reset();
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"Impossible de créer l'archive autoextractible!"});
    EXPECT_EQ(test::readWinFile("C:\\Sortie\\out.exe"), "l'ancien auto-extractible");
    EXPECT_EQ(platform().find("C:\\Sortie\\*.*", attr::AnyFile).size(), 1u);
}

}  // namespace
}  // namespace kv
