#include "dialogs/TAPropos.h"

#include <QLabel>
#include <QPushButton>

#include "controls/FormFont.h"
#include "controls/Hint.h"
#include "controls/TVX_Line.h"
#include "gui/FormBitmap.h"
#include "util/Version.h"

namespace kv {

TAPropos::TAPropos(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("APropos"));
    setWindowTitle(QStringLiteral("A propos de ..."));
    setFont(formFont());
    setFixedSize(330, 150);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(TFormBitmap::aboutPicture());
    image->setGeometry(16, 20, 64, 64);

    auto* line = new TVX_Line(this);
    line->setObjectName(QStringLiteral("VX_Line1"));
    line->setBorderShape(TVX_Line::bsLeftLine);
    line->setGeometry(96, 12, 2, 126);

    auto* name = new QLabel(QStringLiteral("Korvelt"), this);
    name->setObjectName(QStringLiteral("LabelName"));
    QFont big(QStringLiteral("Times New Roman"));
    big.setPixelSize(32);
    big.setBold(true);
    big.setItalic(true);
    name->setFont(big);
    name->setGeometry(110, 12, 210, 40);

    auto* version = new QLabel(QStringLiteral("Version ") + QLatin1String(ProgramVersion), this);
    version->setObjectName(QStringLiteral("LabelVersion"));
    version->setGeometry(112, 56, 208, 18);

    // The line below the version is empty.
    auto* credit = new QLabel(QString(), this);
    credit->setObjectName(QStringLiteral("LabelCredit"));
    credit->setGeometry(112, 76, 208, 18);

    auto* ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setObjectName(QStringLiteral("ButtonOk"));
    ok->setDefault(true);
    applyHint(ok, QStringLiteral("|Fermer la fiche à propos..."));
    ok->setGeometry(236, 112, 80, 26);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace kv
