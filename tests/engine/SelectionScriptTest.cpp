#include <gtest/gtest.h>

#include "engine/SelectionScript.h"
#include "platform/Platform.h"
#include "support/FaultPlatform.h"
#include "util/Error.h"

namespace kv {
namespace {

struct ParseCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
};

class ParseSelectionScript : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseSelectionScript, GivesTheLinesInOrder) {
    EXPECT_EQ(parseSelectionScript(GetParam().bytes), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    LineEnds, ParseSelectionScript,
    testing::Values(
        ParseCase{"CrLf", "C:\\a.txt\r\nC:\\Docs\\*.*\r\n", {"C:\\a.txt", "C:\\Docs\\*.*"}},
        ParseCase{"BareLf", "C:\\a.txt\nC:\\b.txt\n", {"C:\\a.txt", "C:\\b.txt"}},
        ParseCase{"BareCr", "C:\\a.txt\rC:\\b.txt\r", {"C:\\a.txt", "C:\\b.txt"}},
        ParseCase{"LastLineWithoutEnd", "C:\\a.txt\r\nC:\\b.txt", {"C:\\a.txt", "C:\\b.txt"}},
        ParseCase{
            "MixedEnds", "C:\\a\rC:\\b\nC:\\c\r\nC:\\d", {"C:\\a", "C:\\b", "C:\\c", "C:\\d"}},
        ParseCase{"BlankLinesNameNothing", "\r\n  \r\nC:\\a.txt\r\n\t\r\n\r\n", {"C:\\a.txt"}},
        ParseCase{"Empty", "", {}},
        ParseCase{"Duplicates", "C:\\a\r\nC:\\a\r\n", {"C:\\a", "C:\\a"}},
        ParseCase{"Windows1252", "C:\\caf\xE9.txt\r\n", {"C:\\caf\xC3\xA9.txt"}},
        ParseCase{"Utf8",
                  "C:\\caf\xC3\xA9.txt\r\nC:\\\xE2\x82\xAC.txt",
                  {"C:\\caf\xC3\xA9.txt", "C:\\\xE2\x82\xAC.txt"}},
        // A byte-order mark says how the file is written, and is no part of
        // the first line (an editor's "Unicode" script).
        ParseCase{"Utf8WithMark",
                  "\xEF\xBB\xBF"
                  "C:\\a.txt\r\n",
                  {"C:\\a.txt"}},
        ParseCase{"Utf16LittleEndian",
                  std::string("\xFF\xFE"
                              "C\0:\0\\\0\xE9\0\r\0\n\0"
                              "C\0:\0\\\0\x3D\xD8\xC1\xDC",
                              24),
                  {"C:\\\xC3\xA9", "C:\\\xF0\x9F\x93\x81"}},
        ParseCase{"Utf16BigEndian", std::string("\xFE\xFF\0C\0:\0\\\0a", 10), {"C:\\a"}},
        ParseCase{"Utf16LoneSurrogate",
                  std::string("\xFF\xFE\x00\xD8"
                              "a\x00",
                              6),
                  {"\xEF\xBF\xBD"
                   "a"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SelectionScript, FormatEndsEveryLineWithCrLf) {
    EXPECT_EQ(formatSelectionScript({"C:\\a.txt", "D:\\PROJETS\\*.htm"}),
              "C:\\a.txt\r\nD:\\PROJETS\\*.htm\r\n");
    EXPECT_EQ(formatSelectionScript({}), "");
    // What the dialog writes reads back as the same list, in the same order.
    std::vector<std::string> lines{"C:\\MES DOCUMENTS\\lettre.doc", "C:\\\xC3\xA9t\xC3\xA9\\*.*",
                                   "Z:\\x"};
    EXPECT_EQ(parseSelectionScript(formatSelectionScript(lines)), lines);
}

TEST(SelectionScript, LineKinds) {
    auto folder = splitFolderLine("C:\\MES DOCUMENTS\\*.doc");
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->folder, "C:\\MES DOCUMENTS");
    EXPECT_EQ(folder->mask, "*.doc");

    // The first "\*." splits the line.
    folder = splitFolderLine("C:\\A\\*.B\\*.txt");
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->folder, "C:\\A");
    EXPECT_EQ(folder->mask, "*.B\\*.txt");

    EXPECT_FALSE(splitFolderLine("C:\\MES DOCUMENTS\\lettre.doc"));
    // A wildcard without the "\*." sequence is a file line.
    EXPECT_FALSE(splitFolderLine("C:\\Docs\\a*.txt"));
}

TEST(SelectionScriptFile, WrittenWholeAndReadBack) {
    test::TempDrives drives;
    const std::string path = "C:\\Script\\sel.kvl";
    drives.makeFolder("C:\\Script");
    drives.writeFile(path, "old line that is much longer than what replaces it\r\n");

    WriteSelectionScript(path, {"C:\\Été\\*.txt", "C:\\a.doc"});
    EXPECT_EQ(drives.readFile(path), "C:\\\xC3\x89t\xC3\xA9\\*.txt\r\nC:\\a.doc\r\n");
    EXPECT_EQ(ReadSelectionScript(path), (std::vector<std::string>{"C:\\Été\\*.txt", "C:\\a.doc"}));

    WriteSelectionScript(path, {});
    EXPECT_EQ(drives.readFile(path), "");
    EXPECT_TRUE(ReadSelectionScript(path).empty());
    // Only the script is left in the folder.
    EXPECT_EQ(platform().find("C:\\Script\\*.*", attr::AnyFile).size(), 1u);

    EXPECT_THROW(ReadSelectionScript("C:\\Script\\absent.kvl"), Error);
}

TEST(SelectionScriptFile, AFailedWriteKeepsTheOldScript) {
    test::TempDrives drives;
    const std::string path = "C:\\Script\\sel.kvl";
    drives.writeFile(path, "C:\\keep.txt\r\n");
    test::FaultPlatform faults;
    faults.install();
    faults.diskFullAfter("C:\\Script\\", 10);
    EXPECT_THROW(WriteSelectionScript(path, {"C:\\a very long line that does not fit.txt"}), Error);
    faults.reset();
    EXPECT_EQ(drives.readFile(path), "C:\\keep.txt\r\n");
    EXPECT_EQ(platform().find("C:\\Script\\*.*", attr::AnyFile).size(), 1u);
}

}  // namespace
}  // namespace kv
