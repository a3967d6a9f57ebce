// The text listing and the printed listing of the main window, end to end:
// the save dialog and the overwrite question, the file read back by Python's
// csv module, and the print job written to a PDF file (KORVELT_PRINT_PDF)
// read back with poppler's pdfinfo and pdftotext.

#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "dialogs/TFormPrint.h"
#include "gui/Printers.h"
#include "tests/app/ListingFixture.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

class TextListing : public ListingTest {};

TEST_F(TextListing, AsksForATextFileAndWritesOneLinePerRowInTheListsOrder) {
    windowWith({row("C:\\Docs\\", "b.txt"), row("C:\\Docs\\", "a.txt", std::nullopt)});
    chooser.files.push_back(QStringLiteral("C:\\liste.txt"));
    trigger("SaveText_Arch");
    ASSERT_EQ(chooser.requests.size(), 1u);
    EXPECT_EQ(chooser.requests[0].title, "Enregistrer en fichier texte");
    EXPECT_EQ(chooser.requests[0].filter, "Fichier Texte(*.txt)");
    EXPECT_EQ(chooser.requests[0].defaultExtension, "txt");
    EXPECT_EQ(chooser.requests[0].initialName, "");
    EXPECT_FALSE(chooser.requests[0].askOverwrite);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(drives.readFile("C:\\liste.txt"),
              "b.txt;C:\\Docs\\;10;5;08/12/2026 10:30;Document texte\r\n"
              "a.txt;C:\\Docs\\;10;;08/12/2026 10:30;Document texte\r\n");

    // Cancelling the dialog writes nothing.
    trigger("SaveText_Arch");
    EXPECT_EQ(chooser.requests.size(), 2u);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(TextListing, AnExistingFileIsReplacedOnlyAfterYes) {
    windowWith({row("C:\\Docs\\", "a.txt")});
    drives.writeFile("C:\\liste.txt", "ancienne");
    chooser.files.push_back(QStringLiteral("C:\\liste.txt"));
    answers.push_back(QMessageBox::No);
    trigger("SaveText_Arch");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Confirmation");
    EXPECT_EQ(boxes[0].text,
              "Le fichier < C:\\liste.txt > existe déjà !\nremplacer le fichier existant ?");
    EXPECT_EQ(drives.readFile("C:\\liste.txt"), "ancienne");

    chooser.files.push_back(QStringLiteral("C:\\liste.txt"));
    answers.push_back(QMessageBox::Yes);
    trigger("SaveText_Arch");
    EXPECT_EQ(drives.readFile("C:\\liste.txt"),
              "a.txt;C:\\Docs\\;10;5;08/12/2026 10:30;Document texte\r\n");
}

TEST_F(TextListing, AWriteErrorKeepsTheEarlierFileAndSaysSo) {
    windowWith(numberedRows(5000));
    drives.writeFile("C:\\out\\liste.txt", "ancienne");
    FaultPlatform fp;
    fp.install();
    fp.diskFullAfter("C:\\out\\", 50000);
    chooser.files.push_back(QStringLiteral("C:\\out\\liste.txt"));
    trigger("SaveText_Arch");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].title, "Erreur");
    EXPECT_EQ(boxes[1].text, "Impossible d'enregistrer le fichier");
    EXPECT_EQ(drives.readFile("C:\\out\\liste.txt"), "ancienne");
    EXPECT_EQ(
        std::distance(fs::directory_iterator(drives.hostPath("C:\\out")), fs::directory_iterator()),
        1);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(TextListing, PythonsCsvReaderGetsTheSameSixTextsBack) {
    Catalog rows = numberedRows(9998);
    rows.push_back(row("C:\\Été\\Données; copies\\", "Noël \"à\" Zoé;2.txt", std::nullopt));
    rows.push_back(row("C:\\Œuvres\\", "ça;va.doc"));
    windowWith(rows);
    chooser.files.push_back(QStringLiteral("C:\\liste.txt"));
    trigger("SaveText_Arch");
    ASSERT_TRUE(boxes.empty());

    // Python writes back each row's texts joined by the unit separator.
    const std::string host = drives.hostPath("C:\\liste.txt");
    const std::string script =
        "import csv, sys\n"
        "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
        "    for r in csv.reader(f, delimiter=';'):\n"
        "        sys.stdout.write('\\x1f'.join(r) + '\\n')\n";
    const std::string scriptPath = drives.hostPath("C:\\lire.py");
    std::ofstream(scriptPath) << script;
    int status = -1;
    const std::string out = run("python3 '" + scriptPath + "' '" + host + "'", &status);
    ASSERT_EQ(status, 0);
    const std::string unit = "\x1f";
    std::string expected;
    for (const CatalogRow& r : rows)
        expected += r.name + unit + r.folder + unit + "10" + unit + (r.compressedSize ? "5" : "") +
                    unit + "08/12/2026 10:30" + unit + "Document texte\n";
    EXPECT_EQ(out, expected);
}

