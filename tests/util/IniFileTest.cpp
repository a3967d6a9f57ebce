#include <gtest/gtest.h>

#include <filesystem>

#include "support/FaultPlatform.h"
#include "util/IniFile.h"

namespace {

class IniFileTest : public testing::Test {
  protected:
    std::string hostPath(const std::string& rel) const { return drives.hostPath("C:\\" + rel); }
    void writeHost(const std::string& rel, const std::string& bytes) const {
        drives.writeFile("C:\\" + rel, bytes);
    }
    std::string readHost(const std::string& rel) const { return drives.readFile("C:\\" + rel); }
    kv::test::TempDrives drives;

  protected:
    kv::IniFile ini{"C:\\Korvelt.cfg"};
};

TEST_F(IniFileTest, MissingFileGivesDefaults) {
    EXPECT_EQ(ini.readString("Application", "temporary", "C:\\tmp\\"), "C:\\tmp\\");
    EXPECT_EQ(ini.readInteger("Window", "WidthSize", 640), 640);
    EXPECT_TRUE(ini.readBool("Application", "DateComment", true));
    EXPECT_FALSE(ini.sectionExists("Application"));
    EXPECT_FALSE(std::filesystem::exists(hostPath("Korvelt.cfg")));
}

TEST_F(IniFileTest, NewSectionsAndKeysAppendInWriteOrder) {
    ASSERT_TRUE(ini.writeInteger("Window", "WidthSize", 800));
    ASSERT_TRUE(ini.writeInteger("Window", "HeightSize", 600));
    ASSERT_TRUE(ini.writeString("Application", "temporary", "C:\\Temp\\"));
    ASSERT_TRUE(ini.writeInteger("List", "A_Col0", 100));
    ASSERT_TRUE(ini.writeBool("Application", "DateComment", false));
    ASSERT_TRUE(ini.writeInteger("List", "Tri", 2));
    EXPECT_EQ(readHost("Korvelt.cfg"),
              "[Window]\r\nWidthSize=800\r\nHeightSize=600\r\n"
              "[Application]\r\ntemporary=C:\\Temp\\\r\nDateComment=0\r\n"
              "[List]\r\nA_Col0=100\r\nTri=2\r\n");
    // Nothing of the rewrite is left beside the file.
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(drives.root('C')))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1);
    // A second object on the same file reads what was written.
    kv::IniFile other("c:\\KORVELT.CFG");
    EXPECT_EQ(other.readInteger("Window", "WidthSize", 0), 800);
    EXPECT_FALSE(other.readBool("Application", "DateComment", true));
    EXPECT_EQ(other.readString("Application", "temporary", ""), "C:\\Temp\\");
}

TEST_F(IniFileTest, NamesMatchWithoutCaseAndKeepTheirSpelling) {
    writeHost("Korvelt.cfg", "[Application]\r\nTemporary=D:\\Work\\\r\n");
    EXPECT_EQ(ini.readString("APPLICATION", "temporary", ""), "D:\\Work\\");
    EXPECT_EQ(ini.readString(" application ", "TEMPORARY ", ""), "D:\\Work\\");
    ASSERT_TRUE(ini.writeString("application", "TEMPORARY", "E:\\"));
    EXPECT_EQ(readHost("Korvelt.cfg"), "[Application]\r\nTemporary=E:\\\r\n");
    // Latin letters fold too.
    ASSERT_TRUE(ini.writeString("Période", "Clé", "x"));
    EXPECT_EQ(ini.readString("PÉRIODE", "CLÉ", ""), "x");
}

TEST_F(IniFileTest, EditsKeepForeignLinesAndInsertKeysAtTheEndOfTheirSection) {
    // LF line ends, a comment, a blank line between sections, text before the first section.
    writeHost("Korvelt.cfg",
              "# written by hand\n[Window]\nWidthSize=1024\n\n; a comment\n[List]\nTri=1\n");
    ASSERT_TRUE(ini.writeInteger("Window", "HeightSize", 768));
    ASSERT_TRUE(ini.writeInteger("Window", "WidthSize", 1280));
    ASSERT_TRUE(ini.writeInteger("List", "A_Col0", 90));
    EXPECT_EQ(readHost("Korvelt.cfg"),
              "# written by hand\r\n[Window]\r\nWidthSize=1280\r\nHeightSize=768\r\n\r\n"
              "; a comment\r\n[List]\r\nTri=1\r\nA_Col0=90\r\n");
}

TEST_F(IniFileTest, FirstOfDuplicateSectionsAndKeysWins) {
    writeHost("Korvelt.cfg", "[List]\r\nTri=1\r\nTri=2\r\n[List]\r\nTri=3\r\nA_Col0=7\r\n");
    EXPECT_EQ(ini.readInteger("List", "Tri", 0), 1);
    EXPECT_EQ(ini.readInteger("List", "A_Col0", 0), 0);
    ASSERT_TRUE(ini.writeInteger("List", "Tri", 9));
    EXPECT_EQ(readHost("Korvelt.cfg"),
              "[List]\r\nTri=9\r\nTri=2\r\n[List]\r\nTri=3\r\nA_Col0=7\r\n");
}

