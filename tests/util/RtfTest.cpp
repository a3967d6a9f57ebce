// The RTF reader against what word processors write, and the writer read back.

#include <gtest/gtest.h>

#include "util/RtfReader.h"
#include "util/RtfWriter.h"

namespace kv::rtf {
namespace {

struct TextCase {
    const char* name;
    const char* rtf;
    const char* text;  // the plain text read, paragraphs joined with '\n'
};

class RtfText : public ::testing::TestWithParam<TextCase> {};

TEST_P(RtfText, ReadsTheText) {
    EXPECT_EQ(readRtf(GetParam().rtf).plainText(), GetParam().text);
}

const TextCase kTextCases[] = {
    {"Paragraphs", R"({\rtf1 un\par deux\par})", "un\ndeux"},
    {"LineAndTab", R"({\rtf1 a\line b\tab c})", "a\nb\tc"},
    {"HexInDocumentCodePage", R"({\rtf1\ansi\ansicpg1252 caf\'e9 \'80})", "café €"},
    {"HexInCyrillicCodePage", R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8})", "При"},
    {"HexInFontCharset", R"({\rtf1{\fonttbl{\f0 Arial;}{\f1\fcharset238 EE;}}\f1 \'b9\f0 \'b9})",
     "ą¹"},
    {"UnicodeWithFallback", R"({\rtf1\uc1 d\u233?cembre \u8217\'92s})", "décembre ’s"},
    {"UnicodeFallbackCountTwo", R"({\rtf1\uc2\u233\'65\'65x})", "éx"},
    {"SurrogatePair", R"({\rtf1\u-10179?\u-8694?})", "😊"},
    {"NegativeUnicode", R"({\rtf1\u-4064?})", "\xEF\x80\xA0"},
    {"EscapedBraces", R"({\rtf1 \{a\}\\})", "{a}\\"},
    {"SkippedDestinations",
     R"({\rtf1{\fonttbl{\f0\fswiss Arial;}}{\colortbl;\red1\green2\blue3;}{\stylesheet{\s0 Normal;}})"
     R"({\info{\title T}{\author A}}{\*\generator W;}{\pict\pngblip 89504e47}corps})",
     "corps"},
    {"FieldResultKept", R"({\rtf1{\field{\*\fldinst HYPERLINK "x"}{\fldrslt lien}}})", "lien"},
    {"BinarySkippedByLength", "{\\rtf1 a{\\pict\\bin4 }}{x}b}", "ab"},
    {"UnknownWordsKeepText", R"({\rtf1\zorglub42 texte\mystere  suite})", "texte suite"},
    {"NamedPunctuation", R"({\rtf1\lquote x\rquote\emdash\~y})", "‘x’—\xC2\xA0y"},
    {"UnbalancedAndCut", R"({\rtf1 {\b gras}} reste {\i coup)", "gras reste coup"},
    {"NotAGroupAtAll", "plain", "plain"},
};

INSTANTIATE_TEST_SUITE_P(Cases, RtfText, ::testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RtfReader, ReadsCharacterAndParagraphFormats) {
    const Document doc =
        readRtf(R"({\rtf1\deff0{\fonttbl{\f0\fswiss Arial;}{\f1\froman Times New Roman;}})"
                R"({\colortbl ;\red192\green0\blue0;\red0\green0\blue128;})"
                R"(\pard\qc\li720\ri360\fi-360\b\fs28 Titre\b0\par)"
                R"(\pard\qr\f1\i\ul\strike\cf1\highlight2 x\plain y\par})");
    ASSERT_EQ(doc.paragraphs.size(), 2u);
    const Paragraph& title = doc.paragraphs[0];
    EXPECT_EQ(title.alignment, Alignment::Center);
    EXPECT_EQ(title.leftIndent, 720);
    EXPECT_EQ(title.rightIndent, 360);
    EXPECT_EQ(title.firstIndent, -360);
    ASSERT_EQ(title.runs.size(), 1u);
    EXPECT_TRUE(title.runs[0].format.bold);
    EXPECT_EQ(title.runs[0].format.halfPoints, 28);
    EXPECT_EQ(title.runs[0].format.font, "Arial");

    const Paragraph& second = doc.paragraphs[1];
    EXPECT_EQ(second.alignment, Alignment::Right);
    EXPECT_EQ(second.leftIndent, 0);
    ASSERT_EQ(second.runs.size(), 2u);
    const CharFormat& x = second.runs[0].format;
    EXPECT_TRUE(x.italic && x.underline && x.strike);
    EXPECT_EQ(x.font, "Times New Roman");
    EXPECT_EQ(x.color, (Color{192, 0, 0}));
    EXPECT_EQ(x.highlight, (Color{0, 0, 128}));
    const CharFormat& y = second.runs[1].format;
    EXPECT_FALSE(y.italic || y.underline || y.bold);
    EXPECT_FALSE(y.color.has_value());
    EXPECT_EQ(y.font, "Arial");
}

TEST(RtfReader, GroupsRestoreTheFormatAndTheLastParagraphNeedsNoPar) {
    const Document doc = readRtf(R"({\rtf1 a{\b b}c\par d})");
    ASSERT_EQ(doc.paragraphs.size(), 2u);
    ASSERT_EQ(doc.paragraphs[0].runs.size(), 3u);
    EXPECT_FALSE(doc.paragraphs[0].runs[0].format.bold);
    EXPECT_TRUE(doc.paragraphs[0].runs[1].format.bold);
    EXPECT_FALSE(doc.paragraphs[0].runs[2].format.bold);
    EXPECT_EQ(doc.paragraphs[1].text(), "d");
}

TEST(RtfReader, DeepNestingAndHugeNumbersAreTakenAsTheyCome) {
    std::string deep = "{\\rtf1 ";
    for (int i = 0; i < 5000; ++i) deep += "{\\b";
    deep += " x";
    for (int i = 0; i < 5000; ++i) deep += "}";
    deep += " y\\fs99999999999999999999 z}";
    EXPECT_EQ(readRtf(deep).plainText(), "x yz");
}

TEST(RtfReader, ReadsTablesRowByRowWithTheirCellsWidthsAndBorders) {
    // A row definition before the cells (LibreOffice) and one after them
    // inside a group (other word processors); a cell of two paragraphs; text
    // after the table.
    const Document doc = readRtf(
        "{\\rtf1 Avant\\par"
        "\\trowd\\trleft-108\\clbrdrt\\brdrw15\\brdrs\\cellx1000\\clbrdrt\\brdrs\\cellx3000"
        "\\pard\\intbl\\qc A\\cell\\pard\\intbl\\qc B\\cell\\row"
        "\\pard\\intbl un\\par deux\\cell\\pard\\intbl\\cell"
        "{\\trowd\\cellx500\\cellx900\\row}"
        "\\pard Apr\\'e8s\\par"
        "\\trowd\\clbrdrt\\brdrnone\\cellx700\\pard\\intbl seul\\cell\\row}");
    ASSERT_EQ(doc.tables.size(), 2u);
    EXPECT_EQ(doc.tables[0].rows, 2);
    EXPECT_EQ(doc.tables[0].columns, 2);
    EXPECT_EQ(doc.tables[0].columnWidths, (std::vector<int>{1108, 2000}));
    EXPECT_TRUE(doc.tables[0].borders);
    EXPECT_FALSE(doc.tables[1].borders);
    struct Expected {
        const char* text;
        std::optional<CellPlace> cell;
    } expected[] = {{"Avant", std::nullopt},      {"A", CellPlace{0, 0, 0}},
                    {"B", CellPlace{0, 0, 1}},    {"un", CellPlace{0, 1, 0}},
                    {"deux", CellPlace{0, 1, 0}}, {"", CellPlace{0, 1, 1}},
                    {"Après", std::nullopt},      {"seul", CellPlace{1, 0, 0}}};
    ASSERT_EQ(doc.paragraphs.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(doc.paragraphs[i].text(), expected[i].text) << i;
        EXPECT_EQ(doc.paragraphs[i].cell, expected[i].cell) << i;
    }
    EXPECT_EQ(doc.paragraphs[1].alignment, Alignment::Center);
}

TEST(RtfReader, LooksLikeRtfOnlyWithItsOpening) {
    EXPECT_TRUE(looksLikeRtf("  {\\rtf1 x}"));
    EXPECT_FALSE(looksLikeRtf("\xD0\xCF\x11\xE0 a .doc"));
    EXPECT_FALSE(looksLikeRtf("{\\rt"));
}

TEST(RtfWriter, ReadsBackWithTheSameTextAndFormats) {
    Document doc;
    Paragraph p;
    p.alignment = Alignment::Justify;
    p.leftIndent = 360;
    p.firstIndent = -180;
    CharFormat bold;
    bold.bold = true;
    bold.font = "Times New Roman";
    bold.color = Color{10, 20, 30};
    CharFormat marked;
    marked.italic = true;
    marked.underline = true;
    marked.strike = true;
    marked.halfPoints = 18;
    marked.highlight = Color{255, 255, 0};
    p.append("Été {x} \\ ", bold);
    p.append("œ € Ω 😊\tfin\nligne", marked);
    doc.paragraphs.push_back(p);
    doc.paragraphs.push_back(Paragraph{});
    doc.paragraphs.push_back(
        Paragraph{Alignment::Center, 0, 0, 0, {{"trois", CharFormat{}}}, std::nullopt});

    const std::string written = writeRtf(doc);
    EXPECT_TRUE(looksLikeRtf(written));
    const Document back = readRtf(written);
    ASSERT_EQ(back.paragraphs.size(), 3u);
    EXPECT_EQ(back.plainText(), doc.plainText());
    const Paragraph& first = back.paragraphs[0];
    EXPECT_EQ(first.alignment, Alignment::Justify);
    EXPECT_EQ(first.leftIndent, 360);
    EXPECT_EQ(first.firstIndent, -180);
    ASSERT_EQ(first.runs.size(), 2u);
    EXPECT_EQ(first.runs[0].format, bold);
    EXPECT_EQ(first.runs[1].format.italic, true);
    EXPECT_EQ(first.runs[1].format.halfPoints, 18);
    EXPECT_EQ(first.runs[1].format.highlight, marked.highlight);
    EXPECT_EQ(back.paragraphs[2].alignment, Alignment::Center);
    // Windows-1252 characters go as \'hh, the others as \u with a fallback.
    EXPECT_NE(written.find("\\'c9t\\'e9"), std::string::npos);
    EXPECT_NE(written.find("\\u937?"), std::string::npos);
}

}  // namespace
}  // namespace kv::rtf