class PrintedListing : public ListingTest {
  protected:
    void SetUp() override {
        ListingTest::SetUp();
        pdf = drives.hostPath("C:\\liste.pdf");
        qputenv("KORVELT_PRINT_PDF", QByteArray::fromStdString(pdf));
        DialogRunner::setHandler([this](QDialog& dialog) {
            if (auto* form = qobject_cast<TFormPrint*>(&dialog)) {
                radios = {form->radioTout()->text(), form->radioSelect()->text()};
                selectEnabled = form->radioSelect()->isEnabled();
                selectChecked = form->radioSelect()->isChecked();
                if (onPrint) return onPrint(*form);
                return int(QDialog::Accepted);
            }
            return runDialog(dialog);
        });
    }
    void TearDown() override {
        qunsetenv("KORVELT_PRINT_PDF");
        ListingTest::TearDown();
    }

    int pages() {
        const std::string info = run("pdfinfo '" + pdf + "'");
        const auto at = info.find("Pages:");
        return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
    }
    std::string page(int n) {
        return run("pdftotext -f " + std::to_string(n) + " -l " + std::to_string(n) + " '" + pdf +
                   "' -");
    }
    static int count(const std::string& text, const std::string& word) {
        int n = 0;
        for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
        return n;
    }

    std::string pdf;
    std::pair<QString, QString> radios;
    bool selectEnabled = false;
    bool selectChecked = false;
    std::function<int(TFormPrint&)> onPrint;
};

TEST_F(PrintedListing, OneHundredThirtyRowsPrintOnThreePages) {
    windowWith(numberedRows(130));
    trigger("Print_Arch");
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(radios.first, "Imprimer toute la liste ( 3 page(s) nécessaire(s) )");
    EXPECT_EQ(radios.second, "Imprimer la sélection ");
    EXPECT_FALSE(selectEnabled);
    ASSERT_EQ(pages(), 3);
    EXPECT_NE(run("pdfinfo '" + pdf + "'").find("Impression de Korvelt"), std::string::npos);

    const std::string one = page(1), two = page(2), three = page(3);
    EXPECT_NE(one.find("Impression des fichiers de l'archive - arch.kvr"), std::string::npos);
    EXPECT_NE(one.find("Page n°: 1"), std::string::npos);
    EXPECT_NE(one.find("08/12/2026"), std::string::npos);
    EXPECT_EQ(count(one, ".txt"), 64);
    EXPECT_NE(one.find("f000.txt"), std::string::npos);
    EXPECT_NE(one.find("f063.txt"), std::string::npos);
    EXPECT_EQ(count(one, "C:\\Docs\\"), 64);
    EXPECT_EQ(count(one, "08/12/2026 10:30"), 64);
    EXPECT_EQ(count(one, "Document texte"), 0);

    EXPECT_NE(two.find("Impression des fichiers de l'archive (suite) - arch.kvr"),
              std::string::npos);
    EXPECT_NE(two.find("Page n°: 2"), std::string::npos);
    EXPECT_EQ(count(two, ".txt"), 64);
    EXPECT_NE(two.find("f064.txt"), std::string::npos);
    EXPECT_EQ(count(three, ".txt"), 2);
    EXPECT_NE(three.find("f129.txt"), std::string::npos);
    EXPECT_NE(three.find("(suite)"), std::string::npos);
}

