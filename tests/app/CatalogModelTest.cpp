#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QMessageBox>
#include <QPushButton>

#include "app/CatalogModel.h"
#include "app/TMainKorvelt2002.h"
#include "engine/ArchiveFormat.h"
#include "gui/QtUi.h"

namespace kv {
namespace {

const LocaleSeparators French = LocaleSeparators::french();

// A row added from disk (never archived).
CatalogRow row(const std::string& name, const std::string& folder, int64_t size,
               EntryStatus status) {
    CatalogRow r;
    r.name = name;
    r.folder = folder;
    r.size = size;
    r.fileDate = *toDosDateTime(DateTime{2026, 12, 8, 10, 30, 0});
    r.typeName = "Document texte";
    r.status = status;
    return r;
}

TEST(CatalogModel, ColumnsShowTheRowsTextsWithTheirCaptionsAndAlignments) {
    Catalog rows{row("a.txt", "C:\\d\\", 1500, New)};
    CatalogModel model(rows, French);
    ASSERT_EQ(model.columnCount(), 6);
    const char* captions[] = {"Nom", "Dossier", "Taille", "Compressé", "Modifié", "Type"};
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
                  QString::fromUtf8(captions[c]));
    EXPECT_EQ(model.data(model.index(0, 0), Qt::DisplayRole).toString(), "a.txt");
    EXPECT_EQ(model.data(model.index(0, 1), Qt::DisplayRole).toString(), "C:\\d\\");
    EXPECT_EQ(model.data(model.index(0, 2), Qt::DisplayRole).toString(), "1500");
    EXPECT_EQ(model.data(model.index(0, 3), Qt::DisplayRole).toString(), "");
    EXPECT_EQ(model.data(model.index(0, 4), Qt::DisplayRole).toString(), "08/12/2026 10:30");
    EXPECT_EQ(model.data(model.index(0, 5), Qt::DisplayRole).toString(), "Document texte");
    const auto right = model.data(model.index(0, 2), Qt::TextAlignmentRole).value<Qt::Alignment>();
    EXPECT_TRUE(right & Qt::AlignRight);
    EXPECT_TRUE(model.data(model.index(0, 4), Qt::TextAlignmentRole).value<Qt::Alignment>() &
                Qt::AlignLeft);

    std::vector<int> asked;
    model.setIconProvider([&](int status) {
        asked.push_back(status);
        return QIcon();
    });
    model.data(model.index(0, 0), Qt::DecorationRole);
    EXPECT_EQ(asked, std::vector<int>{3});
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
}

TEST(CatalogModel, CellTextsComeFromTheRowsValues) {
    CatalogRow stored = row("b.txt", "C:\\d\\", int64_t(3) << 30, Unchanged);
    stored.compressedSize = 1234;
    stored.entryOffset = format::FirstEntryOffset;
    LocaleSeparators other;
    other.date = ".";
    other.time = "h";
    auto text = [&](const CatalogRow& r, int column, const LocaleSeparators& sep) {
        return CatalogModel::cellText(r, column, sep);
    };
    EXPECT_EQ(text(stored, CatalogModel::ColSize, French), "3221225472");
    EXPECT_EQ(text(stored, CatalogModel::ColCompressed, French), "1234");
    EXPECT_EQ(text(stored, CatalogModel::ColModified, other), "08.12.2026 10h30");
    stored.fileDate = 0;  // no valid date
    EXPECT_EQ(text(stored, CatalogModel::ColModified, French), "");
}

TEST(CatalogModel, NamesNotInUtf8ShowTheirLetters) {
    // A file named on disk in a legacy 8-bit encoding keeps its bytes in the
    // row; the list shows them as the letters they most likely are.
    const std::string folder = std::string("C:\\Donn\xE9") + "es\\";
    Catalog rows{row("caf\xE9.txt", folder, 1, New)};
    CatalogModel model(rows, French);
    EXPECT_EQ(model.data(model.index(0, 0), Qt::DisplayRole).toString(), "café.txt");
    EXPECT_EQ(model.data(model.index(0, 1), Qt::DisplayRole).toString(), "C:\\Données\\");
    EXPECT_EQ(rows[0].name, "caf\xE9.txt");
}

TEST(CatalogModel, AppendEraseAndResetKeepTheModelConsistent) {
    Catalog rows{row("a", "C:\\", 1, Unchanged), row("b", "C:\\", 2, Modified)};
    CatalogModel model(rows, French);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    // Rows the engine appended stay unseen until they are announced.
    rows.push_back(row("c", "C:\\", 3, New));
    rows.push_back(row("d", "C:\\", 4, New));
    EXPECT_EQ(model.rowCount(), 2);
    model.syncAppended();
    EXPECT_EQ(model.rowCount(), 4);

    model.beginErase(1, 2);
    rows.erase(rows.begin() + 1, rows.begin() + 3);
    model.endErase();
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.data(model.index(1, 0), Qt::DisplayRole).toString(), "d");

