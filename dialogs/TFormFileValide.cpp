#include "dialogs/TFormFileValide.h"

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "controls/Centre.h"
#include "controls/Hint.h"
#include "gui/DialogRunner.h"
#include "text/Text.h"

namespace kv {

TFormFileValide::TFormFileValide(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormFileValide"));
    setWindowTitle(QStringLiteral("Nom de fichier invalide"));
    setFixedSize(475, 106);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    LabelName = new QLabel(QStringLiteral("Nom du fichier"), this);
    LabelName->setObjectName(QStringLiteral("LabelName"));
    LabelName->setGeometry(8, 6, 459, 16);

    EditFile = new QLineEdit(this);
    EditFile->setObjectName(QStringLiteral("EditFile"));
    EditFile->setGeometry(8, 23, 459, 22);

    Label2 = new QLabel(
        QStringLiteral(
            "Le nom de ce fichier est trop long, il ne doit pas dépasser 100 caractères. "
            "Vous pouvez renommer celui-ci ou l'ignorer auquel cas il ne sera pas "
            "ajouter à la liste."),
        this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont small = Label2->font();
    small.setPixelSize(11);
    Label2->setFont(small);
    Label2->setGeometry(8, 49, 294, 56);

    ButtonRenamme = new QPushButton(QStringLiteral("&Renommer"), this);
    ButtonRenamme->setObjectName(QStringLiteral("ButtonRenamme"));
    ButtonRenamme->setGeometry(306, 66, 78, 27);
    ButtonRenamme->setDefault(true);
    applyHint(ButtonRenamme, QStringLiteral("|Renommer le fichier"));
    connect(ButtonRenamme, &QPushButton::clicked, this, &QDialog::accept);

    ButtonIgnore = new QPushButton(QStringLiteral("&Ignorer"), this);
    ButtonIgnore->setObjectName(QStringLiteral("ButtonIgnore"));
    ButtonIgnore->setGeometry(390, 66, 78, 27);
    applyHint(ButtonIgnore, QStringLiteral("|Ne pas ajouter ce fichier"));
    connect(ButtonIgnore, &QPushButton::clicked, this, &QDialog::reject);

    connect(EditFile, &QLineEdit::textChanged, this, &TFormFileValide::EditFileChange);
    EditFileChange();
}

int TFormFileValide::nameLength(const QString& name) {
    return static_cast<int>(text::toStored(name.toStdString()).size());
}

void TFormFileValide::setFileName(const QString& name) {
    const bool same = EditFile->text() == name;
    EditFile->setText(name);
    if (same) EditFileChange();
}

QString TFormFileValide::fileName() const {
    return EditFile->text();
}

void TFormFileValide::EditFileChange() {
    const QString name = EditFile->text();
    const int characters = static_cast<int>(text::utf8Length(name.toStdString()));
    const int stored = nameLength(name);
    // A name outside Windows-1252 takes more bytes than characters in the
    // archive's 100-byte field: the label says both then.
    LabelName->setText(
        stored == characters
            ? QStringLiteral("Nom du fichier  ( %1 caractères )").arg(characters)
            : QStringLiteral("Nom du fichier  ( %1 caractères, %2 octets une fois archivé )")
                  .arg(characters)
                  .arg(stored));
    ButtonRenamme->setEnabled(stored <= MaxNameLength);
}

QString TFormFileValide::askName(QWidget* parent, const QString& name) {
    TFormFileValide dialog(parent);
    dialog.setFileName(name);
    if (DialogRunner::exec(dialog) != QDialog::Accepted) return {};
    const QString typed = dialog.fileName();
    return typed.trimmed().isEmpty() ? QString() : typed;
}

void TFormFileValide::showEvent(QShowEvent* event) {
    centreOnScreen(*this);
    QDialog::showEvent(event);
}

}  // namespace kv
