#include "app/TMainKorvelt2002.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>

#include "dialogs/TAPropos.h"
#include "dialogs/TFormProgress.h"
#include "dialogs/TFormRestaure.h"
#include "dialogs/TFormWait.h"
#include "engine/AutoJournal.h"
#include "gui/DialogRunner.h"
#include "gui/FormBitmap.h"
#include "platform/Platform.h"
#include "platform/UserFolders.h"
#include "util/PathHelpers.h"
#include "util/ShellRoutines.h"

namespace kv {
namespace {

constexpr const char* kSettingsName = "Korvelt.cfg";
const char* const kColumnKeys[CatalogModel::ColumnCount] = {"A_Col0", "A_Col1", "A_Col2",
                                                            "A_Col3", "A_Col4", "A_Col5"};

// The first character of a Qt date or time format that is not a field letter.
QString separatorIn(const QString& format, const QString& allowed, const QString& fallback) {
    for (QChar c : format) {
        if (c.isLetter() || c == QLatin1Char('\'')) continue;
        if (allowed.contains(c)) return QString(c);
        break;
    }
    return fallback;
}

// The toolbar, from the left: each button runs its command's action.
struct ToolbarButton {
    const char* name;
    const char* command;
    TFormBitmap::Glyph glyph;
    bool separatorAfter;
};
constexpr ToolbarButton kToolbar[] = {
    {"SpeedBNew", "New_Arch", TFormBitmap::GlyphNew, false},
    {"SpeedBOpen", "Open_Arch", TFormBitmap::GlyphOpen, true},
    {"SpeedBArchive", "Archiver", TFormBitmap::GlyphArch, false},
    {"SpeedBExtractor", "SelfExtractor", TFormBitmap::GlyphSelf, true},
    {"SpeedBPlus", "AddFile", TFormBitmap::GlyphAdd, false},
    {"SpeedBRestaure", "Restaure", TFormBitmap::GlyphExtract, false},
    {"SpeedBMoins", "DellFile_Arch", TFormBitmap::GlyphDell, false},
    {"SpeedBVerifier", "Verifier_Arch", TFormBitmap::GlyphVerify, true},
    {"SpeedBSearchArch", "SearchFile_Arch", TFormBitmap::GlyphSearch, false},
    {"ToolB_Voir", "Voir_FichierArch", TFormBitmap::GlyphEcran, true},
};

}  // namespace

TMainKorvelt2002::TMainKorvelt2002(QWidget* parent) : QMainWindow(parent), ui_(this) {
    setObjectName(QStringLiteral("MainKorvelt2002"));
    FormCreate();
}

TMainKorvelt2002::~TMainKorvelt2002() {
    FormDestroy();
}

LocaleSeparators TMainKorvelt2002::separatorsOf(const QLocale& locale) {
    LocaleSeparators sep;
    sep.decimal = locale.decimalPoint().toStdString();
    sep.thousands = locale.groupSeparator().toStdString();
    sep.date = separatorIn(locale.dateFormat(QLocale::ShortFormat), QStringLiteral("/.-"),
                           QStringLiteral("/"))
                   .toStdString();
    sep.time = separatorIn(locale.timeFormat(QLocale::ShortFormat), QStringLiteral(":.h"),
                           QStringLiteral(":"))
                   .toStdString();
    return sep;
}

void TMainKorvelt2002::setForms(const Forms& forms) {
    forms_ = forms;
    for (QWidget* form :
         {static_cast<QWidget*>(forms.restaure), static_cast<QWidget*>(forms.progress),
          forms.addArch, static_cast<QWidget*>(forms.wait)}) {
        const bool owned = std::any_of(ownedForms_.begin(), ownedForms_.end(),
                                       [form](const auto& held) { return held.get() == form; });
        if (form && !owned) ownedForms_.emplace_back(form);
    }
    ui_.setProgressDialog(forms.progress);
    if (forms.progress)
        forms.progress->setRunFunction([this](TFormProgress::Mode mode) { runEngine(mode); });
    if (forms.restaure) {
        forms.restaure->setWorkFolderSource([this] { return options_.workFolder; });
        forms.restaure->setHelpAvailable(helpAvailable_);
    }
}

bool TMainKorvelt2002::archiveExists() const {
    return archiveOpen() && platform().fileExists(archive_.path);
}

WindowSettings TMainKorvelt2002::readSettings() const {
    WindowSettings s;
    const IniFile& ini = *settingsIni_;
    const std::string systemTemp = platform().tempFolder();
    s.temporary = ini.readString("Application", "temporary", systemTemp);
    if (!platform().directoryExists(s.temporary)) s.temporary = systemTemp;
    s.widthSize = ini.readInteger("Window", "WidthSize", s.widthSize);
    s.heightSize = ini.readInteger("Window", "HeightSize", s.heightSize);
    for (int c = 0; c < CatalogModel::ColumnCount; ++c)
        s.columns[c] = ini.readInteger("List", kColumnKeys[c], s.columns[c]);
    s.tri = ini.readInteger("List", "Tri", s.tri) & 0xFF;
    s.dateComment = ini.readBool("Application", "DateComment", s.dateComment);
    s.recompressAll = ini.readBool("Application", "RecompressAll", s.recompressAll);
    s.verifyUnchanged = ini.readBool("Application", "VerifyUnchanged", s.verifyUnchanged);
    return s;
}

void TMainKorvelt2002::FormCreate() {
    const std::string programFolder = platform().programFolder();
    settingsIni_ = std::make_unique<IniFile>(SettingsFolder() + kSettingsName);
    const WindowSettings s = readSettings();

    options_.workFolder = s.temporary;
    env_.separators = separatorsOf(QLocale());
    helpAvailable_ = platform().fileExists(programFolder + "Help\\index.htm");
    const std::string scripts = RemoveBackslash(ScriptFolder());
    if (!platform().directoryExists(scripts)) platform().createDirectory(scripts);

    ui_.setKeepGoing([this] { return keepGoing_; });
    // While a run works, the status bar tells what is done and what is left.
    ui_.setAmountHook([this](const QString& text) {
        if (text.isEmpty())
            statusBar()->clearMessage();
        else
            statusBar()->showMessage(text);
    });

    buildActions();
    buildToolbar();
    buildCatalogView();
    buildMenus();

    applyStoredSize(s);

    setWindowTitle(QStringLiteral("Korvelt"));
    archive_.path.clear();
    archive_.listChanged = false;

    for (int c = 0; c < CatalogModel::ColumnCount; ++c)
        listView_->header()->resizeSection(c, s.columns[c]);
    archive_.sortKey = s.tri;
    options_.dateComment = s.dateComment;
    options_.recompressAll = s.recompressAll;
    options_.verifyUnchanged = s.verifyUnchanged;

    acceptDrops_ = true;
    setAcceptDrops(true);
    buildImageExtensions();
    readHighColour();
    qApp->installEventFilter(this);
    updateActionStates();
}

void TMainKorvelt2002::applyStoredSize(const WindowSettings& s) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->geometry().size() : QSize(1024, 768);
    if (s.widthSize < screenSize.width() && s.heightSize < screenSize.height()) {
        resize(s.widthSize, s.heightSize);
        return;
    }
    // Without a window manager that honours the request, a maximised window
    // would keep Qt's small default size: it gets the screen's work area
    // first, then asks to be maximised.
    if (screen) setGeometry(screen->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
}

void TMainKorvelt2002::readHighColour() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    highColour_ = screen && screen->depth() > 8;
}

