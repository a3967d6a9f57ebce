#include "dialogs/TFormOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "controls/Centre.h"
#include "controls/FormFont.h"
#include "controls/Hint.h"
#include "controls/TVX_Line.h"
#include "dialogs/TFormJournal.h"
#include "engine/AutoSaveSettings.h"
#include "gui/Chooser.h"
#include "gui/CommandGuard.h"
#include "gui/FormBitmap.h"
#include "platform/Platform.h"
#include "platform/UserFolders.h"
#include "util/FileRoutines.h"
#include "util/PathHelpers.h"
#include "util/ShellRoutines.h"
#include "util/Ui.h"

namespace kv {

const char* const TFormOptions::HourMessage =
    "Format d'heure non valide !\r\rSaisissez les heures sous la forme --:-- exemple 12:30";

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const char* text) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

QLineEdit* makeReadOnlyEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(true);
    return edit;
}

QPushButton* makeButton(QWidget* parent, const char* name, const char* text) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

QCheckBox* makeCheck(QWidget* parent, const char* name, const char* text) {
    auto* box = new QCheckBox(QString::fromUtf8(text), parent);
    box->setObjectName(QLatin1String(name));
    box->setCursor(Qt::PointingHandCursor);
    return box;
}

TVX_Line* makeLine(QWidget* parent, const char* name) {
    auto* line = new TVX_Line(parent);
    line->setObjectName(QLatin1String(name));
    line->setBorderShape(TVX_Line::bsTopLine);
    line->setFixedHeight(2);
    return line;
}

// An edit box with the buttons that serve it on one line.
QHBoxLayout* row(QWidget* edit, std::initializer_list<QWidget*> buttons) {
    auto* line = new QHBoxLayout;
    line->setSpacing(4);
    line->addWidget(edit, 1);
    for (QWidget* b : buttons) line->addWidget(b);
    return line;
}

FileDialogRequest openRequest(const char* title, const char* filter, const char* extension) {
    FileDialogRequest request;
    request.title = QString::fromUtf8(title);
    request.filter = QString::fromUtf8(filter);
    request.defaultExtension = QString::fromUtf8(extension);
    return request;
}

}  // namespace

