#pragma once
// Puts a window in the middle of the screen it is on (the primary screen when
// it is on none yet), as the program's notices and dialogs open.

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace kv {

inline void centreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    window.move(area.center() - QPoint(window.width() / 2, window.height() / 2));
}

}  // namespace kv
