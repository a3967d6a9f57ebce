#pragma once
// TMainKorvelt2002: the main window. It owns the open archive (its path, the
// catalog rows, the comment), the run's options and the environment the
// engine reads, shows the catalog in ListViewFile, and runs every command of
// its menus, toolbar and popup. The engine does the work; the window prepares its dialogs, asks the
// questions, and brings captions, status panels and action states in line.
//
// The class is split by command group:
//   TMainKorvelt2002.cpp         life cycle, settings, toolbar, keys, about box
//   TMainKorvelt2002Menus.cpp    actions, main menu, popup menu
//   TMainKorvelt2002Catalog.cpp  catalog view, sort, selection, status filter, status bar,
//                                enabled states
//   TMainKorvelt2002Archive.cpp  archive file commands, loading, archiving, restore, self-extractor
//   TMainKorvelt2002Repair.cpp   restoring the missing files, repairing a damaged archive
//   TMainKorvelt2002Verify.cpp   verifying the archive against the disk, testing it alone
//   TMainKorvelt2002Adding.cpp   adding (dialog, drop, scripts) and removing rows
//   TMainKorvelt2002Listing.cpp  search, text listing, printed listing
//   TMainKorvelt2002Auto.cpp     the automatic mode, the options, the automation notice
//   TMainKorvelt2002Preview.cpp  the preview command and ImageExtensions
//
// Every handler runs inside guarded() (gui/CommandGuard.h): any exception becomes
// the error box "Erreur", and while a long operation lets events run (the
// window is busy), commands that would change the catalog or the archive are
// refused until it ends; afterwards the actions' enabled states are brought
// in line, so a shortcut never keeps a state its menu item has left.

#include <QHash>
#include <QLocale>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include "app/CatalogModel.h"
#include "dialogs/TFormProgress.h"
#include "engine/ArchiveVerify.h"
#include "engine/Environment.h"
#include "engine/OpenArchive.h"
#include "engine/RunOptions.h"
#include "gui/CommandGuard.h"
#include "gui/QtUi.h"
#include "util/Error.h"
#include "util/IniFile.h"

class QAction;
class QActionGroup;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;
class QTreeView;

namespace kv {

class TFormRestaure;
class TFormWait;

// The settings of Korvelt.cfg with their defaults, as the window reads and
// writes them.
struct WindowSettings {
    std::string temporary;  // [Application] temporary (the Work folder)
    bool dateComment = true;
    int widthSize = 640;
    int heightSize = 480;
    int columns[CatalogModel::ColumnCount] = {100, 150, 60, 80, 120, 60};
    int tri = 1;
    bool recompressAll = false;    // [Application] RecompressAll: read only, never written
    bool verifyUnchanged = false;  // [Application] VerifyUnchanged: read only, never written
};

class TMainKorvelt2002 : public QMainWindow {
    Q_OBJECT
  public:
    // FormCreate: reads Korvelt.cfg, builds the window. Uses none of the
    // other long-lived forms (they do not exist yet).
    explicit TMainKorvelt2002(QWidget* parent = nullptr);
    // FormDestroy: writes the eleven settings.
    ~TMainKorvelt2002() override;

    // The long-lived forms the program entry creates after this window; the
    // window takes them over (ownedForms_) and they go before its archive and
    // Ui do. Any may be null in tests that do not need it.
    struct Forms {
        TFormRestaure* restaure = nullptr;
        TFormProgress* progress = nullptr;
        QWidget* addArch = nullptr;  // the add-files dialog
        TFormWait* wait = nullptr;
    };
    void setForms(const Forms& forms);
    const Forms& forms() const { return forms_; }

    // The program's arguments (without the program itself), read by FormShow.
    void setCommandLine(const QStringList& arguments) { commandLine_ = arguments; }

    // The user's locale separators, read once at start-up.
    static LocaleSeparators separatorsOf(const QLocale& locale);

    // The program's exit status: the automatic mode's outcome (engine/AutoJournal.h),
    // 0 after an interactive run.
    int exitStatus() const { return exitStatus_; }

