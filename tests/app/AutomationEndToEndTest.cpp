// Unattended backups from end to end with no person: a program folder of its
// own holding the built Korvelt, Vantrel.exe and kvr; the archive and the
// script made by kvr; AutoSave.cfg written by the options dialog on its OK
// path; the real scheduler running in the background, and a due check with
// the test's clock starting the real "Korvelt /AUTOSAVE"; then faults from
// the platform double through the scheduler's own rules and the window's
// automatic mode in this process.

#include <sys/wait.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/AutoArchive.h"
#include "engine/AutoJournal.h"
#include "tests/app/AutomationFixture.h"
#include "tools/vantrel/Scheduler.h"
#include "util/ShellRoutines.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

std::string quote(const std::string& text) {
    return "'" + text + "'";
}

// The journal's lines without their stamps.
std::vector<std::string> unstamped(std::string all) {
    std::vector<std::string> lines;
    for (std::size_t at; (at = all.find("\r\n")) != std::string::npos; all.erase(0, at + 2)) {
        std::string line = all.substr(0, at);
        if (parseJournalStamp(line)) line.erase(0, 22);
        lines.push_back(line);
    }
    return lines;
}

class EndToEnd : public AutomationTest {
  protected:
    void SetUp() override {
        AutomationTest::SetUp();
        const char* bin = std::getenv("KORVELT_BIN");
        ASSERT_NE(bin, nullptr) << "KORVELT_BIN names the program folder of the build";
        bin_ = bin;
        home_ = drives.hostPath("C:\\Korvelt");
        for (const char* program : {"Korvelt", "Vantrel.exe"})
            fs::create_symlink(bin_ / program, fs::path(home_) / program);
    }
    void TearDown() override {
        // Whatever happened, no scheduler of this test outlives it.
        if (platform().findWindowClass("TFormVantrel")) platform().closeWindowClass("TFormVantrel");
        AutomationTest::TearDown();
    }