TEST_F(IniFileTest, ReadsWindows1252AndCrLineEndsAndWritesUtf8) {
    writeHost("AutoSave.cfg",
              "[Archive]\rAuto_Arch=C:\\Donn\xE9"
              "es\\b.kvr\r[Heure]\rFHeure=20:00");
    kv::IniFile autoSave("C:\\AutoSave.cfg");
    EXPECT_EQ(autoSave.readString("Archive", "Auto_Arch", ""), "C:\\Données\\b.kvr");
    EXPECT_EQ(autoSave.readString("Heure", "FHeure", ""), "20:00");
    ASSERT_TRUE(autoSave.writeBool("Execute", "Auto_Exec", true));
    EXPECT_EQ(readHost("AutoSave.cfg"),
              "[Archive]\r\nAuto_Arch=C:\\Données\\b.kvr\r\n[Heure]\r\nFHeure=20:00\r\n"
              "[Execute]\r\nAuto_Exec=1\r\n");
}

TEST_F(IniFileTest, BytesThatAreNotUtf8KeepTheFileUtf8) {
    ASSERT_TRUE(ini.writeString("Période", "Heure", "20:00"));
    // A value in the code page: stored as its UTF-8 form, so the file stays
    // UTF-8 and the accented names around it still read.
    ASSERT_TRUE(ini.writeString("Archive", "Auto_Arch",
                                "C:\\Donn\xE9"
                                "es\\b.kvr"));
    EXPECT_EQ(ini.readString("Archive", "Auto_Arch", ""), "C:\\Données\\b.kvr");
    EXPECT_EQ(ini.readString("PÉRIODE", "Heure", ""), "20:00");
}

TEST_F(IniFileTest, Utf8ByteOrderMarkIsDropped) {
    writeHost("Korvelt.cfg", "\xEF\xBB\xBF[Window]\r\nWidthSize=700\r\n");
    EXPECT_EQ(ini.readInteger("Window", "WidthSize", 0), 700);
}

TEST_F(IniFileTest, ValuesParseOrFallBackToTheDefault) {
    writeHost("Korvelt.cfg",
              "[V]\r\nspaced =  42  \r\nhex=$1F\r\nhex2=0x10\r\nneg=-5\r\njunk=12abc\r\n"
              "empty=\r\nhuge=99999999999\r\nquoted=\"C:\\Mes documents\\\"\r\ntwo=2\r\nzero=0\r\n"
              "noequals\r\n");
    EXPECT_EQ(ini.readInteger("V", "spaced", -1), 42);
    EXPECT_EQ(ini.readInteger("V", "hex", -1), 31);
    EXPECT_EQ(ini.readInteger("V", "hex2", -1), 16);
    EXPECT_EQ(ini.readInteger("V", "neg", -1), -5);
    EXPECT_EQ(ini.readInteger("V", "junk", -1), -1);
    EXPECT_EQ(ini.readInteger("V", "empty", -1), -1);
    EXPECT_EQ(ini.readInteger("V", "huge", -1), -1);
    EXPECT_EQ(ini.readString("V", "empty", "def"), "");  // present but empty is not missing
    EXPECT_EQ(ini.readString("V", "quoted", ""), "C:\\Mes documents\\");
    EXPECT_FALSE(ini.valueExists("V", "noequals"));
    EXPECT_TRUE(ini.readBool("V", "two", false));
    EXPECT_FALSE(ini.readBool("V", "zero", true));
    EXPECT_TRUE(ini.readBool("V", "junk", true));
    EXPECT_FALSE(ini.readBool("V", "junk", false));
}

TEST_F(IniFileTest, ValueWithLineEndsCannotAddKeys) {
    ASSERT_TRUE(ini.writeString("Script", "Auto_Script", "a.kvl\r\n[Execute]\r\nAuto_Exec=1"));
    EXPECT_FALSE(ini.sectionExists("Execute"));
    EXPECT_EQ(ini.readString("Script", "Auto_Script", ""), "a.kvl  [Execute]  Auto_Exec=1");
    EXPECT_FALSE(ini.writeString("Bad]Name", "k", "v"));
    EXPECT_FALSE(ini.writeString("S", "k=v", "v"));
    EXPECT_FALSE(ini.writeString("S", "", "v"));
}

TEST_F(IniFileTest, ReadOnlyFileIsLeftAlone) {
    writeHost("Korvelt.cfg", "[Window]\r\nWidthSize=1\r\n");
    ASSERT_TRUE(kv::platform().setAttributes("C:\\Korvelt.cfg", kv::attr::ReadOnly));
    EXPECT_FALSE(ini.writeInteger("Window", "WidthSize", 2));
    EXPECT_EQ(readHost("Korvelt.cfg"), "[Window]\r\nWidthSize=1\r\n");
}

}  // namespace
