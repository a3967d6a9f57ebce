#include "gui/DialogRunner.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace kv {
namespace {
DialogRunner::Handler& installedHandler() {
    static DialogRunner::Handler handler;
    return handler;
}
}  // namespace

int DialogRunner::exec(QDialog& dialog) {
    if (auto& handler = installedHandler()) return handler(dialog);
    // The window that had the keyboard before the box gets it back afterwards:
    // without a window manager nobody else hands focus back, and the main
    // window's shortcuts (F4, F5...) would go nowhere until the next click.
    QPointer<QWidget> previous = QApplication::activeWindow();
    if (!previous && dialog.parentWidget()) previous = dialog.parentWidget()->window();
    const int result = dialog.exec();
    if (previous && previous != &dialog && previous->isVisible()) previous->activateWindow();
    return result;
}

void DialogRunner::setHandler(Handler handler) { installedHandler() = std::move(handler); }

}  // namespace kv
