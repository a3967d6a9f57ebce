#include "gui/DialogRunner.h"

#include <QApplication>
#include <QList>
#include <QPointer>
#include <QWidget>

namespace kv {
namespace {
DialogRunner::Handler& installedHandler() {
    static DialogRunner::Handler handler;
    return handler;
}

// A notice that stays on top of every window (the wait notice) steps aside
// while a modal window asks something, so it never hides the question; it
// comes back when the window closes.
class OnTopNoticesAside {
  public:
    explicit OnTopNoticesAside(const QDialog& dialog) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != &dialog && w->isVisible() && (w->windowFlags() & Qt::WindowStaysOnTopHint) &&
                !w->isModal()) {
                aside_.append(w);
                w->hide();
            }
    }
    ~OnTopNoticesAside() {
        for (const QPointer<QWidget>& w : aside_)
            if (w) w->show();
    }
    OnTopNoticesAside(const OnTopNoticesAside&) = delete;
    OnTopNoticesAside& operator=(const OnTopNoticesAside&) = delete;

  private:
    QList<QPointer<QWidget>> aside_;
};

}  // namespace

int DialogRunner::exec(QDialog& dialog) {
    const OnTopNoticesAside aside(dialog);
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

void DialogRunner::setHandler(Handler handler) {
    installedHandler() = std::move(handler);
}

}  // namespace kv
