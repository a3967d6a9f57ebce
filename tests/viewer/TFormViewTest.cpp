// The viewer window driven as a user would: text, RTF and picture previews,
// find, word wrap, saves read back, print to a PDF file, keys and layout.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPrinterInfo>
#include <QProcess>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextFrame>
#include <QTextTable>
#include <deque>

#include "controls/TVX_Button.h"
#include "gui/Chooser.h"
#include "gui/DialogRunner.h"
#include "gui/QtUi.h"
#include "tests/support/FaultPlatform.h"
#include "util/RtfReader.h"
#include "viewer/TFileFormatList.h"
#include "viewer/TFindDialog.h"
#include "viewer/TFormView.h"

namespace kv {
namespace {

// Save dialogs answered from a queue: a path and the filter the user ends on.
class SaveChooser : public Chooser {
  public:
    std::deque<std::pair<QString, int>> answers;
    std::vector<FileDialogRequest> requests;
    std::optional<QString> openFile(QWidget*, const FileDialogRequest&) override { return {}; }
    std::optional<QString> saveFile(QWidget*, const FileDialogRequest& request) override {
        requests.push_back(request);
        if (answers.empty()) return std::nullopt;
        auto [path, filter] = answers.front();
        answers.pop_front();
        if (request.chosenFilter) *request.chosenFilter = filter;
        return path;
    }
    std::optional<QString> folder(QWidget*, const QString&, const QString&) override { return {}; }
};

class View : public ::testing::Test {
  protected:
    void SetUp() override {
        Chooser::install(&chooser);
        DialogRunner::setHandler([this](QDialog& dialog) {
            auto* box = qobject_cast<QMessageBox*>(&dialog);
            if (!box) return int(QDialog::Rejected);
            boxes.push_back(box->windowTitle() + ": " + box->text());
            if (answers.empty()) return int(QMessageBox::Yes);
            const int a = answers.front();
            answers.pop_front();
            return a;
        });
        QStringList exts;
        programFormats().extensionList(exts);
        for (QString& e : exts) e = "." + e.toUpper();
        imageExtensions = exts;
    }
    void TearDown() override {
        DialogRunner::setHandler({});
        Chooser::install(nullptr);
    }

    std::unique_ptr<TFormView> open(const std::string& path, const QString& shown = {}) {
        auto view = std::make_unique<TFormView>(ui, imageExtensions);
        view->loadFile(path, shown);
        return view;
    }
    void copyFixture(const char* name, const std::string& to) {
        QFile f(QString(KORVELT_TEST_DATA "/") + name);
        f.open(QIODevice::ReadOnly);
        drives.writeFile(to, f.readAll().toStdString());
    }
    void select(TFormView& v, int start, int end) {
        QTextCursor c(v.richEditView()->document());
        c.setPosition(start);
        c.setPosition(end, QTextCursor::KeepAnchor);
        v.richEditView()->setTextCursor(c);
    }
    QString selected(TFormView& v) { return v.richEditView()->textCursor().selectedText(); }
    int selectionStart(TFormView& v) { return v.richEditView()->textCursor().selectionStart(); }