TFormOptions::TFormOptions(Ui& ui, const LocaleSeparators& separators, bool helpAvailable,
                           QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      ui_(ui),
      separators_(separators),
      helpAvailable_(helpAvailable) {
    setObjectName(QStringLiteral("FormOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setFont(formFont());
    setFixedSize(375, 343);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    buildGeneralPage();
    buildAutomationPage();

    auto* bottomLine = makeLine(this, "Bevel1");
    ButtonOk = makeButton(this, "ButtonOk", "&Ok");
    ButtonOk->setDefault(true);
    ButtonCancel = makeButton(this, "ButtonCancel", "&Annuler");
    ButtonHelp = makeButton(this, "ButtonHelp", "Aide");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {ButtonOk, ButtonCancel, ButtonHelp}) {
        b->setFixedWidth(75);
        buttons->addWidget(b);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 8);
    layout->setSpacing(6);
    layout->addWidget(PageControl1, 1);
    layout->addWidget(bottomLine);
    layout->addLayout(buttons);

    connect(ButtonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ButtonHelp, &QPushButton::clicked, this, &TFormOptions::ButtonHelpClick);
}

void TFormOptions::buildGeneralPage() {
    Tab1 = new QWidget;
    Tab1->setObjectName(QStringLiteral("Tab1"));
    PageControl1->addTab(Tab1, QStringLiteral("Général"));

    Label1 = makeLabel(Tab1, "Label1", "Chemin du dossier temporaire");
    EditDir = makeReadOnlyEdit(Tab1, "EditDir");
    SpeedBDir = new QToolButton(Tab1);
    SpeedBDir->setObjectName(QStringLiteral("SpeedBDir"));
    SpeedBDir->setAutoRaise(true);
    SpeedBDir->setIcon(QIcon(TFormBitmap::folderGlyph()));
    SpeedBDir->setCursor(Qt::PointingHandCursor);
    applyHint(SpeedBDir, QStringLiteral("|Sélectionner un dossier"));
    LabelSpace = makeLabel(Tab1, "LabelSpace", "Espace libre");
    Label2 = makeLabel(Tab1, "Label2",
                       "Korvelt utilise le dossier temporaire pour compresser/décompresser les "
                       "fichiers avant de les intéger dans l'archive, choisissez un dossier dont "
                       "l'espace libre est au moins égal à la taille de l'archive, tout l'espace "
                       "est libéré après chaque traitement");
    Label2->setWordWrap(true);
    ButtonDefaut = makeButton(Tab1, "ButtonDefaut", "Répertoire par défaut");
    applyHint(ButtonDefaut, QStringLiteral("|Rétabli le répertoire par défaut"));
    VX_Line1 = makeLine(Tab1, "VX_Line1");
    Label3 = makeLabel(Tab1, "Label3", "Nom complet de l'archive");
    EditFileName = makeReadOnlyEdit(Tab1, "EditFileName");
    LabelSizeArchive = makeLabel(Tab1, "LabelSizeArchive", "Taille du fichier");
    VX_Line2 = makeLine(Tab1, "VX_Line2");
    CheckDate = makeCheck(Tab1, "CheckDate",
                          "Ajouter automatiquement la date du jour au début du commentaire");

    auto* defaultRow = new QHBoxLayout;
    defaultRow->addWidget(ButtonDefaut);
    defaultRow->addStretch();

    auto* page = new QVBoxLayout(Tab1);
    page->setContentsMargins(8, 8, 8, 8);
    page->setSpacing(4);
    page->addWidget(Label1);
    page->addLayout(row(EditDir, {SpeedBDir}));
    page->addWidget(LabelSpace);
    page->addWidget(Label2);
    page->addLayout(defaultRow);
    page->addSpacing(4);
    page->addWidget(VX_Line1);
    page->addSpacing(4);
    page->addWidget(Label3);
    page->addWidget(EditFileName);
    page->addWidget(LabelSizeArchive);
    page->addSpacing(4);
    page->addWidget(VX_Line2);
    page->addSpacing(4);
    page->addWidget(CheckDate);
    page->addStretch();

    connect(SpeedBDir, &QToolButton::clicked, this, &TFormOptions::SpeedBDirClick);
    connect(ButtonDefaut, &QPushButton::clicked, this, &TFormOptions::ButtonDefautClick);
}

void TFormOptions::buildAutomationPage() {
    Tab2 = new QWidget;
    Tab2->setObjectName(QStringLiteral("Tab2"));
    PageControl1->addTab(Tab2, QStringLiteral("Automate"));

    Label4 = makeLabel(Tab2, "Label4", "Archive automatiquement sauvegardée");
    EditArchAuto = makeReadOnlyEdit(Tab2, "EditArchAuto");
    ButtonChangeArch = makeButton(Tab2, "ButtonChangeArch", "Changer");
    ButtonNulArch = makeButton(Tab2, "ButtonNulArch", "Aucune");
    VX_Line4 = makeLine(Tab2, "VX_Line4");
    Label5 = makeLabel(Tab2, "Label5", "Script associé à l'archive (obligatoire)");
    EditScriptAuto = makeReadOnlyEdit(Tab2, "EditScriptAuto");
    ButtonChangeScript = makeButton(Tab2, "ButtonChangeScript", "Changer");
    ButtonNullScript = makeButton(Tab2, "ButtonNullScript", "Aucun");
    VX_Line3 = makeLine(Tab2, "VX_Line3");
    for (QPushButton* b : {ButtonChangeArch, ButtonNulArch, ButtonChangeScript, ButtonNullScript})
        b->setFixedWidth(60);

    Label6 = makeLabel(Tab2, "Label6", "Périodicité");
    ComboJour = new QComboBox(Tab2);
    ComboJour->setObjectName(QStringLiteral("ComboJour"));
    ComboJour->setCursor(Qt::PointingHandCursor);
    for (const char* day : DayChoices) ComboJour->addItem(QString::fromUtf8(day));
    ComboJour->setCurrentIndex(0);
    Label7 = makeLabel(Tab2, "Label7", "Heure");
    EditHeure = new QLineEdit(Tab2);
    EditHeure->setObjectName(QStringLiteral("EditHeure"));
    EditHeure->setMaxLength(5);
    EditHeure->setFixedWidth(50);
    EditHeure->setContextMenuPolicy(Qt::PreventContextMenu);
    EditHeure->setAcceptDrops(false);
    EditHeure->installEventFilter(this);
    VX_Line5 = makeLine(Tab2, "VX_Line5");
    ButtonJournal = makeButton(Tab2, "ButtonJournal", "Voir le journal");
    CheckExecuteAuto = makeCheck(Tab2, "CheckExecuteAuto", "Activer la sauvegarde automatique");

    auto* when = new QHBoxLayout;
    when->setSpacing(6);
    when->addWidget(Label6);
    when->addWidget(ComboJour, 1);
    when->addSpacing(12);
    when->addWidget(Label7);
    when->addWidget(EditHeure);

    auto* page = new QVBoxLayout(Tab2);
    page->setContentsMargins(8, 8, 8, 8);
    page->setSpacing(4);
    page->addWidget(Label4);
    page->addLayout(row(EditArchAuto, {ButtonChangeArch, ButtonNulArch}));
    page->addSpacing(4);
    page->addWidget(VX_Line4);
    page->addSpacing(4);
    page->addWidget(Label5);
    page->addLayout(row(EditScriptAuto, {ButtonChangeScript, ButtonNullScript}));
    page->addSpacing(4);
    page->addWidget(VX_Line3);
    page->addSpacing(4);
    page->addLayout(when);
    page->addSpacing(4);
    page->addWidget(VX_Line5);
    page->addSpacing(4);
    page->addWidget(ButtonJournal);
    page->addSpacing(4);
    page->addWidget(CheckExecuteAuto);
    page->addStretch();

    connect(ButtonChangeArch, &QPushButton::clicked, this, &TFormOptions::ButtonChangeArchClick);
    connect(ButtonNulArch, &QPushButton::clicked, this, &TFormOptions::ButtonNulArchClick);
    connect(ButtonChangeScript, &QPushButton::clicked, this,
            &TFormOptions::ButtonChangeScriptClick);
    connect(ButtonNullScript, &QPushButton::clicked, this, &TFormOptions::ButtonNullScriptClick);
    connect(ButtonJournal, &QPushButton::clicked, this, &TFormOptions::ButtonJournalClick);
    connect(EditHeure, &QLineEdit::textChanged, this, &TFormOptions::EditHeureChange);
}

QString TFormOptions::freeSpaceText(const QString& folder, bool withDash,
                                    const LocaleSeparators& separators) {
    const int64_t free = DriveFreeBytes(folder.toStdString());
    const int64_t megabytes = free > 0 ? free / 1000000 : 0;
    return QString::fromUtf8(withDash ? "- Espace libre : " : "Espace libre : ") +
           QString::fromStdString(formatNumber0(static_cast<double>(megabytes), separators)) +
           QStringLiteral(" Mo");
}

QString TFormOptions::sizeText(int64_t bytes, const LocaleSeparators& separators) {
    const double size = static_cast<double>(bytes);
    return QStringLiteral("- Taille du fichier : ") +
           QString::fromStdString(formatNumber2(size / 1000.0, separators)) +
           QStringLiteral(" Ko (") + QString::fromStdString(formatNumber2(size, separators)) +
           QStringLiteral(" octets)");
}

void TFormOptions::setDay(int day) {
    ComboJour->setCurrentIndex(day >= 0 && day < ComboJour->count() ? day : 0);
}

void TFormOptions::refreshSpace(bool withDash) {
    LabelSpace->setText(freeSpaceText(EditDir->text(), withDash, separators_));
}

void TFormOptions::showEvent(QShowEvent* event) {
    centreOnScreen(*this);
    refreshSpace(true);
    QDialog::showEvent(event);
}

void TFormOptions::SpeedBDirClick() {
    const std::optional<QString> chosen = Chooser::instance().folder(
        this, QStringLiteral("Sélectionner un dossier temporaire"), QString());
    if (!chosen) return;
    EditDir->setText(QString::fromStdString(WithBackslash(chosen->toStdString())));
    refreshSpace(false);
}

void TFormOptions::ButtonDefautClick() {
    EditDir->setText(QString::fromStdString(DefaultWorkFolder()));
    refreshSpace(false);
}

void TFormOptions::ButtonChangeArchClick() {
    const std::optional<QString> chosen = Chooser::instance().openFile(
        this, openRequest("Ouvrir une archive KVR", "Fichiers KVR (*.kvr)", "kvr"));
    if (chosen) EditArchAuto->setText(*chosen);
}

void TFormOptions::ButtonNulArchClick() {
    if (EditArchAuto->text().isEmpty()) return;
    if (ui_.message(MessageKind::Confirmation, "Retirer l'archive ?", Buttons::OkCancel) ==
        Answer::Ok)
        EditArchAuto->clear();
}

void TFormOptions::ButtonChangeScriptClick() {
    FileDialogRequest request =
        openRequest("Ouvrir un fichier script", "Fichiers Script (*.kvl)", "kvl");
    request.initialFolder = QString::fromStdString(RemoveBackslash(ScriptFolder()));
    const std::optional<QString> chosen = Chooser::instance().openFile(this, request);
    if (chosen) EditScriptAuto->setText(*chosen);
}

void TFormOptions::ButtonNullScriptClick() {
    if (EditScriptAuto->text().isEmpty()) return;
    if (ui_.message(MessageKind::Confirmation, "Retirer le script ?", Buttons::OkCancel) ==
        Answer::Ok)
        EditScriptAuto->clear();
}

void TFormOptions::ButtonJournalClick() {
    // The viewer's save may fail; the dialog's own event loop must not see it.
    runGuarded(ui_, [this] { TFormJournal::showJournal(ui_, this); });
}

void TFormOptions::ButtonHelpClick() {
    ShowHelpPage("option.htm", helpAvailable_, ui_);
}

bool TFormOptions::EditHeureKeyPress(QChar key) {
    if (key == u':') {
        // The colon the box wrote itself after two digits is typed again by
        // whoever types "20:00": it is taken silently, as one typed into the
        // empty box.
        QString rest = EditHeure->text();
        if (EditHeure->hasSelectedText())
            rest.remove(EditHeure->selectionStart(), EditHeure->selectedText().size());
        return !rest.isEmpty() && !rest.contains(u':');
    }
    const char16_t c = key.unicode();
    if ((c >= u'0' && c <= u'9') || c == u'\b' || c == u'\r' || c == u'\n') return true;
    ui_.message(MessageKind::Notice, "Saisie non valide !");
    return false;
}

void TFormOptions::EditHeureChange() {
    const QString text = EditHeure->text();
    const bool grew = text.size() > hourLength_;
    hourLength_ = text.size();
    // Only a text that grows gets the colon: Backspace can take it away, and
    // a digit typed after that goes behind a new one ("20" then 0: "20:0").
    if (!grew || text.size() < 2 || text.contains(u':')) return;
    EditHeure->setText((text.left(2) + u':' + text.mid(2)).left(EditHeure->maxLength()));
    EditHeure->setCursorPosition(static_cast<int>(EditHeure->text().size()));
}

void TFormOptions::EditHeureExit() {
    const QString text = EditHeure->text();
    if (text.isEmpty() || checkingHour_) return;
    if (const std::optional<TimeOfDay> time = ParseTimeOfDay(text.toStdString())) {
        EditHeure->setText(QString::fromStdString(FormatTimeOfDay(*time)));
        return;
    }
    // The box is emptied before the message, so the focus the box takes away
    // and gives back does not bring the message a second time.
    checkingHour_ = true;
    EditHeure->clear();
    ui_.message(MessageKind::Notice, HourMessage);
    checkingHour_ = false;
}

bool TFormOptions::eventFilter(QObject* watched, QEvent* event) {
    if (watched != EditHeure) return QDialog::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            // A paste is a typed control character too (or no character at all).
            if (key->matches(QKeySequence::Paste)) {
                ui_.message(MessageKind::Notice, "Saisie non valide !");
                return true;
            }
            // Editing keys with Ctrl (select all, copy, cut, undo) type no
            // character: the box does what they say.
            if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) return false;
            const QString typed = key->text();
            // Keys that type nothing (arrows, Delete, Home...) and the dialog's
            // own keys (Tab, Escape) are not characters of the box.
            if (typed.isEmpty() || typed[0] == u'\t' || typed[0] == u'\x1b' ||
                typed[0] == u'\x7f' || key->key() == Qt::Key_Backtab)
                return false;
            return !EditHeureKeyPress(typed[0]);
        }
        case QEvent::FocusOut: {
            // Leaving the box for another control; another window taking the
            // keyboard (a message box, the dialog closing) is not leaving it.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                EditHeureExit();
            return false;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
            // The middle button pastes the selection on this desktop.
            return static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton;
        case QEvent::ContextMenu:
            event->accept();
            return true;
        default:
            return false;
    }
}

}  // namespace kv