    // A program of the build, run with the test's drive map; its exit status.
    int run(const std::string& program, const std::string& arguments) const {
        const std::string command = quote((bin_ / program).string()) + " " + arguments + " >" +
                                    quote(home_ + "/out.txt") + " 2>&1";
        const int raw = std::system(command.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    // Switches automation on or off through the options dialog's OK path.
    void options(bool on, const std::string& hour) {
        onOptions = [=](TFormOptions& d) {
            d.ButtonChangeArch->click();  // the chooser answers with the archive
            d.ButtonChangeScript->click();
            d.ComboJour->setCurrentIndex(0);
            d.EditHeure->setText(QString::fromStdString(hour));
            d.CheckExecuteAuto->setChecked(on);
            return int(QDialog::Accepted);
        };
        chooser.files = {QString::fromLatin1(Archive), QString::fromLatin1(Script)};
        trigger("Option1");
    }

    // Waits (a few seconds at most) until the scheduler is there or gone.
    static bool schedulerRunning(bool wanted) {
        for (int i = 0; i < 200; ++i) {
            if (platform().findWindowClass("TFormVantrel") == wanted) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }

    fs::path bin_;
    std::string home_;
    // Children see the same drive letters as this process.
    ScopedEnv drivesForChildren{"KORVELT_DRIVES", "C=" + drives.root('C')};
};

TEST_F(EndToEnd, TheSchedulerStartsKorveltWhichUpdatesTheArchive) {
    ASSERT_FALSE(platform().findWindowClass("TFormVantrel")) << "a scheduler of this user runs";
    drives.writeFile("C:\\Docs\\a.txt", "alpha");
    drives.writeFile("C:\\Docs\\b.txt", "beta");
    drives.makeFolder("C:\\Arch");
    drives.makeFolder("C:\\Korvelt\\Script");
    WriteSelectionScript(Script, {"C:\\Docs\\a.txt", "C:\\Docs\\b.txt"});
    ASSERT_EQ(run("kvr", std::string("update ") + quote(Archive) + " --script " + quote(Script)),
              0);
    ASSERT_EQ(storedNames(), (std::vector<std::string>{"a.txt", "b.txt"}));
    drives.writeFile("C:\\Docs\\c.txt", "gamma");
    WriteSelectionScript(Script, {"C:\\Docs\\a.txt", "C:\\Docs\\c.txt"});

    // The planned hour is ten minutes ahead, so the scheduler in the
    // background waits; the due check below runs with a clock set past it.
    const std::time_t due = (std::time(nullptr) + 600) / 60 * 60;
    const DateTime planned = localDateTime(due);
    makeWindow();
    options(true, FormatTimeOfDay({planned.hour, planned.minute}));
    EXPECT_TRUE(boxes.empty()) << boxes.front().text.toStdString();
    EXPECT_TRUE(schedulerRunning(true));
    EXPECT_TRUE(ShortcutExists(std::string(Startup) + "Automate de Korvelt"));
    // A second scheduler finds the first and ends at once.
    EXPECT_EQ(run("Vantrel.exe", ""), 0);

    const DateTime clock = localDateTime(due + 30);
    char now[32];
    std::snprintf(now, sizeof now, "%04d-%02d-%02d %02d:%02d:%02d", clock.year, clock.month,
                  clock.day, clock.hour, clock.minute, clock.second);
    EXPECT_EQ(run("Vantrel.exe", std::string("--once --now ") + quote(now)), 0);

    EXPECT_EQ(storedNames(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
    const std::vector<std::string> lines = unstamped(journal());
    ASSERT_EQ(lines.size(), 2u) << journal();
    EXPECT_EQ(lines[0], std::string("Début de la sauvegarde automatique de ") + Archive);
    EXPECT_EQ(lines[1].rfind("Fin de la sauvegarde automatique : réussie (code 0), durée ", 0), 0u)
        << lines[1];
    EXPECT_EQ(journal().substr(0, 19), JournalStamp(clock));
    // The run is made: another check finds nothing due.
    EXPECT_EQ(run("Vantrel.exe", std::string("--once --now ") + quote(now)), 0);
    EXPECT_EQ(unstamped(journal()).size(), 2u);

    options(false, "");
    EXPECT_TRUE(schedulerRunning(false));
    EXPECT_FALSE(ShortcutExists(std::string(Startup) + "Automate de Korvelt"));
}

TEST_F(EndToEnd, TheSchedulerInTheBackgroundMakesARunMissedWhileItWasAway) {
    ASSERT_FALSE(platform().findWindowClass("TFormVantrel")) << "a scheduler of this user runs";
    makeArchiveAndScript();
    // Planned two minutes ago, with settings from the day before: the run is owed.
    const std::time_t due = (std::time(nullptr) - 120) / 60 * 60;
    const DateTime planned = localDateTime(due);
    WriteAutoSaveSettings(AutoSavePath(),
                          AutoSaveSettings{Archive, Script, true, 0,
                                           FormatTimeOfDay({planned.hour, planned.minute})});
    platform().setLastWriteDos(AutoSavePath(), *toDosDateTime(localDateTime(due - 86400)));

    ASSERT_GT(platform().openDocument("C:\\Korvelt\\Vantrel.exe", "C:\\Korvelt\\"), 32);
    ASSERT_TRUE(schedulerRunning(true));
    // The run takes the time Korvelt takes; the journal tells when it is over.
    for (int i = 0; i < 600 && unstamped(journal()).size() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::vector<std::string> lines = unstamped(journal());
    ASSERT_EQ(lines.size(), 2u) << journal();
    EXPECT_EQ(lines[1].rfind("Fin de la sauvegarde automatique : réussie (code 0)", 0), 0u)
        << lines[1];
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));

    // Still running, it waits for tomorrow; the close message ends it.
    EXPECT_TRUE(platform().findWindowClass("TFormVantrel"));
    EXPECT_TRUE(platform().closeWindowClass("TFormVantrel"));
    EXPECT_TRUE(schedulerRunning(false));
    EXPECT_EQ(unstamped(journal()).size(), 2u);
}

TEST_F(EndToEnd, TheAutomaticModeNeedsNoDisplay) {
    // As cron starts it: no display of any kind, and no platform asked for.
    makeArchiveAndScript();
    WriteAutoSaveSettings(AutoSavePath(), AutoSaveSettings{Archive, Script, true, 0, "20:00"});
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                quote((bin_ / "Korvelt").string()) + " /AUTOSAVE >" +
                                quote(home_ + "/out.txt") + " 2>&1";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw)) << drives.readFile("C:\\Korvelt\\out.txt");
    EXPECT_EQ(WEXITSTATUS(raw), 0) << drives.readFile("C:\\Korvelt\\out.txt");
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
}

// Faults of the platform double met by a run the scheduler's rules start,
// with the window's automatic mode in this process standing for Korvelt.
struct FaultCase {
    const char* name;
    std::function<void(FaultPlatform&)> inject;
    int status;
    std::string line;  // the journal line between the start and the outcome
    bool untouched;    // the archive file is byte for byte what it was
};

class Faults : public EndToEnd, public testing::WithParamInterface<FaultCase> {};

TEST_P(Faults, GiveAStatusAJournalLineAndKeepEveryEntry) {
    makeArchiveAndScript();
    WriteAutoSaveSettings(AutoSavePath(), AutoSaveSettings{Archive, Script, true, 0, "20:00"});
    const std::string archive = drives.readFile(Archive);
    vantrel::Scheduler scheduler(platform().programFolder());
    FaultPlatform fp;
    fp.install();
    GetParam().inject(fp);

    const std::time_t after = std::time(nullptr) + 86400;
    const std::optional<std::time_t> due = LastPlannedRun(*scheduler.settings(), after);
    ASSERT_TRUE(due);
    const std::optional<RunEnd> end = scheduler.checkOnce(*due + 30, [this] {
        TMainKorvelt2002& w = makeWindow();
        w.setCommandLine({QStringLiteral("/AUTOSAVE")});
        showWindow();
        const int status = w.exitStatus();
        window.reset();
        return RunEnd{RunEnd::Kind::Exited, status};
    });
    fp.reset();

    ASSERT_TRUE(end);
    EXPECT_EQ(end->code, GetParam().status);
    EXPECT_TRUE(boxes.empty());
    if (GetParam().untouched) {
        EXPECT_EQ(drives.readFile(Archive), archive);
    }
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"a.txt", "b.txt"}));
    const std::vector<std::string> lines = unstamped(journal());
    ASSERT_EQ(lines.size(), 3u) << journal();
    EXPECT_EQ(lines[0], std::string("Début de la sauvegarde automatique de ") + Archive);
    EXPECT_EQ(lines[1], GetParam().line);
    EXPECT_EQ(lines[2].rfind("Fin de la sauvegarde automatique : " + AutoExitWords(end->code) +
                                 " (code " + std::to_string(end->code) + ")",
                             0),
              0u)
        << lines[2];
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Faults,
    testing::Values(
        // The script's new file is held by another program: the archive is
        // replaced with every earlier entry, the new file left for next time.
        FaultCase{"LockedFile", [](FaultPlatform& f) { f.holdExclusively("C:\\Docs\\c.txt"); },
                  autoexit::Incomplete,
                  "C:\\Docs\\c.txt : fichier utilisé par un autre programme, non "
                  "archivé ; il ne figure pas dans l'archive",
                  false},
        FaultCase{"FullDisk", [](FaultPlatform& f) { f.setFreeBytes('C', 100); }, autoexit::NoRoom,
                  NoRoomJournalLine, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kv::test