    test::TempDrives drives;
    QtUi ui;
    SaveChooser chooser;
    QStringList imageExtensions;
    std::vector<QString> boxes;
    std::deque<int> answers;
};

TEST_F(View, FindStartsAtTheTopGoesOnAndSaysWhenItIsDone) {
    drives.writeFile("C:\\t\\notes.txt", "Alpha beta\r\nalphabet ALPHA\r\nfin alpha");
    auto v = open("C:\\t\\notes.txt");
    EXPECT_EQ(v->windowTitle(), "Aperçu de [notes.txt]");
    EXPECT_FALSE(v->pictureMode());
    EXPECT_EQ(v->richEditView()->lineWrapMode(), QTextEdit::WidgetWidth);
    EXPECT_EQ(v->panelText(), "");
    EXPECT_EQ(v->richEditView()->toPlainText(), "Alpha beta\nalphabet ALPHA\nfin alpha");

    TFindDialog* find = v->findDialog();
    v->Rechercherdutexte1Click();
    EXPECT_EQ(find->findText(), "");
    find->setFindText("alpha");
    v->FindDialog1Find();  // no selection: from the start, any case
    EXPECT_EQ(selectionStart(*v), 0);
    v->FindDialog1Find();
    EXPECT_EQ(selectionStart(*v), 11);  // inside "alphabet"
    find->setWholeWord(true);
    v->FindDialog1Find();
    EXPECT_EQ(selected(*v), "ALPHA");
    find->setMatchCase(true);
    v->FindDialog1Find();
    EXPECT_EQ(selectionStart(*v), 30);
    v->FindDialog1Find();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Information: Korvelt a terminé la recherche du document");
    // The menu opens the dialog with the selection as its text.
    select(*v, 6, 10);
    v->Rechercherdutexte1Click();
    EXPECT_EQ(find->findText(), "beta");
}

TEST_F(View, WordWrapTogglesAndTheMenuFollows) {
    drives.writeFile("C:\\t\\a.txt", "x");
    auto v = open("C:\\t\\a.txt");
    QAction* wrap = v->findChild<QAction*>("RetourLigne1");
    QAction* copier = v->findChild<QAction*>("Copier");
    emit v->popupCopyRich()->aboutToShow();
    EXPECT_TRUE(wrap->isChecked());
    EXPECT_FALSE(copier->isEnabled());
    v->RetourLigne1Click();
    v->SelectAllClick();
    emit v->popupCopyRich()->aboutToShow();
    EXPECT_FALSE(wrap->isChecked());
    EXPECT_TRUE(copier->isEnabled());
    EXPECT_EQ(v->richEditView()->lineWrapMode(), QTextEdit::NoWrap);
}

TEST_F(View, SavesTextAsTxtAndRtfAndAsksBeforeReplacing) {
    copyFixture("lettre.rtf", "C:\\t\\lettre.rtf");
    auto v = open("C:\\t\\lettre.rtf");
    ASSERT_TRUE(v->formatted());
    const QString shown = v->richEditView()->toPlainText();

    chooser.answers = {{"C:\\out\\l.txt", 1}, {"C:\\out\\l.rtf", 2}};
    drives.makeFolder("C:\\out");
    v->SaveRichEditAsClick();
    v->SaveRichEditAsClick();
    ASSERT_EQ(chooser.requests.size(), 2u);
    EXPECT_EQ(chooser.requests[0].title, "Enregistrer le texte sous...");
    EXPECT_EQ(chooser.requests[0].initialName, "lettre");
    EXPECT_EQ(chooser.requests[0].defaultExtension, "txt");
    const std::string txt = drives.readFile("C:\\out\\l.txt");
    EXPECT_EQ(QString::fromUtf8(txt), QString(shown).replace("\n", "\r\n"));
    const rtf::Document back = rtf::readRtf(drives.readFile("C:\\out\\l.rtf"));
    EXPECT_EQ(QString::fromStdString(back.plainText()), shown);
    EXPECT_TRUE(back.paragraphs[0].runs[0].format.bold);
    EXPECT_TRUE(v->formatted());
    EXPECT_TRUE(boxes.empty());

    // An existing file: Cancel keeps it, Yes replaces it.
    chooser.answers = {{"C:\\out\\l.txt", 2}, {"C:\\out\\l.txt", 2}};
    answers = {QMessageBox::Cancel, QMessageBox::Yes};
    v->SaveRichEditAsClick();
    EXPECT_EQ(drives.readFile("C:\\out\\l.txt"), txt);
    v->SaveRichEditAsClick();
    EXPECT_TRUE(rtf::looksLikeRtf(drives.readFile("C:\\out\\l.txt")));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], "Confirmation: Ecraser le fichier existant ?");
}

