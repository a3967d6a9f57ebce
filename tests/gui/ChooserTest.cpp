// The real chooser: Qt's file dialogs on host folders, answers as Windows paths.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTranslator>
#include <clocale>
#include <cstdlib>

#include "gui/Chooser.h"
#include "gui/DialogRunner.h"
#include "gui/QtTranslations.h"
#include "tests/support/FaultPlatform.h"

namespace kv::test {
namespace {

class RealChooser : public ::testing::Test {
  protected:
    void SetUp() override {
        Chooser::install(nullptr);
        DialogRunner::setHandler([this](QDialog& dialog) {
            auto* files = qobject_cast<QFileDialog*>(&dialog);
            if (!files || answer.empty()) return int(QDialog::Rejected);
            titles.push_back(files->windowTitle());
            suffixes.push_back(files->defaultSuffix());
            files->selectFile(QString::fromStdString(answer));
            return int(QDialog::Accepted);
        });
    }
    void TearDown() override { DialogRunner::setHandler({}); }

    TempDrives drives;
    std::string answer;  // host path the "user" picks; empty cancels
    std::vector<QString> titles, suffixes;
};

TEST_F(RealChooser, FilesAndFoldersComeBackAsWindowsPaths) {
    drives.writeFile("C:\\Mes docs\\a.kvr", "x");
    answer = drives.hostPath("C:\\Mes docs\\a.kvr");
    FileDialogRequest request;
    request.title = "Ouvrir une archive KVR";
    request.filter = "Fichiers KVR (*.kvr)";
    request.defaultExtension = "kvr";
    EXPECT_EQ(Chooser::instance().openFile(nullptr, request), QString("C:\\Mes docs\\a.kvr"));
    EXPECT_EQ(titles.back(), "Ouvrir une archive KVR");
    EXPECT_EQ(suffixes.back(), "kvr");

    answer = drives.hostPath("C:\\Mes docs");
    EXPECT_EQ(Chooser::instance().folder(nullptr, "Dossier", {}), QString("C:\\Mes docs"));
    answer = drives.root('C');
    EXPECT_EQ(Chooser::instance().folder(nullptr, "Dossier", "C:\\absent\\"), QString("C:\\"));

    answer.clear();
    EXPECT_FALSE(Chooser::instance().saveFile(nullptr, request));
}

TEST_F(RealChooser, ANameTypedWithoutExtensionTakesTheChosenFilters) {
    QString filter;  // the filter the "user" ends on
    DialogRunner::setHandler([&](QDialog& dialog) {
        auto* files = qobject_cast<QFileDialog*>(&dialog);
        if (!files) return int(QDialog::Rejected);
        files->selectNameFilter(filter);
        files->selectFile(QString::fromStdString(answer));
        return int(QDialog::Accepted);
    });
    drives.writeFile("C:\\Textes\\x", "");
    answer = drives.hostPath("C:\\Textes") + "/lettre";
    FileDialogRequest request;
    request.filter = "Fichiers textes (*.txt);;Fichiers RTF (*rtf);;Tous les fichiers (*.*)";
    request.defaultExtension = "txt";
    int chosen = 0;
    request.chosenFilter = &chosen;

    filter = "Fichiers RTF (*rtf)";
    EXPECT_EQ(Chooser::instance().saveFile(nullptr, request), QString("C:\\Textes\\lettre.rtf"));
    EXPECT_EQ(chosen, 2);
    filter = "Fichiers textes (*.txt)";
    EXPECT_EQ(Chooser::instance().saveFile(nullptr, request), QString("C:\\Textes\\lettre.txt"));
    EXPECT_EQ(chosen, 1);
    // Every file: the request's own extension.
    filter = "Tous les fichiers (*.*)";
    EXPECT_EQ(Chooser::instance().saveFile(nullptr, request), QString("C:\\Textes\\lettre.txt"));
    // A name typed with an extension keeps it.
    filter = "Fichiers RTF (*rtf)";
    answer = drives.hostPath("C:\\Textes") + "/note.doc";
    EXPECT_EQ(Chooser::instance().saveFile(nullptr, request), QString("C:\\Textes\\note.doc"));
}

TEST_F(RealChooser, QtsOwnTextsOfTheFileDialogsAreFrench) {
    QTranslator* french = installQtTranslations(*QCoreApplication::instance());
    ASSERT_NE(french, nullptr) << "Qt's French catalogue (qt6-translations-l10n) is missing";
    QStringList seen;
    DialogRunner::setHandler([&](QDialog& dialog) {
        for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
            if (auto* label = dialog.findChild<QLabel*>(name)) seen << label->text();
        if (auto* box = dialog.findChild<QDialogButtonBox*>())
            for (QAbstractButton* b : box->buttons()) seen << b->text();
        return int(QDialog::Rejected);
    });
    FileDialogRequest request;
    request.title = "Enregistrer l'archive sous un nouveau nom";
    request.filter = "Fichiers KVR (*.kvr)";
    EXPECT_FALSE(Chooser::instance().saveFile(nullptr, request));
    QCoreApplication::removeTranslator(french);
    delete french;
    EXPECT_EQ(seen, (QStringList{"Voir dans :", "&Nom de fichier :", "Fichiers de type :",
                                 "&Enregistrer", "Annuler"}));
    // The type column's word for a folder, which the catalogue lacks.
    EXPECT_EQ(QFileIconProvider().type(QFileInfo(QDir::tempPath())), "Dossier");
}

// Qt's idea of the user's locale is French when the user chose none, for the
// moment the application object is made; the environment and the C library
// keep the user's own choice.
TEST(FrenchWithoutLocale, NamesFrenchForQtOnlyWhileTheApplicationIsMade) {
    const std::string all = std::getenv("LC_ALL") ? std::getenv("LC_ALL") : "";
    const auto withAll = [](const char* value, bool expectActive) {
        setenv("LC_ALL", value, 1);
        FrenchWithoutLocale french;
        EXPECT_EQ(french.active(), expectActive) << value;
        EXPECT_STREQ(std::getenv("LC_ALL"), expectActive ? "fr_FR.UTF-8" : value);
        french.end();
        EXPECT_STREQ(std::getenv("LC_ALL"), value);
    };
    withAll("C.UTF-8", true);
    withAll("POSIX", true);
    withAll("de_DE.UTF-8", false);
    setenv("LC_ALL", all.c_str(), 1);
    // The C library's locale is the user's again (the tests' own C.UTF-8).
    std::setlocale(LC_ALL, "");
    EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C.UTF-8");
}

}  // namespace
}  // namespace kv::test
