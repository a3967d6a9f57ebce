#include "viewer/TFindDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace kv {

TFindDialog::TFindDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FindDialog1"));
    setWindowTitle(QStringLiteral("Rechercher"));
    setModal(false);
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Rechercher :"), this), 0, 0);
    text_ = new QLineEdit(this);
    text_->setObjectName(QStringLiteral("FindText"));
    grid->addWidget(text_, 0, 1, 1, 2);
    wholeWord_ = new QCheckBox(QStringLiteral("Mot entier"), this);
    wholeWord_->setObjectName(QStringLiteral("WholeWord"));
    matchCase_ = new QCheckBox(QStringLiteral("Respecter la casse"), this);
    matchCase_->setObjectName(QStringLiteral("MatchCase"));
    grid->addWidget(wholeWord_, 1, 0, 1, 2);
    grid->addWidget(matchCase_, 2, 0, 1, 2);
    auto* direction = new QGroupBox(QStringLiteral("Direction"), this);
    auto* row = new QHBoxLayout(direction);
    auto* up = new QRadioButton(QStringLiteral("Haut"), direction);
    down_ = new QRadioButton(QStringLiteral("Bas"), direction);
    down_->setChecked(true);
    row->addWidget(up);
    row->addWidget(down_);
    grid->addWidget(direction, 1, 2, 2, 1);
    next_ = new QPushButton(QStringLiteral("Suivant"), this);
    next_->setObjectName(QStringLiteral("FindNext"));
    next_->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Annuler"), this);
    grid->addWidget(next_, 0, 3);
    grid->addWidget(cancel, 1, 3);
    connect(next_, &QPushButton::clicked, this, [this] {
        if (!text_->text().isEmpty()) emit findNext();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
}

QString TFindDialog::findText() const {
    return text_->text();
}
void TFindDialog::setFindText(const QString& text) {
    text_->setText(text);
}
bool TFindDialog::matchCase() const {
    return matchCase_->isChecked();
}
bool TFindDialog::wholeWord() const {
    return wholeWord_->isChecked();
}
void TFindDialog::setMatchCase(bool on) {
    matchCase_->setChecked(on);
}
void TFindDialog::setWholeWord(bool on) {
    wholeWord_->setChecked(on);
}

}  // namespace kv
