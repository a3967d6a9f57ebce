#include "dialogs/TFormPrint.h"

#include <QFrame>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>

#include "controls/Centre.h"
#include "controls/FormFont.h"
#include "controls/Hint.h"
#include "gui/DialogRunner.h"
#include "util/PrintLayout.h"
#include "util/ShellRoutines.h"

namespace kv {
namespace {

QString pagesNeeded(std::size_t rows) {
    return QStringLiteral(" ( %1 page(s) nécessaire(s) )").arg(listingPages(rows));
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

}  // namespace

TFormPrint::TFormPrint(Ui& ui, QPrinter& printer, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      ui_(ui),
      printer_(printer) {
    setObjectName(QStringLiteral("FormPrint"));
    setWindowTitle(QStringLiteral("Options pour l'impression"));
    setFont(formFont());
    setFixedSize(346, 118);

    // Both radio buttons share this dialog as their parent, so choosing one
    // clears the other.
    radioSelect_ = new QRadioButton(QStringLiteral("Imprimer la sélection "), this);
    radioSelect_->setObjectName(QStringLiteral("RadioSelect"));
    radioSelect_->setCursor(Qt::PointingHandCursor);
    radioSelect_->setGeometry(14, 14, 320, 18);
    radioTout_ = new QRadioButton(QStringLiteral("Imprimer toute la liste"), this);
    radioTout_->setObjectName(QStringLiteral("RadioTout"));
    radioTout_->setCursor(Qt::PointingHandCursor);
    radioTout_->setGeometry(14, 40, 320, 18);
    radioTout_->setChecked(true);

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(10, 68, 326, 4);

    buttonConfigure_ = makeButton(this, "ButtonConfigure", QStringLiteral("&Configurer"));
    applyHint(buttonConfigure_, QStringLiteral("Configurer l'imprimante"));
    buttonOk_ = makeButton(this, "ButtonOk", QStringLiteral("&Ok"));
    buttonOk_->setDefault(true);
    buttonCancel_ = makeButton(this, "ButtonCancel", QStringLiteral("&Annuler"));
    buttonHelp_ = makeButton(this, "ButtonHelp", QStringLiteral("Aide"));
    buttonConfigure_->setGeometry(10, 82, 80, 25);
    int x = 336 - 3 * 72 - 2 * 6;
    for (QPushButton* button : {buttonOk_, buttonCancel_, buttonHelp_}) {
        button->setGeometry(x, 82, 72, 25);
        x += 78;
    }

    connect(buttonConfigure_, &QPushButton::clicked, this, &TFormPrint::ButtonConfigureClick);
    connect(buttonOk_, &QPushButton::clicked, this, &QDialog::accept);
    connect(buttonCancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(buttonHelp_, &QPushButton::clicked, this, &TFormPrint::ButtonHelpClick);
}

void TFormPrint::prepare(std::size_t rows, std::size_t selected) {
    radioTout_->setText(QStringLiteral("Imprimer toute la liste") + pagesNeeded(rows));
    radioTout_->setChecked(true);
    if (selected == 0) {
        radioSelect_->setText(QStringLiteral("Imprimer la sélection "));
        radioSelect_->setEnabled(false);
    } else {
        radioSelect_->setText(QStringLiteral("Imprimer la sélection") + pagesNeeded(selected));
        radioSelect_->setEnabled(true);
        radioSelect_->setChecked(true);
    }
}

bool TFormPrint::selectionChosen() const {
    return radioSelect_->isEnabled() && radioSelect_->isChecked();
}

void TFormPrint::ButtonConfigureClick() {
    QPageSetupDialog setup(&printer_, this);
    DialogRunner::exec(setup);
}

void TFormPrint::showEvent(QShowEvent* event) {
    centreOnScreen(*this);
    QDialog::showEvent(event);
}

void TFormPrint::ButtonHelpClick() {
    ShowHelpPage("printarch.htm", helpAvailable_, ui_);
}

}  // namespace kv
