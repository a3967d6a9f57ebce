// The text listing's lines and fields, its replacement of an earlier file only
// by a complete one, and the printed listing's page and unit arithmetic.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/FaultPlatform.h"
#include "util/PrintLayout.h"
#include "util/TextListing.h"

namespace {

struct FieldCase {
    const char* name;
    const char* text;
    const char* written;
};

class ListingField : public testing::TestWithParam<FieldCase> {};

TEST_P(ListingField, IsQuotedOnlyWhenAReaderCouldNotSplitItBack) {
    EXPECT_EQ(kv::listingField(GetParam().text), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListingField,
    testing::Values(FieldCase{"Plain", "lettre.doc", "lettre.doc"},
                    FieldCase{"Accents", "Été à Noël.txt", "Été à Noël.txt"},
                    FieldCase{"Empty", "", ""}, FieldCase{"Blanks", " a b ", " a b "},
                    FieldCase{"Semicolon", "a;b.txt", "\"a;b.txt\""},
                    FieldCase{"SemicolonAndQuote", "dit \"oui\";non", "\"dit \"\"oui\"\";non\""},
                    FieldCase{"QuoteAlone", "\"cité\".txt", "\"\"\"cité\"\".txt\""},
                    FieldCase{"LineEnd", "deux\nlignes", "\"deux\nlignes\""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ListingLine, JoinsSixTextsWithoutTrailingSeparatorAndEndsInCrLf) {
    std::string out;
    kv::appendListingLine(out, {"a.txt", "C:\\Docs\\", "1500", "", "08/12/2026 10:30", "Texte"});
    EXPECT_EQ(out, "a.txt;C:\\Docs\\;1500;;08/12/2026 10:30;Texte\r\n");
    kv::appendListingLine(out, {"x;y", "C:\\A;B\\", "1", "2", "d", "t"});
    EXPECT_EQ(out.substr(out.find("\r\n") + 2), "\"x;y\";\"C:\\A;B\\\";1;2;d;t\r\n");
}

class ListingFile : public testing::Test {
  protected:
    void SetUp() override { fp.install(); }

    bool write(const std::string& target, std::size_t rows) {
        return kv::writeTextListing(target, rows, [](std::size_t i) {
            static thread_local std::string name;
            name = "f" + std::to_string(i) + ".txt";
            return kv::ListingFields{name, "C:\\D\\", "10", "5", "01/01/2020 00:00", "Texte"};
        });
    }
    // Names in the host folder of C:\out\, sorted.
    std::vector<std::string> namesInOut() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(drives.hostPath("C:\\out")))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    kv::test::TempDrives drives;
    kv::test::FaultPlatform fp;
};

TEST_F(ListingFile, ReplacesTheEarlierFileWithTheWholeListing) {
    drives.writeFile("C:\\out\\liste.txt", "ancienne liste");
    ASSERT_TRUE(write("C:\\out\\liste.txt", 3));
    EXPECT_EQ(drives.readFile("C:\\out\\liste.txt"),
              "f0.txt;C:\\D\\;10;5;01/01/2020 00:00;Texte\r\n"
              "f1.txt;C:\\D\\;10;5;01/01/2020 00:00;Texte\r\n"
              "f2.txt;C:\\D\\;10;5;01/01/2020 00:00;Texte\r\n");
    EXPECT_EQ(namesInOut(), std::vector<std::string>{"liste.txt"});
}

TEST_F(ListingFile, AFailureLeavesTheEarlierFileUntouchedAndNoTemporary) {
    drives.writeFile("C:\\out\\liste.txt", "ancienne liste");
    // A disk that fills up in the middle of a listing of several write blocks.
    fp.diskFullAfter("C:\\out\\", 100000);
    EXPECT_FALSE(write("C:\\out\\liste.txt", 20000));
    EXPECT_EQ(drives.readFile("C:\\out\\liste.txt"), "ancienne liste");
    EXPECT_EQ(namesInOut(), std::vector<std::string>{"liste.txt"});

    // A folder that takes no new file, and a file that fails to close.
    fp.reset();
    fp.failOpen("C:\\out\\*", kv::OpenMode::Create);
    EXPECT_FALSE(write("C:\\out\\liste.txt", 2));
    fp.reset();
    fp.failClose("C:\\out\\*");
    EXPECT_FALSE(write("C:\\out\\liste.txt", 2));
    EXPECT_EQ(drives.readFile("C:\\out\\liste.txt"), "ancienne liste");
    EXPECT_EQ(namesInOut(), std::vector<std::string>{"liste.txt"});
}

TEST_F(ListingFile, ARenameThatFailsLeavesTheFileHeldByAnotherProgramAsItWas) {
    drives.writeFile("C:\\out\\liste.txt", "ancienne liste");
    fp.holdExclusively("C:\\out\\liste.txt");
    EXPECT_FALSE(write("C:\\out\\liste.txt", 2));
    fp.release("C:\\out\\liste.txt");
    EXPECT_EQ(drives.readFile("C:\\out\\liste.txt"), "ancienne liste");
    EXPECT_EQ(namesInOut(), std::vector<std::string>{"liste.txt"});
}

TEST_F(ListingFile, AReadOnlyFileIsNotReplaced) {
    drives.writeFile("C:\\out\\liste.txt", "protégée");
    ASSERT_TRUE(kv::platform().setAttributes("C:\\out\\liste.txt", kv::attr::ReadOnly));
    EXPECT_FALSE(write("C:\\out\\liste.txt", 2));
    kv::platform().setAttributes("C:\\out\\liste.txt", kv::attr::Archive);
    EXPECT_EQ(drives.readFile("C:\\out\\liste.txt"), "protégée");
}

TEST(PrintLayout, PagesHoldSixtyFourRows) {
    const std::pair<std::size_t, int> cases[] = {{0, 0},  {1, 1},   {64, 1},
                                                 {65, 2}, {128, 2}, {129, 3}};
    for (const auto& [rows, pages] : cases) EXPECT_EQ(kv::listingPages(rows), pages) << rows;
}

TEST(PrintLayout, UnitsComeFromIntegerQuotientsOfThePrintersMetrics) {
    // 210 mm and 2480 pixels across: 2480 / 21 = 118 pixels a centimetre.
    const kv::PrinterUnits u(2480, 210, 3508, 297);
    EXPECT_EQ(u.pixelsPerCmAcross(), 118);
    EXPECT_EQ(u.pixelsPerCmDown(), 3508 / 29);
    EXPECT_EQ(u.x(5), 11);
    EXPECT_EQ(u.x(60), 660);
    EXPECT_EQ(u.y(20), 17 * 120 / 10);
    EXPECT_EQ(u.y(7), 4 * 120 / 10);
    // A printer reporting less than a centimetre divides by one, not by zero.
    const kv::PrinterUnits tiny(300, 5, 300, 0);
    EXPECT_EQ(tiny.pixelsPerCmAcross(), 300);
    EXPECT_EQ(tiny.pixelsPerCmDown(), 300);
}

}  // namespace
