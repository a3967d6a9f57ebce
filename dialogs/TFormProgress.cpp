#include "dialogs/TFormProgress.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>
#include <optional>
#include <string>

#include "controls/Centre.h"
#include "controls/FormFont.h"
#include "controls/Hint.h"
#include "gui/CommandGuard.h"

namespace kv {
namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    // Long paths must not widen the dialog: the label keeps its width and cuts.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QProgressBar* makeBar(QWidget* parent, const char* name) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setTextVisible(false);
    bar->setFixedHeight(16);
    return bar;
}

}  // namespace

TFormProgress::TFormProgress(Ui& ui, QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      ui_(ui) {
    setObjectName(QStringLiteral("FormProgress"));
    setWindowTitle(QStringLiteral("Etat"));
    setFont(formFont());
    setFixedSize(492, 172);

    labelFile_ = makeLabel(this, "LabelFile", QStringLiteral("Fichier"));
    progressBarFile_ = makeBar(this, "ProgressBarFile");
    progressBarFile_->setRange(0, 100);
    labelPath_ = makeLabel(this, "LabelPath", QStringLiteral("Dossier"));
    auto* label1 = makeLabel(this, "Label1", QStringLiteral("Opération en cours"));
    labelReste_ = makeLabel(this, "LabelReste", QString());
    labelReste_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    progressBar_ = makeBar(this, "ProgressBar");

    checkRecupeFile_ = new QCheckBox(
        QStringLiteral(
            "Ne pas conserver les fichiers qui n'existent plus à leurs emplacement d'origine"),
        this);
    checkRecupeFile_->setObjectName(QStringLiteral("CheckRecupeFile"));
    checkRecupeFile_->setCursor(Qt::PointingHandCursor);

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);

    buttonDemarre_ = new QPushButton(QStringLiteral("Démarrer"), this);
    buttonDemarre_->setObjectName(QStringLiteral("ButtonDemarre"));
    buttonDemarre_->setDefault(true);
    applyHint(buttonDemarre_, QStringLiteral("|Démarrer l'opération"));
    buttonCancel_ = new QPushButton(QStringLiteral("Arrêter"), this);
    buttonCancel_->setObjectName(QStringLiteral("ButtonCancel"));
    buttonCancel_->setAutoDefault(false);
    applyHint(buttonCancel_, QStringLiteral("|Annuler l'opération"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(buttonDemarre_);
    buttons->addWidget(buttonCancel_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 6, 10, 8);
    layout->setSpacing(2);
    layout->addWidget(labelFile_);
    layout->addWidget(progressBarFile_);
    layout->addSpacing(2);
    layout->addWidget(labelPath_);
    auto* overall = new QHBoxLayout;
    overall->addWidget(label1, 1);
    overall->addWidget(labelReste_, 3);
    layout->addLayout(overall);
    layout->addWidget(progressBar_);
    layout->addSpacing(3);
    layout->addWidget(checkRecupeFile_);
    layout->addStretch();
    layout->addWidget(bevel);
    layout->addSpacing(3);
    layout->addLayout(buttons);

    connect(buttonDemarre_, &QPushButton::clicked, this, &TFormProgress::ButtonDemarreClick);
    connect(buttonCancel_, &QPushButton::clicked, this, &TFormProgress::ButtonCancelClick);
}

void TFormProgress::prepare(Mode mode, int overallMaximum) {
    mode_ = mode;
    const bool archiving = mode == Mode::Archive;
    switch (mode) {
        case Mode::Archive:
            setWindowTitle(QStringLiteral("Archivage des fichiers"));
            break;
        case Mode::Restore:
            setWindowTitle(QStringLiteral("Restauration des fichiers"));
            break;
        case Mode::RestoreMissing:
            setWindowTitle(QStringLiteral("Restauration des fichiers manquants"));
            break;
        case Mode::Verify:
            setWindowTitle(QStringLiteral("Vérification de l'archive"));
            break;
        case Mode::Test:
            setWindowTitle(QStringLiteral("Test de l'archive"));
            break;
    }
    labelReste_->clear();
    setOverallRange(overallMaximum);
    progressBar_->setValue(0);
    progressBarFile_->setRange(0, 100);
    progressBarFile_->setValue(0);
    labelFile_->setText(archiving ? QStringLiteral("Fichier :") : QStringLiteral("Fichier : "));
    labelPath_->setText(QStringLiteral("Dossier :"));
    checkRecupeFile_->setChecked(false);
    checkRecupeFile_->setVisible(archiving);
}

bool TFormProgress::checkRecupeFile() const {
    return checkRecupeFile_->isChecked();
}

void TFormProgress::setLabelText(ProgressLabel label, const QString& text) {
    (label == ProgressLabel::File ? labelFile_ : labelPath_)->setText(text);
}

void TFormProgress::setOverallRange(int maximum) {
    // A catalog of one row gives a maximum of 0; the bar then stays empty.
    progressBar_->setRange(0, maximum < 0 ? 0 : maximum);
}

void TFormProgress::setOverall(int value) {
    progressBar_->setValue(value);
}

void TFormProgress::setFilePercent(int percent) {
    progressBarFile_->setValue(percent);
}

void TFormProgress::setAmountText(const QString& text) {
    labelReste_->setText(text);
}

void TFormProgress::ButtonDemarreClick() {
    if (running_) return;
    running_ = true;
    buttonDemarre_->setEnabled(false);
    cancelRequested_ = false;
    std::optional<std::string> failure;
    // The message waits until the dialog has closed.
    runGuarded(
        [this] {
            if (run_) run_(mode_);
        },
        [&failure](const std::string& text) { failure = text; });
    running_ = false;
    buttonDemarre_->setEnabled(true);
    accept();
    if (failure) ui_.message(MessageKind::Error, *failure, Buttons::Ok);
}

void TFormProgress::ButtonCancelClick() {
    const Answer answer =
        ui_.message(MessageKind::Confirmation,
                    "Etes-vous sûr(e) de vouloir interrompre l'opération", Buttons::YesCancel);
    if (answer == Answer::Cancel) return;
    cancelRequested_ = true;
    // During a run the dialog stays up until the run has stopped at its next
    // file, so the main window is not usable while the run still writes.
    if (!running_) done(QDialog::Rejected);
}

void TFormProgress::reject() {
    ButtonCancelClick();
}

void TFormProgress::showEvent(QShowEvent* event) {
    centreOnScreen(*this);
    QDialog::showEvent(event);
}

}  // namespace kv
