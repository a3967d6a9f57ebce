// The scheduler's rules over a program folder of its own: which planned run
// is due, what a run writes into the journal; then the built Vantrel.exe for
// what it prints and how it ends.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/AutoJournal.h"
#include "engine/AutoSaveSettings.h"
#include "platform/Platform.h"
#include "support/FaultPlatform.h"
#include "tools/vantrel/Scheduler.h"

namespace kv::vantrel {
namespace {

std::time_t at(int year, int month, int day, int hour, int minute) {
    return localTimeOf(DateTime{year, month, day, hour, minute, 0});
}

class SchedulerTest : public testing::Test {
  protected:
    // Every day at 20:00, settings written on Tuesday 01/12/2026 at noon.
    void SetUp() override {
        drives.writeFile("C:\\Arch\\a.kvr", "archive");
        drives.writeFile("C:\\Korvelt\\Script\\docs.kvl", "C:\\Docs\\a.txt\r\n");
        settings.archive = "C:\\Arch\\a.kvr";
        settings.script = "C:\\Korvelt\\Script\\docs.kvl";
        settings.execute = true;
        writeSettings(at(2026, 12, 1, 12, 0));
    }

    void writeSettings(std::time_t when) {
        ASSERT_TRUE(WriteAutoSaveSettings(scheduler.settingsPath(), settings));
        const DateTime local = localDateTime(when);
        platform().setLastWriteDos(scheduler.settingsPath(), *toDosDateTime(local));
    }

    // The launcher: counts the runs and sees the start line already written.
    Launcher launcher(int status = 0) {
        return [this, status] {
            ++runs;
            startSeen = ReadJournalSummary(scheduler.journalPath()).lastStart.has_value();
            return RunEnd{RunEnd::Kind::Exited, status};
        };
    }

    std::string journal() const { return drives.readFile(scheduler.journalPath()); }

