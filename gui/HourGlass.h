#pragma once
// HourGlass: the wait cursor for as long as the object lives, restored on every
// way out of the scope (errors included). restore() gives the normal cursor back
// earlier; it is idempotent.

#include <QApplication>
#include <QCursor>

namespace kv {

class HourGlass {
  public:
    HourGlass() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~HourGlass() { restore(); }
    void restore() {
        if (active_) QApplication::restoreOverrideCursor();
        active_ = false;
    }
    HourGlass(const HourGlass&) = delete;
    HourGlass& operator=(const HourGlass&) = delete;

  private:
    bool active_ = true;
};

}  // namespace kv
