#include "engine/AutoMode.h"

#include <algorithm>
#include <thread>

#include "engine/AutoArchive.h"
#include "engine/AutoJournal.h"
#include "engine/AutoSaveSettings.h"
#include "engine/CatalogReader.h"
#include "engine/SelectionScript.h"
#include "platform/Platform.h"
#include "platform/WriterLock.h"
#include "util/Error.h"

namespace kv {

namespace {

// A box's text on one journal line.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

class AutoRun {
  public:
    AutoRun(OpenArchive& archive, RunOptions& options, const Environment& env, UnattendedUi& ui,
            const AutoModeOptions& autoOptions)
        : archive_(archive), options_(options), env_(env), ui_(ui), autoOptions_(autoOptions) {}

    int run();

  private:
    void note(const std::string& text) {
        AppendJournalLine(JournalPath(), JournalLine(env_.now(), text));
    }
    // Every box recorded since the last call, one line each.
    void noteMessages() {
        for (; noted_ < ui_.messages().size(); ++noted_)
            note("Message : " + oneLine(ui_.messages()[noted_].text));
    }
    int archive(const AutoSaveSettings& settings, const WriterLock& lock);

    OpenArchive& archive_;
    RunOptions& options_;
    const Environment& env_;
    UnattendedUi& ui_;
    const AutoModeOptions& autoOptions_;
    std::size_t noted_ = 0;
};

int AutoRun::run() {
    const std::optional<AutoSaveSettings> settings = ReadAutoSaveSettings(AutoSavePath());
    if (!settings || settings->archive.empty()) {
        note("Fichier AutoSave.cfg absent ou sans archive, rien n'a été archivé");
        return autoexit::NoSettings;
    }
    if (!platform().fileExists(settings->archive)) {
        note("Archive introuvable : " + settings->archive);
        return autoexit::NoArchive;
    }
    const std::unique_ptr<WriterLock> lock =
        WaitForArchive(settings->archive, autoOptions_.archiveWait);
    if (!lock) {
        note(
            "Archive utilisée par un autre programme depuis plus d'une minute, laissée telle "
            "quelle : " +
            settings->archive);
        return autoexit::InUse;
    }
    if (lock->refused()) {
        // The archive's link or lock file may not be used: nothing is written.
        note(lock->message());
        return autoexit::NotReplaced;
    }
    const int status = archive(*settings, *lock);
    noteMessages();
    return status;
}

int AutoRun::archive(const AutoSaveSettings& settings, const WriterLock& lock) {
    archive_.path = settings.archive;
    const LoadResult loaded = LoadArchive(archive_, ui_);
    if (loaded.outcome != LoadOutcome::Loaded) {
        noteMessages();
        note("Archive illisible, laissée telle quelle : " + settings.archive +
             (loaded.error.empty() ? std::string() : " (" + oneLine(loaded.error) + ")"));
        return autoexit::Unreadable;
    }
    if (settings.script.empty() || !platform().fileExists(settings.script)) {
        note("Script introuvable, rien n'a été archivé : " + settings.script);
        return autoexit::NoScript;
    }

    int skipped = 0;
    AddOperation adding(archive_, ui_, autoOptions_.typeName, [&](const std::string& fileName) {
        ++skipped;
        note(fileName + " : nom de plus de 100 caractères, non archivé");
        return std::string();
    });
    try {
        for (const std::string& line : ReadSelectionScript(settings.script))
            AddSelectionEntry(adding, line);
    } catch (const Error& error) {
        note("Script illisible, rien n'a été archivé : " + oneLine(error.what()));
        return autoexit::Stopped;
    }
    archive_.listChanged = false;

    ArchiveResult result;
    try {
        result = AutoArchiveFiles(archive_, options_, env_, ui_, &lock);
    } catch (const Error& error) {
        noteMessages();
        note("Sauvegarde interrompue, archive laissée telle quelle : " + oneLine(error.what()));
        return autoexit::Stopped;
    }
    if (autoOptions_.archived) autoOptions_.archived(result);
    for (const RowProblem& problem : result.problems) note(problem.path + " : " + problem.reason);
    const bool boxes = ui_.messages().size() > noted_;
    noteMessages();

    // Another writer changed the archive (one that takes no lock).
    if (result.busy || result.changed) {
        note("Archive utilisée par un autre programme, laissée telle quelle : " + settings.archive);
        return autoexit::InUse;
    }
    if (result.stopped) return autoexit::Stopped;
    if (result.noRoom) return autoexit::NoRoom;
    if (!result.replaced) {
        note("L'archive n'a pas pu être remplacée, elle reste telle qu'elle était : " +
             settings.archive);
        return autoexit::NotReplaced;
    }
    if (result.failures > 0 || result.leftOut > 0 || skipped > 0 || boxes)
        return autoexit::Incomplete;
    return autoexit::Ok;
}

}  // namespace

int RunAutoSave(OpenArchive& archive, RunOptions& options, const Environment& env, UnattendedUi& ui,
                const AutoModeOptions& autoOptions) {
    AutoRun run(archive, options, env, ui, autoOptions);
    try {
        return run.run();
    } catch (const std::exception& error) {
        AppendJournalLine(JournalPath(), JournalLine(env.now(), "Sauvegarde interrompue : " +
                                                                    oneLine(error.what())));
        return autoexit::Stopped;
    }
}

std::unique_ptr<WriterLock> WaitForArchive(const std::string& archive,
                                           std::chrono::milliseconds limit) {
    constexpr auto Step = std::chrono::milliseconds(250);
    const auto until = std::chrono::steady_clock::now() + limit;
    for (;;) {
        auto lock = std::make_unique<WriterLock>(archive);
        if (!lock->busy()) return lock;
        lock.reset();
        const auto now = std::chrono::steady_clock::now();
        if (now >= until) return nullptr;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(Step, until - now));
    }
}

}  // namespace kv