    OpenArchive& archive() { return archive_; }
    RunOptions& options() { return options_; }
    Environment& environment() { return env_; }
    QtUi& ui() { return ui_; }
    CatalogModel& catalogModel() { return *model_; }
    QTreeView* listView() const { return listView_.get(); }
    bool keepGoing() const { return keepGoing_; }
    bool highColour() const { return highColour_; }
    bool helpAvailable() const { return helpAvailable_; }
    bool busy() const { return busy_ > 0; }
    // ImageExtensions: the image registry's extensions, ".JPG" and so on.
    const QStringList& imageExtensions() const { return imageExtensions_; }
    // True when an archive is open / when its file exists on disk.
    bool archiveOpen() const { return !archive_.path.empty(); }
    bool archiveExists() const;

    // Indices of the selected catalog rows, ascending.
    std::vector<std::size_t> selectedRows() const;
    // Indices of the catalog rows the list shows (its status filter lets
    // through), in the list's order.
    std::vector<std::size_t> shownRows() const;
    // The texts of status panels 0 and 1.
    QString statusText(int panel) const;

    // How long the status bar tells what an archiving or restore run did.
    static constexpr int RunSummaryMs = 10000;

    // What a command may do while the window is busy.
    enum class Command { Reads, Changes };
    // Runs a handler at the command boundary (see the file comment).
    template <class F>
    void guarded(Command kind, F&& body);

    // Handlers, under the names of their components.
    void FormShow();
    void LoadToolbarGlyphs();
    void AProposdeExecute();
    void CloseAppliExecute();

    void ListViewFileClick(QObject* sender = nullptr);
    void TrierLaListeClick(int tag);
    void SelectAll_ArchExecute();
    void SelectNone_ArchExecute();
    void InvertSelectExecute();
    void CopyPathExecute();
    // "Afficher" : shows only the rows the filter lets through; the catalog
    // summary then counts them.
    void AfficherClick(StatusFilter filter);
    // "Sélectionner" : selects the shown rows the filter lets through, and
    // only them.
    void SelectionnerClick(StatusFilter filter);
    void Fichier1Click();
    void Edition1Click();
    void Action1Click();
    void PopupArchPopup();
    // The one place that enables and disables the actions and the menus' own
    // items, from the window's state: an archive open, its file on disk, rows,
    // missing rows, the selection, the rows the filter shows. A shortcut is
    // live exactly when its menu item is. Runs at the end of every command and
    // selection change (see guarded()) and when a menu opens. The toolbar
    // buttons have actions of their own that stay enabled.
    void updateActionStates();

    void LoadArchive(bool interactive, QObject* sender = nullptr);
    void New_ArchExecute();
    void Open_ArchExecute();
    void SaveAs_ArchExecute();
    void Move_ArchExecute();
    void Close_ArchExecute();
    void Dell_ArchExecute();
    void ArchiverExecute();
    void ModiEnTeteExecute();
    void RestaureExecute();
    void SelfExtractorExecute();
    // TMainKorvelt2002Repair.cpp
    void RestaureManquantsExecute();
    void Reparer_ArchExecute();
    // TMainKorvelt2002Verify.cpp
    void VerifierExecute();
    void TesterExecute();

    void AddFileExecute();
    void DellFile_ArchExecute();
    // Dropped files and folders, as Windows paths, in the order given.
    void DropFiles(const QStringList& paths);
    void DellScriptExecute();
    void Scripts1Click();
    // Runs the script a Scripts menu item stands for (its data: the script's name).
    void ScriptItemClick(QAction* item);

    // TMainKorvelt2002Listing.cpp
    void SaveText_ArchExecute();
    void Print_ArchExecute();
    void SearchFile_ArchExecute();
    // TMainKorvelt2002Preview.cpp
    void Voir_FichierArchExecute();
    // TMainKorvelt2002Auto.cpp
    void Option1Execute();
    void RunAutomaticMode();
    void FileHelpExecute();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;                // FormClose
    void resizeEvent(QResizeEvent* event) override;              // FormResize
    bool eventFilter(QObject* watched, QEvent* event) override;  // FormKeyDown
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    friend class BusyScope;
    friend class AddRunScope;

