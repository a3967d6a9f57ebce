// Restoring through the built programs onto ground a user really has: links
// below the chosen folder and in the user's own folders, newer work under the
// stored names, and the stored dates that tell the catalog a file is unchanged.
// kvr extract and the self-extractor, each a process of its own.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/CatalogReader.h"
#include "platform/DosTime.h"
#include "support/RecordingUi.h"
#include "tests/tools/KvrFixture.h"

namespace kv::test {
namespace {

class ExtractSafety : public KvrFixture {
  protected:
    // Builds root/exe from root/archive with kvr sfx; its host path.
    std::string selfExtractor(const std::string& archive, const std::string& exe) const {
        const Outcome built = kvr("sfx " + quote("K:\\" + archive) + " " + quote("K:\\" + exe));
        EXPECT_EQ(built.status, 0) << built.err;
        return (root_ / exe).string();
    }
    // A link at root/relative to the folder root/target.
    void link(const std::string& relative, const std::string& target) const {
        fs::create_directories((root_ / relative).parent_path());
        fs::create_directory_symlink(root_ / target, root_ / relative);
    }
    void setTime(const std::string& relative, std::time_t t) const {
        const timespec times[2] = {{t, 0}, {t, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (root_ / relative).c_str(), times, 0), 0);
    }
    std::time_t timeOf(const std::string& relative) const {
        struct stat st {};
        ::stat((root_ / relative).c_str(), &st);
        return st.st_mtime;
    }
    std::string lastOutLine(const Outcome& r) const {
        std::string out = r.out;
        while (!out.empty() && out.back() == '\n') out.pop_back();
        return out.substr(out.rfind('\n') + 1);
    }
};

TEST_F(ExtractSafety, LinksBelowTheChosenFolderAreRefusedByKvrAndTheStub) {
    put("Outside/victim.txt", "untouched");
    link("T/link", "Outside");
    writeArchive("a.kvr", {Entry("pwn.txt", "x").in("K:\\link\\"),
                           Entry("pwn2.txt", "x").in("K:\\LINK\\"),  // the same link, another case
                           Entry("good.txt", "good").in("K:\\ok\\")});

    const Outcome r = kvr("extract 'K:\\a.kvr' --to 'K:\\T' --tree");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("< K:\\link\\pwn.txt > : chemin refusé"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("< K:\\LINK\\pwn2.txt > : chemin refusé"), std::string::npos) << r.err;
    EXPECT_EQ(lastOutLine(r), "1 fichier(s) restauré(s), 2 en erreur");
    EXPECT_EQ(read("T/ok/good.txt"), "good");
    EXPECT_EQ(namesIn("Outside"), std::vector<std::string>{"victim.txt"});

    const std::string exe = selfExtractor("a.kvr", "a.exe");
    const Outcome stub = run(exe, "--to 'K:\\T' --tree", "Run");
    EXPECT_EQ(stub.status, 1);
    EXPECT_NE(stub.err.find("Fichier refusé (lien dans le dossier de destination) : K:\\T\\link"),
              std::string::npos)
        << stub.err;

    // The stub's default folder, ./a, planted as a link before it starts.
    link("Run2/a", "Outside");
    const Outcome byDefault = run(exe, "", "Run2");
    EXPECT_EQ(byDefault.status, 1);
    EXPECT_NE(byDefault.err.find("0 fichier(s) extrait(s), 3 en erreur"), std::string::npos)
        << byDefault.err;
    EXPECT_EQ(namesIn("Outside"), std::vector<std::string>{"victim.txt"});
    EXPECT_EQ(read("Outside/victim.txt"), "untouched");
}

TEST_F(ExtractSafety, StoredFoldersGoThroughTheUsersOwnLinks) {
    // A home folder moved to another disk, reached through a link of the user.
    fs::create_directories(root_ / "Disque/moi");
    link("Home", "Disque");
    writeArchive("a.kvr", {Entry("a.txt", "version 1").in("K:\\Home\\moi\\Docs\\")});

    const Outcome r = kvr("extract 'K:\\a.kvr' --origin");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("Disque/moi/Docs/a.txt"), "version 1");
    EXPECT_TRUE(fs::is_symlink(root_ / "Home"));