TEST_F(View, ShowsALetterFormattedAndADocThatIsNotRtfAsItsBytes) {
    copyFixture("lettre.rtf", "C:\\t\\~kvv0001.rtf");
    auto v = open("C:\\t\\~kvv0001.rtf", "lettre.rtf");
    EXPECT_EQ(v->windowTitle(), "Aperçu de [lettre.rtf]");
    const QTextDocument* doc = v->richEditView()->document();
    EXPECT_EQ(doc->toPlainText(),
              "Lettre de réclamation\nMadame, Monsieur,\nJe vous écris au sujet d’une facture du "
              "3 décembre.\nBien à vous");
    const QTextBlock title = doc->begin();
    EXPECT_EQ(title.blockFormat().alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    EXPECT_EQ(title.begin().fragment().charFormat().fontWeight(), QFont::Bold);

    drives.writeFile("C:\\t\\vieux.DOC", std::string("\xD0\xCF\x11\xE0\0\0Texte Word", 16));
    auto d = open("C:\\t\\vieux.DOC");
    EXPECT_TRUE(d->formatted());
    EXPECT_TRUE(d->richEditView()->toPlainText().endsWith("Texte Word"));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(View, ShowsATableAsATableAndSavesItBack) {
    // LibreOffice's RTF of a table whose header row is centred.
    copyFixture("tableau.rtf", "C:\\t\\tableau.rtf");
    auto v = open("C:\\t\\tableau.rtf");
    const QTextDocument* doc = v->richEditView()->document();
    QList<QTextTable*> tables;
    for (QTextFrame* frame : doc->rootFrame()->childFrames())
        if (auto* t = qobject_cast<QTextTable*>(frame)) tables << t;
    ASSERT_EQ(tables.size(), 1);
    QTextTable* table = tables[0];
    EXPECT_EQ(table->rows(), 3);
    EXPECT_EQ(table->columns(), 3);
    EXPECT_GT(table->format().border(), 0);
    const auto cellText = [&](int row, int column) {
        const QTextTableCell cell = table->cellAt(row, column);
        QTextCursor c = cell.firstCursorPosition();
        c.setPosition(cell.lastPosition(), QTextCursor::KeepAnchor);
        return c.selectedText();
    };
    EXPECT_EQ(cellText(0, 0), "Fichier");
    EXPECT_EQ(cellText(0, 2), "Modifié");
    EXPECT_EQ(cellText(2, 0), "photo été.jpg");
    EXPECT_EQ(cellText(2, 1), "1 204 332");
    // The header is centred in its cells, the sizes to their right.
    const QTextBlock header = table->cellAt(0, 1).firstCursorPosition().block();
    EXPECT_EQ(header.blockFormat().alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    const QTextBlock size = table->cellAt(1, 1).firstCursorPosition().block();
    EXPECT_EQ(size.blockFormat().alignment() & Qt::AlignRight, Qt::AlignRight);
    // The texts before and after it are paragraphs of the page.
    EXPECT_EQ(doc->begin().text(), "Inventaire des sauvegardes");
    EXPECT_EQ(doc->lastBlock().text(), "Fin du tableau.");
    EXPECT_EQ(QTextCursor(doc->lastBlock()).currentTable(), nullptr);

    // Saved as RTF, the table reads back as a table.
    drives.makeFolder("C:\\out");
    chooser.answers = {{"C:\\out\\t.rtf", 2}};
    v->SaveRichEditAsClick();
    const rtf::Document back = rtf::readRtf(drives.readFile("C:\\out\\t.rtf"));
    ASSERT_EQ(back.tables.size(), 1u);
    EXPECT_EQ(back.tables[0].rows, 3);
    EXPECT_EQ(back.tables[0].columns, 3);
    EXPECT_TRUE(back.tables[0].borders);
}

TEST_F(View, ATextWithAByteOrderMarkIsReadInItsEncoding) {
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"C:\\t\\le.txt", std::string("\xFF\xFEU\0T\0F\0 \0\xE9\0t\0\xE9\0\r\0\n\0", 20)},
        {"C:\\t\\be.txt", std::string("\xFE\xFF\0U\0T\0F\0 \0\xE9\0t\0\xE9\0\r\0\n", 20)},
        {"C:\\t\\utf8.txt", "\xEF\xBB\xBFUTF \xC3\xA9t\xC3\xA9\r\n"},
    };
    for (const Case& c : cases) {
        drives.writeFile(c.name, c.bytes);
        auto v = open(c.name);
        EXPECT_EQ(v->richEditView()->toPlainText(), "UTF été\n") << c.name;
    }
}

TEST_F(View, AFileThatCannotBeReadShowsAnEmptyPane) {
    auto v = open("C:\\t\\absent.txt");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Erreur: Ne peut ouvrir le fichier : C:\\t\\absent.txt");
    EXPECT_TRUE(v->richEditView()->toPlainText().isEmpty());
}

TEST_F(View, AVeryLargeTextIsCutAndSaysSo) {
    std::string big;
    while (big.size() < static_cast<std::size_t>(TFormView::MaxTextBytes) + 100)
        big += std::string(79, 'a') + '\n';
    big[static_cast<std::size_t>(TFormView::MaxTextBytes) - 1] = '\xC3';  // split "é"
    big[static_cast<std::size_t>(TFormView::MaxTextBytes)] = '\xA9';
    drives.writeFile("C:\\t\\big.log", big);
    auto v = open("C:\\t\\big.log");
    EXPECT_TRUE(v->cut());
    EXPECT_TRUE(v->panelText().contains("2 premiers Mo"));
    EXPECT_EQ(v->richEditView()->document()->characterCount() - 1, TFormView::MaxTextBytes - 1);
}

TEST_F(View, PrintsToAPdfWithTheQuestionOrSaysThereIsNoPrinter) {
    drives.writeFile("C:\\t\\rapport.txt", "Bilan trimestriel de Korvelt");
    auto v = open("C:\\t\\rapport.txt");
    const QString pdf = QString::fromStdString(drives.hostPath("C:\\t\\out.pdf"));
    qputenv("KORVELT_PRINT_PDF", pdf.toUtf8());
    answers = {QMessageBox::Cancel, QMessageBox::Yes};
    v->Imprimer1Click();
    EXPECT_FALSE(QFile::exists(pdf));
    v->Imprimer1Click();
    qunsetenv("KORVELT_PRINT_PDF");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], "Confirmation: Imprimer < rapport > ?");
    QProcess text;
    text.start("pdftotext", {pdf, "-"});
    ASSERT_TRUE(text.waitForFinished());
    EXPECT_TRUE(text.readAllStandardOutput().contains("Bilan trimestriel de Korvelt"));

    if (QPrinterInfo::defaultPrinter().isNull()) {
        // Without a printer the pages go to the PDF file the user names.
        boxes.clear();
        chooser.answers = {{"C:\\t\\sans-imprimante.pdf", 1}};
        v->Imprimer1Click();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_TRUE(boxes[1].startsWith("Confirmation: Aucune imprimante"));
        text.start("pdftotext",
                   {QString::fromStdString(drives.hostPath("C:\\t\\sans-imprimante.pdf")), "-"});
        ASSERT_TRUE(text.waitForFinished());
        EXPECT_TRUE(text.readAllStandardOutput().contains("Bilan trimestriel de Korvelt"));
    }
}