    // TMainKorvelt2002.cpp
    void FormCreate();
    void FormDestroy();
    bool FormClose();  // true when the window may close
    void FormKeyDown();
    void FormResize();
    void buildToolbar();
    void readHighColour();
    WindowSettings readSettings() const;
    // Says that the settings file could not be written: an error box naming
    // it, or a journal line after an automatic run (nobody is there to answer).
    void settingsNotWritten(const std::string& path);
    // The stored size, or maximised when it is not smaller than the screen.
    void applyStoredSize(const WindowSettings& s);

    // TMainKorvelt2002Menus.cpp
    void buildActions();
    void buildMenus();
    QAction* makeAction(const char* name, const char* category, const char* caption,
                        const QKeySequence& shortcut, const char* hint, Command kind,
                        void (TMainKorvelt2002::*handler)());
    QAction* makeAction(const char* name, const char* category, const char* caption,
                        const QKeySequence& shortcut, const char* hint, Command kind,
                        std::function<void()> handler);
    // The "Afficher" and "Sélectionner" actions, one per status filter.
    void buildStatusActions();
    // A toolbar button's own action for that command: its hint, handler and
    // kind, never disabled (the buttons stay live while the menus grey items).
    QAction* buttonActionFor(QAction* command);
    // A submenu of these actions.
    QMenu* actionMenu(QWidget* parent, const char* title, const char* name,
                      const QList<QAction*>& actions);
    QAction* menuItemFor(QAction* action, const char* name);
    // The window's action or menu item of that object name (kept in actions_
    // as they are made), null when there is none.
    QAction* action(const char* name) const { return actions_.value(QLatin1String(name)); }
    QMenu* sortMenu(QWidget* parent, const char* nameSuffix);

    // TMainKorvelt2002Catalog.cpp
    void buildCatalogView();
    void setStatusText(int panel, const QString& text);
    void showCatalogSummary(int64_t totalSize);
    // The catalog summary of the rows listed now, after rows were added or
    // removed (the count and the sizes as a load gives them).
    void recountCatalogSummary();
    // The catalog summary as the last load wrote it (empty after new, close,
    // delete); status panel 0 shows it, or, while a filter hides rows, the
    // count and size of the rows shown (showFilterSummary).
    void setCatalogSummary(const QString& text);
    void showFilterSummary();
    // Shows the rows the filter lets through and checks its "Afficher" item.
    void applyFilter(StatusFilter filter);
    void clearCatalog();
    // Widens the size columns to the longest number in rows first..last.
    void fitSizeColumns(int first, int last);
    void updateSortChecks();
    void setSelectionOfAll(bool selected);

    // TMainKorvelt2002Adding.cpp
    static std::string typeNameOf(const std::string& path);

    // TMainKorvelt2002Auto.cpp
    // At an interactive start: tells once that the last automatic run failed,
    // or that none succeeded for twice the planned period.
    void ShowAutomationNotice();
    // Starts or stops the scheduler and its log-on shortcut, as automation is on or off.
    void applyAutomation(bool on);

    // TMainKorvelt2002Archive.cpp
    void setArchiveCaption();
    // The prompt about unarchived changes; false when the user cancelled.
    bool askArchiveChanges();
    // Shows the progress dialog prepared for mode, its run's bar at 0 of
    // maximum.
    bool runProgress(TFormProgress::Mode mode, int maximum);
    // The progress dialog's start button: the run of its mode.
    void runEngine(TFormProgress::Mode mode);
    // No archive open any more: empty list, caption, comment and status bar.
    void closeArchive();
    // Shows what a run did in the status bar for RunSummaryMs (nothing for an
    // empty text).
    void showRunSummary(const std::string& text);