void TMainKorvelt2002::FormDestroy() {
    if (!settingsIni_) return;
    qApp->removeEventFilter(this);
    IniFile& ini = *settingsIni_;
    QSize size = this->size();
    if (isMaximized()) {
        // A maximised window is as large as the screen; stored so, it starts
        // maximised again.
        if (const QScreen* s = screen()) size = s->geometry().size();
    }
    bool written = ini.writeInteger("Window", "WidthSize", size.width());
    written = ini.writeInteger("Window", "HeightSize", size.height()) && written;
    written = ini.writeString("Application", "temporary", options_.workFolder) && written;
    for (int c = 0; c < CatalogModel::ColumnCount; ++c)
        written = ini.writeInteger("List", kColumnKeys[c], listView_->header()->sectionSize(c)) &&
                  written;
    written = ini.writeInteger("List", "Tri", archive_.sortKey & 0xFF) && written;
    written = ini.writeBool("Application", "DateComment", options_.dateComment) && written;
    if (!written) settingsNotWritten(ini.path());
    settingsIni_.reset();
}

void TMainKorvelt2002::settingsNotWritten(const std::string& path) {
    const std::string text = "Impossible d'enregistrer les réglages dans le fichier " + path;
    if (automatic_) {
        AppendJournalLine(JournalPath(), JournalLine(env_.now(), "Message : " + text));
        return;
    }
    ui_.message(MessageKind::Error, text + ".\rLes réglages de cette session sont perdus.");
}