    fs::remove(root_ / "Disque/moi/Docs/a.txt");
    EXPECT_EQ(run(selfExtractor("a.kvr", "a.exe"), "--origin", "Run").status, 0);
    EXPECT_EQ(read("Disque/moi/Docs/a.txt"), "version 1");
}

TEST_F(ExtractSafety, NewerWorkSurvivesARestoreToTheStoredFolders) {
    put("Docs/a.txt", "version 1");
    put("Docs/b.txt", "beta 1");
    put("liste.kvl", "K:\\Docs\\*.*\r\n");
    ASSERT_EQ(kvr("update 'K:\\a.kvr' --script 'K:\\liste.kvl'").status, 0);
    const std::time_t stored = timeOf("Docs/a.txt");
    auto work = [&] {
        put("Docs/a.txt", "version 2, newer work");
        setTime("Docs/a.txt", stored + 3600);
        put("Docs/b.txt", "an old copy");
        setTime("Docs/b.txt", stored - 86400);
    };

    work();
    Outcome r = kvr("extract 'K:\\a.kvr' --origin");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("K:\\Docs\\a.txt : conservé : plus récent que la copie archivée"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(lastOutLine(r), "1 fichier(s) restauré(s), 1 conservé(s), 0 en erreur");
    EXPECT_EQ(read("Docs/a.txt"), "version 2, newer work");
    EXPECT_EQ(read("Docs/b.txt"), "beta 1");

    work();
    r = kvr("extract 'K:\\a.kvr' --origin --overwrite never");
    EXPECT_EQ(lastOutLine(r), "0 fichier(s) restauré(s), 2 conservé(s), 0 en erreur");
    EXPECT_EQ(read("Docs/b.txt"), "an old copy");
    r = kvr("extract 'K:\\a.kvr' --origin --overwrite always");
    EXPECT_EQ(lastOutLine(r), "2 fichier(s) restauré(s), 0 en erreur");
    EXPECT_EQ(read("Docs/a.txt"), "version 1");
    EXPECT_EQ(kvr("extract 'K:\\a.kvr' --origin --overwrite parfois").status, 2);

    // The self-extractor keeps newer work the same way.
    const std::string exe = selfExtractor("a.kvr", "a.exe");
    work();
    r = run(exe, "--origin", "Run");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("K:\\Docs\\a.txt : conservé : plus récent que la copie archivée"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("1 fichier(s) extrait(s), 1 conservé(s)"), std::string::npos) << r.err;
    EXPECT_EQ(read("Docs/a.txt"), "version 2, newer work");
    EXPECT_EQ(run(exe, "--origin --overwrite always", "Run").status, 0);
    EXPECT_EQ(read("Docs/a.txt"), "version 1");
}

TEST_F(ExtractSafety, RestoredFilesHaveTheirStoredDatesAndLoadAsUnchanged) {
    // Dates a day apart, odd seconds among them (the record keeps 2 seconds).
    const std::time_t base = localTimeOf(DateTime{2024, 3, 10, 14, 25, 7});
    for (int i = 0; i < 4; ++i) {
        const std::string name = "Docs/f" + std::to_string(i) + ".txt";
        put(name, "contenu " + std::to_string(i));
        setTime(name, base + i * 86401);
    }
    put("liste.kvl", "K:\\Docs\\*.*\r\n");
    ASSERT_EQ(kvr("update 'K:\\a.kvr' --script 'K:\\liste.kvl'").status, 0);

    ASSERT_EQ(kvr("extract 'K:\\a.kvr' --to 'K:\\Out' --tree").status, 0);
    const std::string exe = selfExtractor("a.kvr", "a.exe");
    ASSERT_EQ(run(exe, "", "Run").status, 0);
    for (int i = 0; i < 4; ++i) {
        const std::string name = "Docs/f" + std::to_string(i) + ".txt";
        const std::time_t expected = timeOf(name) / 2 * 2;
        EXPECT_EQ(timeOf("Out/" + name), expected) << name;
        EXPECT_EQ(timeOf("Run/a/" + name), expected) << name;
    }

    // Put back where they were stored, the files are what the archive holds.
    fs::remove_all(root_ / "Docs");
    ASSERT_EQ(kvr("extract 'K:\\a.kvr' --origin").status, 0);
    OpenArchive archive;
    archive.path = "K:\\a.kvr";
    RecordingUi ui;
    ASSERT_EQ(LoadArchive(archive, ui).outcome, LoadOutcome::Loaded);
    ASSERT_EQ(archive.rows.size(), 4u);
    for (const CatalogRow& row : archive.rows) EXPECT_EQ(row.status, Unchanged) << row.name;
}

}  // namespace
}  // namespace kv::test
