// The automatic mode (a start with /AUTOSAVE), the options command with its
// automation settings and the scheduler they start or stop, and the notice an
// interactive start gives about the automatic runs.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>

#include "app/TMainKorvelt2002.h"
#include "dialogs/TFormOptions.h"
#include "engine/AutoJournal.h"
#include "engine/AutoMode.h"
#include "engine/AutoSaveSettings.h"
#include "engine/UnattendedUi.h"
#include "gui/DesktopNotification.h"
#include "gui/DialogRunner.h"
#include "gui/HourGlass.h"
#include "platform/Platform.h"
#include "util/Error.h"
#include "util/PathHelpers.h"
#include "util/ShellRoutines.h"

namespace kv {
namespace {

constexpr const char* kSchedulerName = "Vantrel.exe";
constexpr const char* kSchedulerClass = "TFormVantrel";
// The log-on shortcut this program makes, and the name older installations used.
constexpr const char* kShortcutName = "Automate de Korvelt";
constexpr const char* kOldShortcutName = "Vantrel.lnk";
// Where the interactive start remembers the last notice it gave.
constexpr const char* kNoticeSection = "Automate";
constexpr const char* kNoticeKey = "DernierAvis";

std::string dateAndTime(const DateTime& at) {
    const std::string stamp = JournalStamp(at);  // "dd/mm/yyyy hh:nn:ss"
    return "le " + stamp.substr(0, 10) + " à " + stamp.substr(11, 5);
}

// The notice about the automatic runs, empty when there is nothing to tell.
std::string automationNotice(const DateTime& now) {
    const JournalSummary journal = ReadJournalSummary(JournalPath());
    if (journal.lastOutcomeFailed && journal.lastOutcomeTime)
        return "Dernière sauvegarde automatique : " + journal.lastOutcomeText + "\r" +
               dateAndTime(*journal.lastOutcomeTime) +
               ".\r\rLe journal en dit plus : Options (F9), page Automate, « Voir le journal ».";

    const std::optional<AutoSaveSettings> settings = ReadAutoSaveSettings(AutoSavePath());
    if (!settings || !PlansRuns(*settings) || !platform().fileExists(settings->archive) ||
        !platform().fileExists(settings->script))
        return {};
    // Runs are owed from the last success, or from when the settings were made.
    // A stamp later than now was written while the clock was set ahead: it
    // proves nothing about the runs since, and is passed over.
    auto past = [&](std::optional<DateTime> at) {
        return at && localTimeOf(*at) <= localTimeOf(now) ? at : std::nullopt;
    };
    const std::optional<DateTime> lastSuccess = past(journal.lastSuccess);
    std::optional<DateTime> since = lastSuccess;
    if (!since) {
        const std::optional<int32_t> written = platform().lastWriteDos(AutoSavePath());
        if (written) since = past(fromDosDateTime(*written));
    }
    if (!since) return {};
    const int days = PlanPeriodDays(*settings);
    if (std::difftime(localTimeOf(now), localTimeOf(*since)) <= 2.0 * days * 86400.0) return {};
    const std::string last =
        lastSuccess ? "réussie " + dateAndTime(*lastSuccess)
                    : "aucune réussie depuis les réglages du " + JournalStamp(*since).substr(0, 10);
    return "Dernière sauvegarde automatique : " + last +
           ".\rLes sauvegardes planifiées ne se font plus : vérifiez que l'automate est en "
           "marche (Options (F9), page Automate).";
}

// The desktop's notice of how an automatic run ended: a success with its
// counts, a failure with its reason, kept until read.
DesktopNotification outcomeNotice(int status, const std::string& archive,
                                  const std::optional<ArchiveResult>& counts) {
    DesktopNotification notice;
    QStringList lines;
    if (!archive.empty())
        lines << QString::fromStdString(platform().toHost(archive).value_or(archive));
    if (status == autoexit::Ok) {
        notice.summary = QStringLiteral("Sauvegarde automatique réussie");
    } else {
        notice.summary = QStringLiteral("Sauvegarde automatique : échec");
        notice.urgent = true;
        QString reason = QString::fromStdString(AutoExitWords(status));
        reason.remove(QRegularExpression(QStringLiteral("^échec, ")));
        if (!reason.isEmpty()) reason[0] = reason[0].toUpper();
        lines.prepend(reason + u'.');
    }
    if (counts) {
        QString text = QStringLiteral("%1 fichier(s) archivé(s), %2 repris de l'archive")
                           .arg(counts->stored)
                           .arg(counts->carriedOver);
        if (const int missed = counts->failures + counts->leftOut; missed > 0)
            text += QStringLiteral(", %1 non archivé(s)").arg(missed);
        lines << text;
    }
    if (notice.urgent)
        lines << QStringLiteral("Le journal en dit plus : Options (F9), page Automate.");
    notice.body = lines.join(u'\n');
    return notice;
}

}  // namespace

void TMainKorvelt2002::RunAutomaticMode() {
    automatic_ = true;
    BusyScope busy(*this);
    HourGlass hourGlass;
    UnattendedUi unattended;
    AutoModeOptions autoOptions;
    autoOptions.typeName = typeNameOf;
    std::optional<ArchiveResult> counts;
    autoOptions.archived = [&counts](const ArchiveResult& result) { counts = result; };
    exitStatus_ = RunAutoSave(archive_, options_, env_, unattended, autoOptions);
    // A run that stopped before opening the archive names the one it was set for.
    std::string archive = archive_.path;
    if (archive.empty())
        if (const std::optional<AutoSaveSettings> settings = ReadAutoSaveSettings(AutoSavePath()))
            archive = settings->archive;
    outcomeNotice(exitStatus_, archive, counts).send();
    // The list shows the archive's rows as they are now; nothing is pending.
    model_->resetFromRows();
    archive_.listChanged = false;
}

void TMainKorvelt2002::ShowAutomationNotice() {
    const std::string notice = automationNotice(env_.now());
    if (notice.empty() || !settingsIni_) return;
    // Each notice is given once, however many starts follow. The settings
    // file keeps it on one line.
    std::string remembered = notice;
    for (char& c : remembered)
        if (c == '\r') c = ' ';
    if (settingsIni_->readString(kNoticeSection, kNoticeKey, "") == remembered) return;
    settingsIni_->writeString(kNoticeSection, kNoticeKey, remembered);
    ui_.message(MessageKind::Notice, notice);
}

void TMainKorvelt2002::Option1Execute() {
    const std::string settingsPath = AutoSavePath();
    AutoSaveSettings settings;
    settings.hour.clear();
    if (const std::optional<AutoSaveSettings> stored = ReadAutoSaveSettings(settingsPath))
        settings = *stored;
    if (!platform().fileExists(settings.archive)) settings.archive.clear();
    if (!platform().fileExists(settings.script)) settings.script.clear();
    if (settings.archive.empty() || settings.script.empty()) settings.execute = false;

    TFormOptions dialog(ui_, env_.separators, helpAvailable_, this);
    dialog.EditDir->setText(QString::fromStdString(options_.workFolder));
    dialog.CheckDate->setChecked(options_.dateComment);
    dialog.EditArchAuto->setText(QString::fromStdString(settings.archive));
    dialog.EditScriptAuto->setText(QString::fromStdString(settings.script));
    dialog.CheckExecuteAuto->setChecked(settings.execute);
    dialog.setDay(settings.day);
    dialog.EditHeure->setText(QString::fromStdString(settings.hour));
    std::unique_ptr<File> archive;
    if (archiveExists()) archive = platform().open(archive_.path, OpenMode::Read);
    if (archive) {
        dialog.EditFileName->setText(QString::fromStdString(archive_.path));
        dialog.LabelSizeArchive->setText(
            TFormOptions::sizeText(std::max<int64_t>(0, archive->size()), env_.separators));
        archive->close();
    } else {
        dialog.EditFileName->setText(QStringLiteral("Aucun fichier ouvert"));
        dialog.LabelSizeArchive->clear();
    }
    if (DialogRunner::exec(dialog) != QDialog::Accepted) return;

    options_.workFolder = dialog.EditDir->text().toStdString();
    options_.dateComment = dialog.CheckDate->isChecked();

    settings.archive = dialog.EditArchAuto->text().toStdString();
    settings.script = dialog.EditScriptAuto->text().toStdString();
    settings.execute = dialog.CheckExecuteAuto->isChecked();
    settings.day = dialog.ComboJour->currentIndex();
    settings.hour.clear();
    if (const std::string typed = dialog.EditHeure->text().toStdString(); !typed.empty()) {
        if (const std::optional<TimeOfDay> time = ParseTimeOfDay(typed))
            settings.hour = FormatTimeOfDay(*time);
        else
            ui_.message(MessageKind::Notice, TFormOptions::HourMessage);
    }
    // A scheduler that read settings the file does not hold would run what
    // nobody asked for: a failed write stops here.
    if (!WriteAutoSaveSettings(settingsPath, settings))
        throw Error("Impossible d'enregistrer les réglages dans le fichier " + settingsPath);
    applyAutomation(settings.execute);
}

void TMainKorvelt2002::applyAutomation(bool on) {
    const std::string folder = platform().programFolder();
    const std::string scheduler = folder + kSchedulerName;
    const std::string startup = WithBackslash(GetShellFolder("STARTUP"));
    if (!on) {
        // Both the shortcut made below and the one older versions removed.
        if (!startup.empty()) {
            DeleteShortcut(startup + kShortcutName);
            DeleteShortcut(startup + kOldShortcutName);
        }
        if (platform().findWindowClass(kSchedulerClass))
            platform().closeWindowClass(kSchedulerClass);
        return;
    }
    if (!platform().fileExists(scheduler)) {
        ui_.message(MessageKind::Warning,
                    "Impossible de démarrer l'automate,\rle fichier \"Vantrel.exe\" est "
                    "introuvable,\rveuillez réinstaller le programme.");
        return;
    }
    // Without its shortcut the scheduler would stop at the next log-off, unseen.
    if (startup.empty() || !CreateShortcut(scheduler, startup + kShortcutName))
        ui_.message(MessageKind::Warning,
                    "Le raccourci de démarrage de l'automate n'a pas pu être créé :\rl'automate "
                    "ne sera pas relancé à la prochaine ouverture de session.");
    if (platform().findWindowClass(kSchedulerClass)) platform().closeWindowClass(kSchedulerClass);
    LaunchDocument(ui_, scheduler, folder);
}

}  // namespace kv
