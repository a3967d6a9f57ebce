#include "gui/ProgramIcon.h"

#include <QApplication>

// The resource lives in a static library: it is registered on first use.
static void registerIconResource() {
    Q_INIT_RESOURCE(ProgramIcon);
}

namespace kv {

QIcon programIcon() {
    static const bool registered = (registerIconResource(), true);
    (void)registered;
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/korvelt/korvelt-%1.png").arg(size), QSize(size, size));
    return icon;
}

void installProgramIcon() {
    QApplication::setWindowIcon(programIcon());
}

}  // namespace kv