void TMainKorvelt2002::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    // FormShow runs once the event loop has shown the window, when every
    // long-lived form exists.
    QTimer::singleShot(0, this, [this] { guarded(Command::Changes, [this] { FormShow(); }); });
}

void TMainKorvelt2002::FormShow() {
    LoadToolbarGlyphs();
    if (!commandLine_.isEmpty() && commandLine_.first() == QLatin1String("/AUTOSAVE")) {
        RunAutomaticMode();
        close();
        return;
    }
    ShowAutomationNotice();
    if (commandLine_.isEmpty()) return;
    QString joined = commandLine_.join(QLatin1Char(' '));
    while (joined.endsWith(QLatin1Char(' '))) joined.chop(1);
    std::string path = joined.toStdString();
    // A path that does not start with a drive letter is a host path (a shell
    // of this system passes those); it is taken into the drive map.
    const bool drivePath = joined.size() >= 3 && joined[0].isLetter() &&
                           joined[1] == QLatin1Char(':') && joined[2] == QLatin1Char('\\');
    if (!drivePath) {
        const auto windows =
            platform().toWindows(QFileInfo(joined).absoluteFilePath().toStdString());
        if (!windows) return;
        path = *windows;
    }
    if (!platform().fileExists(path)) return;
    if (QString::fromStdString(path).right(4).toLower() != QLatin1String(".kvr")) return;
    archive_.path = path;
    LoadArchive(true, this);
}

void TMainKorvelt2002::buildToolbar() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Panel1"));
    setCentralWidget(central);

    toolbarPanel_ = new QFrame(central);
    toolbarPanel_->setObjectName(QStringLiteral("PanelIcone"));
    toolbarPanel_->setFrameShape(QFrame::Panel);
    toolbarPanel_->setFrameShadow(QFrame::Raised);
    toolbarPanel_->setFixedHeight(41);

    int x = 4;
    for (const ToolbarButton& b : kToolbar) {
        auto* button = new QToolButton(toolbarPanel_);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setDefaultAction(buttonActionFor(action(b.command)));
        button->setAutoRaise(true);
        button->setGeometry(x, 3, 35, 35);
        button->setFocusPolicy(Qt::NoFocus);
        toolButtons_.push_back(button);
        x += 35;
        if (b.separatorAfter) {
            auto* line = new QFrame(toolbarPanel_);
            line->setFrameShape(QFrame::VLine);
            line->setFrameShadow(QFrame::Sunken);
            line->setGeometry(x + 2, 5, 4, 31);
            x += 8;
        }
    }
    labelComment_ = new QLabel(QStringLiteral("Commentaire"), toolbarPanel_);
    labelComment_->setObjectName(QStringLiteral("Label1"));
    labelComment_->move(x + 6, 2);
    labelComment_->adjustSize();
    editComment_ = new QLineEdit(toolbarPanel_);
    editComment_->setObjectName(QStringLiteral("EditComment"));
    editComment_->setMaxLength(80);
    editComment_->move(x + 6, 17);
    connect(editComment_, &QLineEdit::textChanged, this,
            [this](const QString& text) { archive_.comment = text.toStdString(); });
}

