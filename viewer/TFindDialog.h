#pragma once
// TFindDialog: the viewer's find dialog (FindDialog1), modeless like the
// common find dialog: the text to find, "Mot entier", "Respecter la casse",
// the direction (which the viewer's search does not use) and "Suivant",
// which raises findNext() each time it is pressed.

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kv {

class TFindDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TFindDialog(QWidget* parent = nullptr);

    QString findText() const;
    void setFindText(const QString& text);
    bool matchCase() const;
    bool wholeWord() const;
    void setMatchCase(bool on);
    void setWholeWord(bool on);
    QPushButton* nextButton() const { return next_; }

  signals:
    void findNext();

  private:
    QLineEdit* text_ = nullptr;
    QCheckBox* wholeWord_ = nullptr;
    QCheckBox* matchCase_ = nullptr;
    QRadioButton* down_ = nullptr;
    QPushButton* next_ = nullptr;
};

}  // namespace kv
