// Vantrel.exe: Korvelt's scheduler. Without arguments it stays in the
// background and starts "Korvelt /AUTOSAVE" at the planned day and hour;
// --once makes one due check and ends (for cron), --status prints the next
// planned run. --now sets the clock of those two (for tests).

#include <cstring>
#include <iostream>
#include <string>

#include "platform/Platform.h"
#include "tools/vantrel/Daemon.h"
#include "tools/vantrel/KorveltProcess.h"
#include "tools/vantrel/Scheduler.h"
#include "util/CommandGuard.h"

namespace {

constexpr int ExitUsage = 2;

int usage() {
    std::cerr
        << "Usage :\n"
           "  Vantrel.exe                 l'automate, en arrière-plan\n"
           "  Vantrel.exe --once [--now \"AAAA-MM-JJ hh:mm[:ss]\"]\n"
           "                              lance la sauvegarde si elle est due, puis s'arrête\n"
           "  Vantrel.exe --status [--now \"AAAA-MM-JJ hh:mm[:ss]\"]\n"
           "                              affiche la prochaine sauvegarde planifiée\n";
    return ExitUsage;
}

// "AAAA-MM-JJ hh:mm[:ss]" (or with a "T" between), local time.
std::optional<std::time_t> parseClock(const std::string& text) {
    kv::DateTime at;
    char separator = 0;
    const int read = std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d", &at.year, &at.month,
                                 &at.day, &separator, &at.hour, &at.minute, &at.second);
    if (read < 6 || (separator != ' ' && separator != 'T')) return std::nullopt;
    if (read == 6) at.second = 0;
    if (at.month < 1 || at.month > 12 || at.day < 1 || at.day > 31 || at.hour > 23 ||
        at.minute > 59 || at.second > 59)
        return std::nullopt;
    return kv::localTimeOf(at);
}

}  // namespace

// The program itself; main() runs it inside the command-line guard.
int vantrel(int argc, char** argv) {
    bool once = false, status = false;
    std::optional<std::time_t> clock;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--once") == 0) {
            once = true;
        } else if (std::strcmp(argv[i], "--status") == 0) {
            status = true;
        } else if (std::strcmp(argv[i], "--now") == 0 && i + 1 < argc) {
            clock = parseClock(argv[++i]);
            if (!clock) return usage();
        } else {
            return usage();
        }
    }
    if ((once && status) || (clock && !once && !status)) return usage();

    const std::string folder = kv::platform().programFolder();
    if (folder.empty()) {
        std::cerr << "Le dossier du programme n'est sur aucun lecteur.\n";
        return 1;
    }
    kv::vantrel::Scheduler scheduler(folder);
    const std::time_t now = clock.value_or(std::time(nullptr));
    if (status) {
        std::cout << scheduler.statusText(now) << '\n';
        return 0;
    }
    if (once) {
        const auto end =
            scheduler.checkOnce(now, [&folder] { return kv::vantrel::runKorvelt(folder); });
        if (!end) return 0;
        if (end->kind == kv::RunEnd::Kind::Exited || end->kind == kv::RunEnd::Kind::NotLaunched)
            return end->code;
        return 1;
    }
    kv::vantrel::Daemon daemon(scheduler);
    return daemon.serve();
}

int main(int argc, char** argv) {
    return kv::runProgram([&] { return vantrel(argc, argv); },
                          [](const std::string& text) { std::cerr << text << '\n'; }, 1);
}
