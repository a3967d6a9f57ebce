#include "dialogs/TFormRestaure.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "controls/Centre.h"
#include "controls/FormFont.h"
#include "controls/Hint.h"
#include "gui/Chooser.h"
#include "gui/FormBitmap.h"
#include "platform/Platform.h"
#include "text/Text.h"
#include "util/PathHelpers.h"
#include "util/ShellRoutines.h"

namespace kv {
namespace {

QCheckBox* makeCheck(QWidget* parent, const char* name, const QString& text) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QLatin1String(name));
    box->setCursor(Qt::PointingHandCursor);
    return box;
}

}  // namespace

TFormRestaure::TFormRestaure(Ui& ui, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      ui_(ui) {
    setObjectName(QStringLiteral("FormRestaure"));
    setWindowTitle(QStringLiteral("Extraction des fichiers KVR"));
    setFont(formFont());
    setFixedSize(334, 246);

    radioSelect_ = new QGroupBox(QStringLiteral(" Restaurer "), this);
    radioSelect_->setObjectName(QStringLiteral("RadioSelect"));
    radioAll_ = new QRadioButton(QStringLiteral("Tous les fichiers"), radioSelect_);
    radioSelected_ =
        new QRadioButton(QStringLiteral("Le(s) fichier(s) sélectionné(s)"), radioSelect_);
    radioAll_->setChecked(true);
    auto* radios = new QVBoxLayout(radioSelect_);
    radios->setContentsMargins(8, 2, 8, 4);
    radios->setSpacing(0);
    radios->addWidget(radioAll_);
    radios->addWidget(radioSelected_);

    checkDir_ = makeCheck(this, "CheckDir",
                          QStringLiteral("Restaurer les fichiers dans les dossiers d'origine"));
    auto* label1 = new QLabel(QStringLiteral("Chemin du dossier de restauration"), this);
    label1->setObjectName(QStringLiteral("Label1"));

    editDir_ = new QLineEdit(this);
    editDir_->setObjectName(QStringLiteral("EditDir"));
    editDir_->setReadOnly(true);
    speedBDir_ = new QToolButton(this);
    speedBDir_->setObjectName(QStringLiteral("SpeedBDir"));
    speedBDir_->setAutoRaise(true);
    speedBDir_->setIcon(QIcon(TFormBitmap::folderGlyph()));
    speedBDir_->setCursor(Qt::PointingHandCursor);
    applyHint(speedBDir_, QStringLiteral("|Sélectionner un dossier"));
    auto* folderRow = new QHBoxLayout;
    folderRow->setSpacing(2);
    folderRow->addWidget(editDir_);
    folderRow->addWidget(speedBDir_);

    checkArboresence_ =
        makeCheck(this, "CheckArboresence",
                  QStringLiteral("Créer l'arborescence d'origine dans ce dossier (conseillé)"));
    checkArboresence_->setChecked(true);

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);

    auto* button1 = new QPushButton(QStringLiteral("&Ok"), this);
    button1->setObjectName(QStringLiteral("Button1"));
    button1->setDefault(true);
    auto* button2 = new QPushButton(QStringLiteral("&Annuler"), this);
    button2->setObjectName(QStringLiteral("Button2"));
    button2->setAutoDefault(false);
    auto* buttonHelp = new QPushButton(QStringLiteral("Aide"), this);
    buttonHelp->setObjectName(QStringLiteral("ButtonHelp"));
    buttonHelp->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {button1, button2, buttonHelp}) {
        button->setFixedWidth(75);
        buttons->addWidget(button);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(4);
    layout->addWidget(radioSelect_);
    layout->addSpacing(2);
    layout->addWidget(checkDir_);
    layout->addSpacing(2);
    layout->addWidget(label1);
    layout->addLayout(folderRow);
    layout->addWidget(checkArboresence_);
    layout->addStretch();
    layout->addWidget(bevel);
    layout->addLayout(buttons);

    connect(checkDir_, &QCheckBox::toggled, this, &TFormRestaure::CheckDirClick);
    connect(speedBDir_, &QToolButton::clicked, this, &TFormRestaure::SpeedBDirClick);
    connect(button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(buttonHelp, &QPushButton::clicked, this, &TFormRestaure::ButtonHelpClick);

    checkDir_->setChecked(true);
    CheckDirClick();
}

void TFormRestaure::prepareSelection(bool anyRowSelected) {
    setSelection(anyRowSelected ? RestoreSelection::SelectedRows : RestoreSelection::AllEntries);
    radioSelect_->setEnabled(anyRowSelected);
}

RestoreSelection TFormRestaure::selection() const {
    return radioSelected_->isChecked() ? RestoreSelection::SelectedRows
                                       : RestoreSelection::AllEntries;
}

void TFormRestaure::setSelection(RestoreSelection selection) {
    (selection == RestoreSelection::SelectedRows ? radioSelected_ : radioAll_)->setChecked(true);
}

RestoreChoices TFormRestaure::choices() const {
    RestoreChoices choices;
    choices.selection = selection();
    choices.toOrigin = checkDir_->isChecked();
    choices.tree = checkArboresence_->isChecked();
    choices.folder = editDir_->text().toStdString();
    return choices;
}

bool TFormRestaure::destinationMissing() const {
    return !checkDir_->isChecked() && editDir_->text().isEmpty();
}

void TFormRestaure::CheckDirClick() {
    const bool toOrigin = checkDir_->isChecked();
    if (toOrigin) editDir_->clear();
    editDir_->setEnabled(!toOrigin);
    // Ticked, the box takes the button-face colour of a read-only field;
    // unticked, the window colour of a field the user fills.
    QPalette palette = editDir_->palette();
    const QPalette standard = QApplication::palette();
    const QColor background =
        standard.color(QPalette::Active, toOrigin ? QPalette::Button : QPalette::Base);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Base, background);
    editDir_->setPalette(palette);
    speedBDir_->setEnabled(!toOrigin);
    checkArboresence_->setEnabled(!toOrigin);
}

QString TFormRestaure::pickerStart() {
    // The picker opens at the desktop every time, not in the last folder any
    // dialog used; the home folder stands in for a desktop that does not exist.
    for (const char* shellFolder : {"Desktop", "Personal"}) {
        const std::string folder = GetShellFolder(shellFolder);
        if (!folder.empty() && platform().directoryExists(folder))
            return QString::fromStdString(folder);
    }
    return {};
}

void TFormRestaure::SpeedBDirClick() {
    const std::optional<QString> chosen = Chooser::instance().folder(
        this, QStringLiteral("Sélectionner un dossier de Restauration"), pickerStart());
    if (!chosen) return;
    std::string folder = WithBackslash(chosen->toStdString());
    // The Work folder is emptied by every run: restoring into it would lose files.
    const std::string work = workFolder_ ? workFolder_() : std::string();
    if (!work.empty() && text::equalNoCase(folder, WithBackslash(work))) {
        ui_.message(
            MessageKind::Information,
            "Le dossier temporaire est utilisé par Korvelt,\rsélectionnez un autre dossier s.v.p",
            Buttons::Ok);
        folder.clear();
    }
    editDir_->setText(QString::fromStdString(folder));
}

void TFormRestaure::showEvent(QShowEvent* event) {
    centreOnScreen(*this);
    QDialog::showEvent(event);
}

void TFormRestaure::ButtonHelpClick() {
    ShowHelpPage("restaure.htm", helpAvailable_, ui_);
}

}  // namespace kv