TEST_F(View, APictureShowsItsSizeAndSavesAsJpegAndBmp) {
    copyFixture("photo.jpg", "C:\\t\\photo.JPG");
    auto v = open("C:\\t\\photo.JPG");
    ASSERT_TRUE(v->pictureMode());
    v->show();
    v->resize(800, 600);
    v->layout()->activate();
    v->FormResize();
    EXPECT_EQ(v->panelText(), " 160 / 120 pixels");
    // Smaller than the window: its own size, centred above the bottom panel.
    EXPECT_EQ(v->image1()->geometry(), QRect((800 - 160) / 2, (600 - 120 - 26) / 2, 160, 120));
    EXPECT_EQ(v->buttonClose()->x(), (800 - 75) / 2);

    drives.makeFolder("C:\\out");
    chooser.answers = {{"C:\\out\\p.jpg", 1}, {"C:\\out\\p.bmp", 1}};
    v->SaveJPGClick();
    v->SaveBMPClick();
    EXPECT_EQ(chooser.requests[0].title, "Enregistrer l'image en JPG");
    EXPECT_EQ(chooser.requests[1].filter, "Fichiers BMP (*.bmp)");
    const QImage jpg(QString::fromStdString(drives.hostPath("C:\\out\\p.jpg")), "jpeg");
    EXPECT_EQ(jpg.size(), QSize(160, 120));
    const std::string bmpBytes = drives.readFile("C:\\out\\p.bmp");
    ASSERT_GT(bmpBytes.size(), 30u);
    EXPECT_EQ(bmpBytes[28], 24);  // a 24-bit bitmap
    const QImage bmp(QString::fromStdString(drives.hostPath("C:\\out\\p.bmp")), "bmp");
    EXPECT_EQ(bmp.convertToFormat(QImage::Format_RGB888),
              v->picture().convertToFormat(QImage::Format_RGB888));

    chooser.answers = {{"C:\\out\\p.bmp", 1}};
    answers = {QMessageBox::Cancel};
    v->SaveBMPClick();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Information: Le fichier < p.bmp > existe déjà,\nEcraser le fichier ?");

    v->CopyImageClick();
    EXPECT_EQ(boxes.back(), "Korvelt: L'image a été copiée dans le presse papier");
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(160, 120));
}

