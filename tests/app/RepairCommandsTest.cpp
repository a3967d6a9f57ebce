// "Restaurer les fichiers manquants" and "Réparer l'archive" in the main
// window, end to end through the progress dialog, the boxes and the engine.

#include <QAction>
#include <QMessageBox>

#include "engine/ArchiveFormat.h"
#include "tests/app/WindowFixture.h"

namespace kv::test {
namespace {

class RepairCommands : public WindowTest {
  protected:
    // An archive on disk holding a.txt and b.txt, loaded afresh.
    TMainKorvelt2002& openedArchive() {
        drives.writeFile("C:\\d\\a.txt", std::string(1500, 'a'));
        drives.writeFile("C:\\d\\b.txt", std::string(2500, 'b'));
        makeWindow();
        archiveThroughWindow("C:\\d\\arch.kvr", {"C:\\d\\a.txt", "C:\\d\\b.txt"});
        reopen();
        return *window;
    }
    void reopen() {
        chooser.files.push_back(QStringLiteral("C:\\d\\arch.kvr"));
        trigger("Open_Arch");
        boxes.clear();
    }
    int iconOf(const std::string& name) const {
        for (const CatalogRow& row : window->archive().rows)
            if (row.name == name) return row.status;
        return -1;
    }
};

TEST_F(RepairCommands, MissingFilesAreRestoredWithTheirDates) {
    TMainKorvelt2002& w = openedArchive();
    const auto stored = platform().lastWriteDos("C:\\d\\b.txt");
    platform().removeFile("C:\\d\\b.txt");
    reopen();
    ASSERT_EQ(iconOf("b.txt"), Missing);
    EXPECT_TRUE(action("RestaureManquants")->isEnabled());

    QString caption;
    onProgress = [&](TFormProgress& progress) {
        caption = progress.windowTitle();
        progress.ButtonDemarreClick();
        return progress.result();
    };
    action("RestaureManquants")->trigger();
    EXPECT_EQ(caption, "Restauration des fichiers manquants");
    EXPECT_EQ(drives.readFile("C:\\d\\b.txt"), std::string(2500, 'b'));
    EXPECT_EQ(platform().lastWriteDos("C:\\d\\b.txt"), stored);
    EXPECT_EQ(iconOf("b.txt"), Unchanged);
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(action("RestaureManquants")->isEnabled());

    // With changes not archived, it refuses as the restore does.
    platform().removeFile("C:\\d\\b.txt");
    reopen();
    w.archive().listChanged = true;
    trigger("RestaureManquants");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.indexOf("obligatoire d'archiver"), -1);
    EXPECT_FALSE(platform().fileExists("C:\\d\\b.txt"));
}

TEST_F(RepairCommands, RepairAsksKeepsTheSoundEntriesAndTheRowsToArchive) {
    TMainKorvelt2002& w = openedArchive();
    // a.txt's member damaged, then a new file added and not archived yet.
    std::string bytes = drives.readFile("C:\\d\\arch.kvr");
    const std::size_t aPayload = format::FirstEntryOffset + format::RecordSize;
    bytes[aPayload + 12] = char(bytes[aPayload + 12] ^ 0x55);
    drives.writeFile("C:\\d\\arch.kvr", bytes);
    reopen();
    drives.writeFile("C:\\d\\c.txt", "nouveau");
    drop({"C:\\d\\c.txt"});

    // Annuler writes nothing.
    answers.push_back(QMessageBox::Cancel);
    trigger("Reparer_Arch");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Confirmation");
    EXPECT_TRUE(boxes[0].text.startsWith(
        "L'archive < arch.kvr > est endommagée.\nPerdu :\n< C:\\d\\a.txt > : "))
        << boxes[0].text.toStdString();
    EXPECT_NE(boxes[0].text.indexOf("conservée sous < arch.kvr.bak >"), -1);
    EXPECT_FALSE(platform().fileExists("C:\\d\\arch.kvr.bak"));

    boxes.clear();
    trigger("Reparer_Arch");  // Oui
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text,
              "L'archive < arch.kvr > a été réparée : 1 entrée(s) conservée(s), "
              "0 corrigée(s), 1 perte(s).\nL'archive d'origine est conservée sous "
              "< arch.kvr.bak >.");
    EXPECT_TRUE(drives.readFile("C:\\d\\arch.kvr.bak") == bytes);
    std::vector<std::string> rows;
    for (const CatalogRow& row : w.archive().rows) rows.push_back(row.name);
    EXPECT_EQ(rows, (std::vector<std::string>{"b.txt", "c.txt"}));
    EXPECT_EQ(iconOf("c.txt"), New);
    EXPECT_TRUE(w.archive().listChanged);

    // Now sound: nothing more to do.
    boxes.clear();
    trigger("Reparer_Arch");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Information");
    EXPECT_NE(boxes[0].text.indexOf("il n'y a rien à réparer"), -1);
}

}  // namespace
}  // namespace kv::test
