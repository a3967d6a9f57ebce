#include <gtest/gtest.h>

#include "EngineRunFixture.h"
#include "engine/ArchiveRun.h"
#include "engine/CatalogReader.h"
#include "engine/HeaderUpdate.h"

namespace kv {
namespace {

class HeaderUpdateTest : public test::EngineRunFixture {
  protected:
    void SetUp() override {
        EngineRunFixture::SetUp();
        addFile("C:\\Docs\\a.txt", "alpha");
        archive.comment = std::string(40, 'L');
        ASSERT_TRUE(ArchiveFiles(archive, options, env, ui).clean());
        // A reserved byte some other writer set.
        std::string bytes = bytesOf(Archive);
        bytes[18] = '\x07';
        drives.writeFile(Archive, bytes);
        ui = test::RecordingUi();
    }
};

TEST_F(HeaderUpdateTest, ShorterCommentRewritesOnlyTheHeader) {
    const std::string before = bytesOf(Archive);
    archive.comment = "dix lettre";
    archive.listChanged = true;

    EXPECT_TRUE(WriteHeaderOnly(archive, ui));

    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"L'en-tête du fichier a été modifiée"});
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Information);
    const std::string after = bytesOf(Archive);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after[18], '\x07');
    EXPECT_EQ(after[19], '\x0A');
    EXPECT_EQ(after.substr(20, 10), "dix lettre");
    EXPECT_EQ(after.substr(30),
              before.substr(30));  // leftovers of the old comment, then the entries
    EXPECT_TRUE(archive.listChanged);

    archive.comment.clear();
    LoadArchive(archive, ui);
    EXPECT_EQ(archive.comment, "dix lettre");
}

TEST_F(HeaderUpdateTest, EmptyCommentGivesLengthZeroAndLongOnesAreCut) {
    archive.comment = "";
    EXPECT_TRUE(WriteHeaderOnly(archive, ui));
    EXPECT_EQ(bytesOf(Archive)[19], '\0');

    archive.comment = std::string(90, 'x');
    EXPECT_TRUE(WriteHeaderOnly(archive, ui));
    EXPECT_EQ(bytesOf(Archive)[19], char(82));
}

TEST_F(HeaderUpdateTest, IncompatibleFileIsLeftAsItWas) {
    std::string bytes = bytesOf(Archive);
    bytes[5] = '?';
    drives.writeFile(Archive, bytes);
    archive.comment = "nouveau";

    EXPECT_FALSE(WriteHeaderOnly(archive, ui));

    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{format::IncompatibleMessage});
    EXPECT_EQ(bytesOf(Archive), bytes);
}

struct HeaderFault {
    const char* name;
    void (*arm)(test::FaultPlatform& fault);
};

class HeaderUpdateFailure : public HeaderUpdateTest,
                            public testing::WithParamInterface<HeaderFault> {};

TEST_P(HeaderUpdateFailure, SaysItCouldNotAndChangesNothing) {
    const std::string before = bytesOf(Archive);
    test::FaultPlatform fault;
    fault.install();
    GetParam().arm(fault);
    archive.comment = "nouveau";

    EXPECT_FALSE(WriteHeaderOnly(archive, ui));

    fault.reset();
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"Impossible de modifier l'en-tête du fichier"});
    EXPECT_EQ(ui.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(bytesOf(Archive), before);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, HeaderUpdateFailure,
    testing::Values(
        HeaderFault{"ReadOnlyMedium",
                    [](test::FaultPlatform& f) {
                        f.failOpen("C:\\Arch\\backup.kvr", OpenMode::ReadWrite);
                    }},
        HeaderFault{"Locked",
                    [](test::FaultPlatform& f) { f.holdExclusively("C:\\Arch\\backup.kvr"); }},
        HeaderFault{"ReadFails",
                    [](test::FaultPlatform& f) { f.failReadAfter("C:\\Arch\\backup.kvr", 10); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HeaderUpdateTest, ArchiveThatIsGoneIsNotCreated) {
    remove(Archive);
    EXPECT_FALSE(WriteHeaderOnly(archive, ui));
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"Impossible de modifier l'en-tête du fichier"});
    EXPECT_FALSE(exists(Archive));
}

}  // namespace
}  // namespace kv