TEST_F(PrintedListing, ASelectionOfSixtyFourRowsIsOnePage) {
    windowWith(numberedRows(130));
    select(10, 73);
    trigger("Print_Arch");
    EXPECT_EQ(radios.first, "Imprimer toute la liste ( 3 page(s) nécessaire(s) )");
    EXPECT_EQ(radios.second, "Imprimer la sélection ( 1 page(s) nécessaire(s) )");
    EXPECT_TRUE(selectEnabled);
    EXPECT_TRUE(selectChecked);
    ASSERT_EQ(pages(), 1);
    const std::string text = page(1);
    EXPECT_EQ(count(text, ".txt"), 64);
    EXPECT_EQ(text.find("f009.txt"), std::string::npos);
    EXPECT_NE(text.find("f010.txt"), std::string::npos);
    EXPECT_NE(text.find("f073.txt"), std::string::npos);
    EXPECT_EQ(text.find("f074.txt"), std::string::npos);

    // The whole list chosen instead, with the same selection.
    onPrint = [](TFormPrint& form) {
        QTest::mouseClick(form.radioTout(), Qt::LeftButton);
        EXPECT_FALSE(form.radioSelect()->isChecked());
        return int(QDialog::Accepted);
    };
    trigger("Print_Arch");
    EXPECT_EQ(pages(), 3);
}

TEST_F(PrintedListing, CancelPrintsNothingAndAnEmptyCatalogAsksNothing) {
    windowWith({});
    trigger("Print_Arch");
    EXPECT_TRUE(radios.first.isEmpty());

    windowWith(numberedRows(3));
    onPrint = [](TFormPrint& form) {
        QTest::mouseClick(form.buttonConfigure(), Qt::LeftButton);
        return int(QDialog::Rejected);
    };
    trigger("Print_Arch");
    EXPECT_EQ(radios.first, "Imprimer toute la liste ( 1 page(s) nécessaire(s) )");
    EXPECT_EQ(otherDialogs, (std::vector<QString>{"QPageSetupDialog"}));
    EXPECT_FALSE(fs::exists(pdf));
}

TEST_F(PrintedListing, WithoutAPrinterThePagesGoToAPdfFileTheUserNames) {
    qunsetenv("KORVELT_PRINT_PDF");
    if (!QPrinterInfo::defaultPrinter().isNull()) GTEST_SKIP() << "this host has a printer";
    windowWith(numberedRows(70));
    // No: nothing is asked or written.
    answers = {QMessageBox::No};
    trigger("Print_Arch");
    EXPECT_TRUE(radios.first.isEmpty());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Confirmation");
    EXPECT_EQ(boxes[0].text, QString::fromUtf8(NoPrinterMessage).replace('\r', '\n'));
    EXPECT_TRUE(chooser.requests.empty());

    // Yes: the save dialog names the file; an earlier file there is replaced whole.
    drives.writeFile("C:\\liste.pdf", "an older file");
    boxes.clear();
    chooser.files = {QStringLiteral("C:\\liste.pdf")};
    trigger("Print_Arch");
    ASSERT_EQ(chooser.requests.size(), 1u);
    EXPECT_EQ(chooser.requests[0].title, "Enregistrer l'impression en PDF");
    EXPECT_EQ(chooser.requests[0].defaultExtension, "pdf");
    EXPECT_EQ(radios.first, "Imprimer toute la liste ( 2 page(s) nécessaire(s) )");
    EXPECT_EQ(pages(), 2);
    EXPECT_NE(page(2).find("(suite)"), std::string::npos);
    // Nothing is left beside it.
    EXPECT_EQ(platform().find("C:\\~kvr*", attr::AnyFile).size(), 0u);

    // A folder that takes no file: said, and nothing is printed.
    FaultPlatform fp;
    fp.install();
    fp.failOpen("C:\\Ailleurs\\*", OpenMode::Create);
    drives.makeFolder("C:\\Ailleurs");
    boxes.clear();
    chooser.files = {QStringLiteral("C:\\Ailleurs\\liste.pdf")};
    trigger("Print_Arch");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "Impossible d'enregistrer le fichier C:\\Ailleurs\\liste.pdf");
    EXPECT_FALSE(platform().fileExists("C:\\Ailleurs\\liste.pdf"));
}

}  // namespace
}  // namespace kv::test
