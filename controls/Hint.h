#pragma once
// Hints are written "short text|long text": the tooltip shows the short part,
// the status bar the long part. A hint that begins with "|" has no tooltip; a
// hint without a bar is both.

#include <QString>
#include <QWidget>

namespace kv {

inline QString hintShort(const QString& hint) {
    return hint.section(QLatin1Char('|'), 0, 0);
}

inline QString hintLong(const QString& hint) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.mid(bar + 1);
}

inline void applyHint(QWidget* widget, const QString& hint) {
    widget->setToolTip(hintShort(hint));
    widget->setStatusTip(hintLong(hint));
}

}  // namespace kv