    test::TempDrives drives;
    Scheduler scheduler{platform().programFolder()};
    AutoSaveSettings settings;
    int runs = 0;
    bool startSeen = false;
};

TEST_F(SchedulerTest, RunsMissedWhileAwayAreMadeOnceNotOncePerDay) {
    EXPECT_FALSE(scheduler.checkOnce(at(2026, 12, 1, 19, 59), launcher()));
    // Back on Saturday morning after four planned runs: one run.
    const auto end = scheduler.checkOnce(at(2026, 12, 5, 9, 0), launcher());
    ASSERT_TRUE(end);
    EXPECT_TRUE(end->succeeded());
    EXPECT_TRUE(startSeen);
    EXPECT_FALSE(scheduler.checkOnce(at(2026, 12, 5, 9, 5), launcher()));
    // A scheduler started afresh reads the run from the journal.
    Scheduler again(platform().programFolder());
    EXPECT_FALSE(again.checkOnce(at(2026, 12, 5, 19, 59), launcher()));
    EXPECT_TRUE(again.checkOnce(at(2026, 12, 5, 20, 0), launcher(5)));
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(journal(),
              "05/12/2026 09:00:00 - Début de la sauvegarde automatique de C:\\Arch\\a.kvr\r\n"
              "05/12/2026 09:00:00 - Fin de la sauvegarde automatique : réussie (code 0), durée "
              "0 s\r\n"
              "05/12/2026 20:00:00 - Début de la sauvegarde automatique de C:\\Arch\\a.kvr\r\n"
              "05/12/2026 20:00:00 - Fin de la sauvegarde automatique : échec, des fichiers n'ont "
              "pas été archivés (code 5), durée 0 s\r\n");
}

TEST_F(SchedulerTest, RunsPlannedBeforeTheSettingsWereWrittenAreNotOwed) {
    writeSettings(at(2026, 12, 5, 21, 0));
    EXPECT_FALSE(scheduler.dueRun(at(2026, 12, 6, 9, 0)));
    EXPECT_EQ(scheduler.dueRun(at(2026, 12, 6, 20, 0)), at(2026, 12, 6, 20, 0));
    settings.execute = false;
    writeSettings(at(2026, 12, 1, 12, 0));
    EXPECT_FALSE(scheduler.dueRun(at(2026, 12, 6, 20, 0)));
    EXPECT_EQ(runs, 0);
}

TEST_F(SchedulerTest, AMissingArchiveIsNotLaunchedButJournaledOnce) {
    platform().removeFile(settings.archive);
    const auto end = scheduler.checkOnce(at(2026, 12, 2, 20, 0), launcher());
    ASSERT_TRUE(end);
    EXPECT_EQ(end->kind, RunEnd::Kind::NotLaunched);
    EXPECT_EQ(end->code, autoexit::NoArchive);
    EXPECT_EQ(runs, 0);
    EXPECT_FALSE(scheduler.checkOnce(at(2026, 12, 2, 20, 1), launcher()));
    EXPECT_NE(journal().find("Fin de la sauvegarde automatique : non lancée, archive introuvable "
                             "(code 2)"),
              std::string::npos);
    EXPECT_TRUE(ReadJournalSummary(scheduler.journalPath()).lastOutcomeFailed);
}

TEST_F(SchedulerTest, StatusTellsTheNextRunOrWhyThereIsNone) {
    EXPECT_EQ(scheduler.statusText(at(2026, 12, 1, 19, 0)),
              "Prochaine sauvegarde automatique : le mardi 01/12/2026 à 20:00.\n"
              "Archive : C:\\Arch\\a.kvr\nScript : C:\\Korvelt\\Script\\docs.kvl");
    EXPECT_EQ(scheduler.statusText(at(2026, 12, 2, 21, 0))
                  .rfind("La sauvegarde planifiée le mercredi 02/12/2026 à 20:00 n'a pas été "
                         "faite : l'automate la lance dès qu'il est en marche.\n",
                         0),
              0u);
    settings.hour = "25:00";
    writeSettings(at(2026, 12, 1, 12, 0));
    EXPECT_EQ(scheduler.statusText(at(2026, 12, 1, 19, 0)),
              "Aucune sauvegarde automatique n'est planifiée : l'heure n'est pas valide.");
    platform().removeFile(scheduler.settingsPath());
    EXPECT_EQ(scheduler.statusText(at(2026, 12, 1, 19, 0)),
              "Aucune sauvegarde automatique n'est planifiée : le fichier AutoSave.cfg est "
              "absent.");
}

TEST_F(SchedulerTest, StampsOfAClockSetAheadAreIgnoredAndSaid) {
    // A run made while the clock said 2027, and settings written then.
    WriteJournal(scheduler.journalPath(),
                 {"01/03/2027 20:00:00 - Début de la sauvegarde automatique de C:\\Arch\\a.kvr",
                  "01/03/2027 20:00:09 - Fin de la sauvegarde automatique : réussie (code 0), "
                  "durée 9 s"});
    writeSettings(at(2027, 3, 1, 12, 0));
    const std::string ignored =
        "Attention : date à venir ignorée (l'horloge a sans doute été avancée puis remise à "
        "l'heure) : ";

    const std::string status = scheduler.statusText(at(2026, 12, 2, 21, 0));
    EXPECT_EQ(status.rfind("La sauvegarde planifiée le mercredi 02/12/2026 à 20:00 n'a pas été "
                           "faite",
                           0),
              0u)
        << status;
    EXPECT_NE(
        status.find(ignored + "le dernier départ noté dans le journal (01/03/2027 20:00:00)."),
        std::string::npos)
        << status;

    ASSERT_TRUE(scheduler.checkOnce(at(2026, 12, 2, 21, 0), launcher()));
    EXPECT_EQ(runs, 1);
    const std::string lines = journal();
    EXPECT_NE(lines.find("02/12/2026 21:00:00 - " + ignored +
                         "la date du fichier AutoSave.cfg (01/03/2027 12:00:00).\r\n"),
              std::string::npos)
        << lines;
    // The run made now is the last start: the next day's run is due in its turn.
    EXPECT_FALSE(scheduler.dueRun(at(2026, 12, 3, 19, 0)));
    EXPECT_TRUE(scheduler.dueRun(at(2026, 12, 3, 20, 0)));
}

// The built program, with the test's program folder and drive map.
class VantrelProgram : public SchedulerTest {
  protected:
    struct Result {
        int status = -1;
        std::string out;
    };

    Result vantrel(const std::string& arguments) const {
        const char* bin = std::getenv("KORVELT_BIN");
        EXPECT_NE(bin, nullptr);
        const std::string out = drives.root('C') + "/out.txt";
        const std::string command = "KORVELT_DRIVES='C=" + drives.root('C') + "' '" +
                                    std::string(bin ? bin : "") + "/Vantrel.exe' " + arguments +
                                    " >'" + out + "' 2>&1";
        const int raw = std::system(command.c_str());
        std::ifstream in(out);
        std::stringstream text;
        text << in.rdbuf();
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text.str()};
    }
};

TEST_F(VantrelProgram, StatusPrintsTheNextRun) {
    const Result r = vantrel("--status --now '2026-12-01 19:00'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "Prochaine sauvegarde automatique : le mardi 01/12/2026 à 20:00.");
}

TEST_F(VantrelProgram, OnceWithoutKorveltJournalsTheFailureAndFails) {
    EXPECT_EQ(vantrel("--once --now '2026-12-01 19:59'").status, 0);
    EXPECT_EQ(journal(), "");
    EXPECT_EQ(vantrel("--once --now '2026-12-01 20:00:30'").status, 1);
    EXPECT_EQ(journal(),
              "01/12/2026 20:00:30 - Début de la sauvegarde automatique de C:\\Arch\\a.kvr\r\n"
              "01/12/2026 20:00:30 - Fin de la sauvegarde automatique : échec, Korvelt n'a pas pu "
              "être démarré, durée 0 s\r\n");
}

}  // namespace
}  // namespace kv::vantrel