TEST_F(View, ALargePictureFitsInsideBothSides) {
    QImage wide(2000, 500, QImage::Format_RGB32);
    wide.fill(Qt::blue);
    QImage tall(500, 2000, QImage::Format_RGB32);
    tall.fill(Qt::red);
    drives.makeFolder("C:\\p");
    wide.save(QString::fromStdString(drives.hostPath("C:\\p\\wide.png")));
    tall.save(QString::fromStdString(drives.hostPath("C:\\p\\tall.png")));
    struct Case {
        const char* path;
        QSize size;
    } cases[] = {{"C:\\p\\wide.png", {800, 200}},
                 // 500 x (600 - 26) / 2000 = 143.5, halves to even.
                 {"C:\\p\\tall.png", {144, 574}}};
    for (const Case& c : cases) {
        auto v = open(c.path);
        v->resize(800, 600);
        v->FormResize();
        EXPECT_EQ(v->image1()->size(), c.size) << c.path;
        EXPECT_TRUE(v->image1()->hasScaledContents());
    }
    // A picture wider than tall that would overflow the height once fitted
    // to the width is fitted to the height instead.
    auto v = open("C:\\p\\wide.png");
    v->resize(800, 150);
    v->FormResize();
    EXPECT_EQ(v->image1()->size(), QSize(496, 124));
}

TEST_F(View, APictureIsFittedAboveTheBottomPanelOfTheShownWindow) {
    // A fax page taller than the screen, and a panorama: inside the client
    // area, above the panel with "Fermer", whatever frame the window has.
    QImage fax(1728, 2302, QImage::Format_Mono);
    fax.fill(1);
    QImage wide(3000, 400, QImage::Format_RGB32);
    wide.fill(Qt::blue);
    drives.makeFolder("C:\\p");
    fax.save(QString::fromStdString(drives.hostPath("C:\\p\\fax.png")));
    wide.save(QString::fromStdString(drives.hostPath("C:\\p\\wide.png")));
    for (const char* path : {"C:\\p\\fax.png", "C:\\p\\wide.png"}) {
        auto v = open(path);
        v->show();
        v->resize(800, 600);
        v->layout()->activate();
        v->FormResize();
        const QWidget* panel = v->findChild<QWidget*>("Panel1");
        ASSERT_NE(panel, nullptr);
        const QRect room(0, 0, v->width(), panel->y());
        EXPECT_TRUE(room.contains(v->image1()->geometry()))
            << path << ": " << v->image1()->geometry().x() << "," << v->image1()->geometry().y()
            << " " << v->image1()->width() << "x" << v->image1()->height();
        EXPECT_TRUE(v->buttonClose()->isVisible());
    }
}

TEST_F(View, APictureThatDoesNotDecodeShowsAsText) {
    drives.writeFile("C:\\t\\faux.png", "pas une image");
    auto v = open("C:\\t\\faux.png");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Erreur: Fichier image non compatible !");
    EXPECT_FALSE(v->pictureMode());
    EXPECT_FALSE(v->formatted());
    EXPECT_EQ(v->richEditView()->toPlainText(), "pas une image");
    // The codec library's formats fail the same way until their decoders come.
    drives.writeFile("C:\\t\\x.tga", "TGA?");
    auto t = open("C:\\t\\x.tga");
    EXPECT_FALSE(t->pictureMode());
    EXPECT_EQ(boxes.size(), 2u);
}

TEST_F(View, SpaceEnterF4AndEscapeClose) {
    drives.writeFile("C:\\t\\a.txt", "x");
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_F4, Qt::Key_Escape}) {
        auto v = open("C:\\t\\a.txt");
        v->show();
        v->richEditView()->setFocus();
        QTest::keyClick(v->richEditView(), key);
        EXPECT_FALSE(v->isVisible()) << key;
    }
    auto v = open("C:\\t\\a.txt");
    v->show();
    v->buttonClose()->clicked();
    EXPECT_FALSE(v->isVisible());
}

}  // namespace
}  // namespace kv
