#pragma once
// TAPropos: the about box. A white dialog with the program's picture on the
// left, a vertical line beside the text, the program's name, its version, and
// the "&Ok" button that closes it. Created, shown modally and freed by the
// command that shows it.

#include <QDialog>

namespace kv {

class TAPropos : public QDialog {
    Q_OBJECT
  public:
    explicit TAPropos(QWidget* parent = nullptr);
};

}  // namespace kv
