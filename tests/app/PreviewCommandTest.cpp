// The preview command from the catalog: stored copies extracted into the Work
// folder and shown, rows never archived shown from the disk, and what is left
// behind afterwards.

#include <QFile>
#include <QItemSelectionModel>
#include <QTextEdit>
#include <QTreeView>

#include "tests/app/WindowFixture.h"
#include "viewer/TFormView.h"

namespace kv::test {
namespace {

class PreviewCommand : public WindowTest {
  protected:
    struct Shown {
        QString caption;
        bool picture = false;
        bool formatted = false;
        QString text;
        QString panel;
        std::string copyPath;
        bool copyExisted = false;
    };

    void SetUp() override {
        WindowTest::SetUp();
        DialogRunner::setHandler([this](QDialog& dialog) {
            if (auto* view = qobject_cast<TFormView*>(&dialog)) {
                Shown s{view->windowTitle(),
                        view->pictureMode(),
                        view->formatted(),
                        view->richEditView()->toPlainText(),
                        view->panelText(),
                        {},
                        false};
                s.copyPath = workCopies();
                s.copyExisted = !s.copyPath.empty();
                shown.push_back(s);
                return int(QDialog::Rejected);
            }
            return runDialog(dialog);
        });
    }

    void copyFixture(const char* name, const std::string& to) {
        QFile f(QString(KORVELT_TEST_DATA "/") + name);
        f.open(QIODevice::ReadOnly);
        drives.writeFile(to, f.readAll().toStdString());
    }
    // The preview copies in the Work folder ("" when there is none).
    std::string workCopies() const {
        std::string all;
        for (const FindEntry& e : platform().find("C:\\Work\\~kvv*", attr::AnyFile)) all += e.name;
        return all;
    }
    void previewRow(std::size_t row) {
        window->listView()->clearSelection();
        window->listView()->selectionModel()->select(
            window->catalogModel().index(static_cast<int>(row), 0),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
        action("Voir_FichierArch")->trigger();
    }
    std::size_t rowOf(const std::string& name) const {
        for (std::size_t i = 0; i < window->archive().rows.size(); ++i)
            if (window->archive().rows[i].name == name) return i;
        return SIZE_MAX;
    }

    std::vector<Shown> shown;
};

TEST_F(PreviewCommand, ShowsEachStoredKindAndLeavesNothingBehind) {
    drives.writeFile("C:\\d\\notes.txt", "Liste des courses\r\npain");
    copyFixture("lettre.rtf", "C:\\d\\lettre.rtf");
    copyFixture("photo.jpg", "C:\\d\\photo.jpg");
    copyFixture("badge.png", "C:\\d\\badge.PNG");
    drives.makeFolder("C:\\Work");
    // A file of the user's in the Work folder with a stored file's name.
    drives.writeFile("C:\\Work\\notes.txt", "mes notes");
    TMainKorvelt2002& w = makeWindow();
    w.options().workFolder = "C:\\Work\\";
    EXPECT_TRUE(w.imageExtensions().contains(".JPG"));
    EXPECT_EQ(w.imageExtensions().size(), 37);
    archiveThroughWindow("C:\\d\\a.kvr", {"C:\\d\\notes.txt", "C:\\d\\lettre.rtf",
                                          "C:\\d\\photo.jpg", "C:\\d\\badge.PNG"});
    // The archived copy is what shows, whatever the disk holds now.
    drives.writeFile("C:\\d\\notes.txt", "changé depuis");
    boxes.clear();

    for (const char* name : {"notes.txt", "lettre.rtf", "photo.jpg", "badge.PNG"})
        previewRow(rowOf(name));
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_TRUE(boxes.empty()) << boxes[0].text.toStdString();
    EXPECT_EQ(shown[0].caption, "Aperçu de [notes.txt]");
    EXPECT_EQ(shown[0].text, "Liste des courses\npain");
    EXPECT_EQ(shown[1].caption, "Aperçu de [lettre.rtf]");
    EXPECT_TRUE(shown[1].formatted);
    EXPECT_TRUE(shown[1].text.startsWith("Lettre de réclamation\n"));
    EXPECT_TRUE(shown[1].text.contains("3 décembre"));
    EXPECT_TRUE(shown[2].picture);
    EXPECT_EQ(shown[2].panel, " 160 / 120 pixels");
    EXPECT_TRUE(shown[3].picture);
    EXPECT_EQ(shown[3].panel, " 64 / 48 pixels");
    // Each copy kept the stored extension while it was shown, and went after.
    EXPECT_TRUE(shown[0].copyExisted);
    EXPECT_TRUE(QString::fromStdString(shown[0].copyPath).endsWith(".txt"));
    EXPECT_TRUE(QString::fromStdString(shown[3].copyPath).endsWith(".PNG"));
    EXPECT_EQ(workCopies(), "");
    EXPECT_EQ(drives.readFile("C:\\Work\\notes.txt"), "mes notes");
}

TEST_F(PreviewCommand, RowsNeverArchivedShowFromTheDiskOrDoNothing) {
    drives.writeFile("C:\\d\\nouveau.txt", "tout neuf");
    drives.writeFile("C:\\d\\parti.txt", "bientôt effacé");
    makeWindow();
    chooser.files.push_back(QString("C:\\d\\n.kvr"));
    trigger("New_Arch");
    drop({"C:\\d\\nouveau.txt", "C:\\d\\parti.txt"});
    platform().removeFile("C:\\d\\parti.txt");
    boxes.clear();

    action("Voir_FichierArch")->trigger();  // nothing selected
    EXPECT_TRUE(shown.empty());
    previewRow(rowOf("parti.txt"));
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(boxes.empty());
    previewRow(rowOf("nouveau.txt"));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "tout neuf");
    EXPECT_EQ(drives.readFile("C:\\d\\nouveau.txt"), "tout neuf");
}

TEST_F(PreviewCommand, AnEntryOfAnotherFileOrADamagedPayloadIsSaid) {
    drives.writeFile("C:\\d\\a.txt", std::string(5000, 'a'));
    TMainKorvelt2002& w = makeWindow();
    drives.makeFolder("C:\\Work");
    w.options().workFolder = "C:\\Work\\";
    archiveThroughWindow("C:\\d\\a.kvr", {"C:\\d\\a.txt"});
    boxes.clear();

    CatalogRow& row = w.archive().rows[0];
    const std::optional<int64_t> offset = row.entryOffset;
    row.folder = "C:\\autre\\";
    previewRow(0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Le fichier < C:\\autre\\a.txt > ne se trouve pas dans l'archive");

    // Cut the archive inside the payload: the entry no longer fits.
    row.folder = "C:\\d\\";
    const std::string bytes = drives.readFile("C:\\d\\a.kvr");
    drives.writeFile("C:\\d\\a.kvr", bytes.substr(0, bytes.size() - 10));
    previewRow(0);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "Impossible de décompresser le fichier < a.txt >");
    EXPECT_TRUE(shown.empty());

    // A damaged payload that still fits: the message, then what was decompressed.
    std::string damaged = bytes;
    damaged[damaged.size() - 12] ^= 0x55;
    drives.writeFile("C:\\d\\a.kvr", damaged);
    previewRow(0);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2].text, "Impossible de décompresser le fichier < a.txt >");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(workCopies(), "");
    EXPECT_EQ(row.entryOffset, offset);
}

}  // namespace
}  // namespace kv::test