    // TMainKorvelt2002Verify.cpp
    // The verify or test run of the progress dialog.
    void runVerify(VerifyScope scope);
    // Every row; the stored rows in the order of their entries in the file;
    // the sizes of rows, in the order given (the runs' figures count them).
    std::vector<std::size_t> allRows() const;
    std::vector<std::size_t> rowsInFileOrder() const;
    std::vector<int64_t> rowSizes(const std::vector<std::size_t>& rows) const;

    void showError(const std::string& text);

    // TMainKorvelt2002Preview.cpp
    void buildImageExtensions();

    OpenArchive archive_;
    RunOptions options_;
    Environment env_;
    QtUi ui_;
    // The model, the forms and the list read archive_, env_ and ui_: they are
    // held by members declared after them, which go first (Qt's parent would
    // delete them only once every member is gone).
    std::unique_ptr<CatalogModel> model_;
    std::unique_ptr<IniFile> settingsIni_;  // SettingsIni
    Forms forms_;
    std::vector<std::unique_ptr<QWidget>> ownedForms_;
    QHash<QString, QAction*> actions_;  // by object name; the window is their parent
    QHash<const QAction*, std::function<void()>> runs_;  // each action's guarded handler
    QStringList commandLine_;
    QStringList imageExtensions_;  // ImageExtensions
    bool shownOnce_ = false;
    int busy_ = 0;
    int exitStatus_ = 0;
    bool automatic_ = false;  // this start ran the automatic mode
    QString catalogSummary_;  // see setCatalogSummary()

    bool keepGoing_ = false;      // KeepGoing
    bool highColour_ = false;     // HighColour
    bool helpAvailable_ = false;  // HelpAvailable
    bool acceptDrops_ = false;    // the window takes dropped files

    // Components.
    QFrame* toolbarPanel_ = nullptr;  // PanelIcone
    QLineEdit* editComment_ = nullptr;
    QLabel* labelComment_ = nullptr;
    std::unique_ptr<QTreeView> listView_;
    QLabel* statusPanels_[2] = {nullptr, nullptr};
    QMenu* popupArch_ = nullptr;
    QMenu* menuFichier_ = nullptr;
    QMenu* menuEdition_ = nullptr;
    QMenu* menuAction_ = nullptr;
    QMenu* menuScripts_ = nullptr;
    std::vector<QToolButton*> toolButtons_;
    std::vector<QAction*> sortItems_;    // the four "Nom" / "Dossier" items, tag in data()
    QAction* searchFileItem_ = nullptr;  // the Edition menu's own items of never-disabled actions
    QAction* dellFileItem_ = nullptr;
    QAction* viewFileItem_ = nullptr;
    QActionGroup* showActions_ = nullptr;  // "Afficher", data(): the StatusFilter
    std::vector<QAction*> selectActions_;  // "Sélectionner"
};

// Counts a long operation while it lets events run (see guarded()).
class BusyScope {
  public:
    explicit BusyScope(TMainKorvelt2002& window) : window_(window) { ++window_.busy_; }
    ~BusyScope() { --window_.busy_; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    TMainKorvelt2002& window_;
};

// The life of an add operation: KeepGoing is true from its start to its end,
// so Escape stops an add that runs and has nothing to stop otherwise.
class AddRunScope {
  public:
    explicit AddRunScope(TMainKorvelt2002& window) : window_(window) { window_.keepGoing_ = true; }
    ~AddRunScope() { window_.keepGoing_ = false; }
    AddRunScope(const AddRunScope&) = delete;
    AddRunScope& operator=(const AddRunScope&) = delete;

  private:
    TMainKorvelt2002& window_;
};

template <class F>
void TMainKorvelt2002::guarded(Command kind, F&& body) {
    if (kind == Command::Changes && busy()) return;
    const auto report = [this](const std::string& text) { showError(text); };
    runGuarded(std::forward<F>(body), report);
    // Whatever the command changed (an archive opened, closed or written,
    // rows added or removed, the selection), the shortcuts follow at once.
    runGuarded([this] { updateActionStates(); }, report);
}

}  // namespace kv