    // A vector emptied behind the model's back answers nothing, then a reset
    // shows the new state.
    rows.clear();
    EXPECT_FALSE(model.data(model.index(1, 0), Qt::DisplayRole).isValid());
    model.syncAppended();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(CatalogModel, AFilterShowsItsRowsAndMapsThemToTheCatalog) {
    Catalog rows{row("a", "C:\\", 1, Unchanged), row("b", "C:\\", 2, Missing),
                 row("c", "C:\\", 3, Modified), row("d", "C:\\", 4, Missing)};
    CatalogModel model(rows, French);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    model.setFilter(StatusFilter::Missing);
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.data(model.index(1, 0), Qt::DisplayRole).toString(), "d");
    EXPECT_EQ(model.catalogIndex(0), 1u);
    EXPECT_EQ(model.catalogIndex(1), 3u);
    EXPECT_EQ(model.shownRow(2), nullptr);

    // Rows appended are announced only when the filter shows them.
    rows.push_back(row("e", "C:\\", 5, New));
    model.syncAppended();
    EXPECT_EQ(model.rowCount(), 2);
    rows.push_back(row("f", "C:\\", 6, Missing));
    model.syncAppended();
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.catalogIndex(2), 5u);

    model.setFilter(StatusFilter::ToCheck);
    EXPECT_EQ(model.rowCount(), 5);
    model.setFilter(StatusFilter::All);
    EXPECT_EQ(model.rowCount(), 6);
    // Erasing catalog rows 1 and 2 moves the later ones up.
    model.beginErase(1, 2);
    rows.erase(rows.begin() + 1, rows.begin() + 3);
    model.endErase();
    EXPECT_EQ(model.catalogIndex(3), 3u);
    EXPECT_EQ(model.shownRow(3)->name, "f");
}

TEST(QtUiBox, TitlesButtonsAndEscapeAnswers) {
    struct Case {
        MessageKind kind;
        Buttons buttons;
        const char* title;
        std::vector<QString> captions;
        Answer escape;
    } cases[] = {
        {MessageKind::Warning, Buttons::Ok, "Avertissement", {"OK"}, Answer::Ok},
        {MessageKind::Error, Buttons::Ok, "Erreur", {"OK"}, Answer::Ok},
        {MessageKind::Information,
         Buttons::YesCancel,
         "Information",
         {"&Oui", "Annuler"},
         Answer::Cancel},
        {MessageKind::Confirmation,
         Buttons::YesNoCancel,
         "Confirmation",
         {"&Oui", "&Non", "Annuler"},
         Answer::Cancel},
        {MessageKind::Confirmation, Buttons::YesNo, "Confirmation", {"&Oui", "&Non"}, Answer::No},
        {MessageKind::Confirmation,
         Buttons::YesAllNoCancel,
         "Confirmation",
         {"&Oui", "Oui pour &tous", "&Non", "Annuler"},
         Answer::Cancel},
        {MessageKind::Notice, Buttons::Ok, "Korvelt", {"OK"}, Answer::Ok},
    };
    for (const Case& c : cases) {
        std::unique_ptr<QMessageBox> box(QtUi::buildBox(nullptr, c.kind, "un\rdeux", c.buttons));
        EXPECT_EQ(box->windowTitle(), QString::fromUtf8(c.title));
        EXPECT_EQ(box->text(), "un\ndeux");
        QStringList captions;
        for (QAbstractButton* b : box->buttons()) captions << b->text();
        for (const QString& wanted : c.captions)
            EXPECT_TRUE(captions.contains(wanted)) << c.title << wanted.toStdString();
        EXPECT_EQ(captions.size(), static_cast<qsizetype>(c.captions.size()));
        // Escape presses the escape button; any result that is not a button of
        // the box answers the same.
        EXPECT_EQ(QtUi::answerOf(box->standardButton(box->escapeButton()), c.buttons), c.escape);
        EXPECT_EQ(QtUi::answerOf(QDialog::Rejected, c.buttons), c.escape);
    }
    EXPECT_EQ(QtUi::answerOf(QMessageBox::No, Buttons::YesNoCancel), Answer::No);
    EXPECT_EQ(QtUi::answerOf(QMessageBox::YesToAll, Buttons::YesAllNoCancel), Answer::YesToAll);
    // Replacing newer work is never what Enter does.
    std::unique_ptr<QMessageBox> replace(
        QtUi::buildBox(nullptr, MessageKind::Confirmation, "?", Buttons::YesAllNoCancel));
    EXPECT_EQ(replace->standardButton(replace->defaultButton()), QMessageBox::No);
    EXPECT_EQ(QtUi::answerOf(QMessageBox::Yes, Buttons::YesCancel), Answer::Yes);
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

TEST(LocaleSeparatorsOf, ComeFromTheUsersLocale) {
    const struct {
        QLocale locale;
        const char* decimal;
        const char* date;
        const char* time;
    } cases[] = {
        {QLocale(QLocale::French, QLocale::France), ",", "/", ":"},
        {QLocale(QLocale::German, QLocale::Germany), ",", ".", ":"},
        {QLocale(QLocale::English, QLocale::UnitedStates), ".", "/", ":"},
        {QLocale::c(), ".", "/", ":"},
    };
    for (const auto& c : cases) {
        const LocaleSeparators sep = TMainKorvelt2002::separatorsOf(c.locale);
        EXPECT_EQ(sep.decimal, c.decimal) << c.locale.name().toStdString();
        EXPECT_EQ(sep.date, c.date) << c.locale.name().toStdString();
        EXPECT_EQ(sep.time, c.time) << c.locale.name().toStdString();
    }
    EXPECT_EQ(
        formatNumber2(4000 / 1000.0, TMainKorvelt2002::separatorsOf(QLocale(QLocale::French))),
        "4,00");
}

}  // namespace
}  // namespace kv
