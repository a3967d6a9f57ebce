// "Vérifier l'archive" and "Tester l'archive" in the main window, end to end
// through the progress dialog and the engine: what the rows show afterwards.

#include <QAction>
#include <QLabel>
#include <QStatusBar>

#include "engine/ArchiveFormat.h"
#include "tests/app/WindowFixture.h"

namespace kv::test {
namespace {

class VerifyCommands : public WindowTest {
  protected:
    // An archive of a.txt, b.txt, c.txt and d.txt; then a.txt's member
    // damaged, b.txt changed with its date set back, c.txt removed; loaded.
    TMainKorvelt2002& changedArchive() {
        for (const char* name : {"a", "b", "c", "d"})
            drives.writeFile(std::string("C:\\d\\") + name + ".txt", std::string(3000, *name));
        makeWindow();
        archiveThroughWindow("C:\\d\\arch.kvr",
                             {"C:\\d\\a.txt", "C:\\d\\b.txt", "C:\\d\\c.txt", "C:\\d\\d.txt"});
        std::string bytes = drives.readFile("C:\\d\\arch.kvr");
        const std::size_t aPayload = format::FirstEntryOffset + format::RecordSize;
        bytes[aPayload + 12] = char(bytes[aPayload + 12] ^ 0x55);
        drives.writeFile("C:\\d\\arch.kvr", bytes);
        const std::optional<int32_t> stored = platform().fileLastWriteDos("C:\\d\\b.txt");
        drives.writeFile("C:\\d\\b.txt", std::string(3000, 'B'));
        EXPECT_TRUE(platform().setLastWriteDos("C:\\d\\b.txt", *stored));
        platform().removeFile("C:\\d\\c.txt");
        chooser.files.push_back(QStringLiteral("C:\\d\\arch.kvr"));
        trigger("Open_Arch");
        openMenu("Action1");
        boxes.clear();
        return *window;
    }
    int statusOf(const std::string& name) const {
        for (const CatalogRow& row : window->archive().rows)
            if (row.name == name) return row.status;
        return -1;
    }
    // Presses the progress dialog's start button; keeps its caption.
    void startEachRun() {
        onProgress = [this](TFormProgress& progress) {
            caption = progress.windowTitle();
            progress.ButtonDemarreClick();
            figuresAfter = progress.labelReste()->text();
            return progress.result();
        };
    }
    QString caption;
    QString figuresAfter;
};

TEST_F(VerifyCommands, VerifyShowsWhatTheDatesHideAndTheFilterTakesItIn) {
    TMainKorvelt2002& w = changedArchive();
    // The load judges by dates: only the missing file shows.
    EXPECT_EQ(statusOf("a.txt"), Unchanged);
    EXPECT_EQ(statusOf("b.txt"), Unchanged);
    EXPECT_EQ(statusOf("c.txt"), Missing);
    ASSERT_TRUE(action("Verifier_Arch")->isEnabled());

    startEachRun();
    trigger("Verifier_Arch");
    EXPECT_EQ(caption, "Vérification de l'archive");
    EXPECT_EQ(statusOf("a.txt"), Damaged);
    EXPECT_EQ(statusOf("b.txt"), Differs);
    EXPECT_EQ(statusOf("c.txt"), Missing);
    EXPECT_EQ(statusOf("d.txt"), Unchanged);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(w.statusBar()->currentMessage(),
              "Vérification : 1 identique(s), 1 différent(s), 0 modifié(s), 1 endommagé(s), 1 "
              "manquant(s)");
    EXPECT_TRUE(figuresAfter.isEmpty());  // the figures go with the run
    // Nothing was written: the changed file is as it was.
    EXPECT_EQ(drives.readFile("C:\\d\\b.txt"), std::string(3000, 'B'));

    trigger("Afficher_AVerifier");
    EXPECT_EQ(w.shownRows().size(), 3u);
}

TEST_F(VerifyCommands, TestFindsTheDamagedMemberWithoutTheDisk) {
    TMainKorvelt2002& w = changedArchive();
    startEachRun();
    trigger("Tester_Arch");
    EXPECT_EQ(caption, "Test de l'archive");
    EXPECT_EQ(statusOf("a.txt"), Damaged);
    EXPECT_EQ(statusOf("b.txt"), Unchanged);  // the disk is not read
    EXPECT_EQ(statusOf("c.txt"), Missing);
    EXPECT_EQ(w.statusBar()->currentMessage(), "Test : 3 intacte(s), 1 endommagée(s)");
}

}  // namespace
}  // namespace kv::test