void TMainKorvelt2002::LoadToolbarGlyphs() {
    const int margin = highColour_ ? 1 : 6;
    const int side = 35 - 2 * margin - 2;
    for (size_t i = 0; i < toolButtons_.size(); ++i) {
        QToolButton* button = toolButtons_[i];
        button->defaultAction()->setIcon(
            QIcon(TFormBitmap::toolbarGlyph(kToolbar[i].glyph, highColour_)));
        button->setIconSize(QSize(side, side));
        button->setProperty("Margin", margin);
    }
}

void TMainKorvelt2002::changeEvent(QEvent* event) {
    // A change of palette stands for the system's colour-change notice: only
    // HighColour is recomputed, the glyphs stay.
    if (event->type() == QEvent::PaletteChange) readHighColour();
    QMainWindow::changeEvent(event);
}

void TMainKorvelt2002::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TMainKorvelt2002::FormResize() {
    if (!editComment_) return;
    editComment_->setGeometry(editComment_->x(), 17, std::max(0, toolbarPanel_->width() - 376), 21);
}

bool TMainKorvelt2002::eventFilter(QObject* watched, QEvent* event) {
    // The comment box follows the toolbar panel's width, which the layout
    // sets after the window's own resize.
    if (watched == toolbarPanel_ && event->type() == QEvent::Resize) FormResize();
    // The window sees keys before its controls do.
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this) {
            FormKeyDown();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainKorvelt2002::FormKeyDown() {
    // Escape stops an add that runs; with nothing running there is nothing
    // to abandon and nothing is said.
    if (!keepGoing_) return;
    keepGoing_ = false;
    guarded(Command::Reads, [this] { ui_.message(MessageKind::Notice, "Opération abandonnée"); });
}

void TMainKorvelt2002::closeEvent(QCloseEvent* event) {
    bool mayClose = true;
    if (busy()) {
        // A long operation is running inside this window's events: it ends first.
        mayClose = false;
    } else {
        guarded(Command::Reads, [&] { mayClose = FormClose(); });
    }
    if (mayClose)
        event->accept();
    else
        event->ignore();
}

bool TMainKorvelt2002::FormClose() {
    if (!archive_.listChanged || archive_.path.empty()) {
        acceptDrops_ = false;
        setAcceptDrops(false);
        return true;
    }
    const Answer answer = ui_.message(MessageKind::Confirmation,
                                      "Le contenue de la liste a changé,\rvoulez-vous archiver les "
                                      "changements avant de quitter Korvelt ?",
                                      Buttons::YesNoCancel);
    if (answer == Answer::Cancel) return false;
    if (answer == Answer::Yes) {
        runGuarded([this] { ArchiverExecute(); },
                   [this](const std::string& text) { showError(text); });
    }
    keepGoing_ = false;
    acceptDrops_ = false;
    setAcceptDrops(false);
    return true;
}

void TMainKorvelt2002::CloseAppliExecute() {
    close();
}

void TMainKorvelt2002::AProposdeExecute() {
    TAPropos about(this);
    DialogRunner::exec(about);
}

void TMainKorvelt2002::showError(const std::string& text) {
    if (!busy()) {
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    }
    ui_.message(MessageKind::Error, text);
}

void TMainKorvelt2002::FileHelpExecute() {
    ShowHelpPage("index.htm", helpAvailable_, ui_);
}

}  // namespace kv
