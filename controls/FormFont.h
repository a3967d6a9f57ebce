#pragma once
// The font the program's forms are laid out for: Arial at 11 pixels (8
// points on a 96 dpi screen). Dialogs with fixed client sizes set it, so
// their texts fit whatever the desktop's default font is.

#include <QFont>

namespace kv {

inline QFont formFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    return font;
}

}  // namespace kv
