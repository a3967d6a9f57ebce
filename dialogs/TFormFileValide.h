#pragma once
// TFormFileValide: asks for a shorter name for a file whose name is too long to
// be stored (more than 100 characters), or lets the user skip the file. The
// label above the box counts the characters of the name as it is typed (and
// the bytes it takes in the archive when they are more), and "Renommer" is
// enabled only while the name fits.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kv {

class TFormFileValide : public QDialog {
    Q_OBJECT
  public:
    explicit TFormFileValide(QWidget* parent = nullptr);

    // Puts a file name (without folder) in the box; the counter follows.
    void setFileName(const QString& name);
    QString fileName() const;

    // The length the rename rule checks: the name's stored size, so a name
    // the dialog accepts is one the archive can hold.
    static int nameLength(const QString& name);
    static constexpr int MaxNameLength = 100;

    // Runs the dialog on a file name through DialogRunner. The name typed when
    // the user chose "Renommer" and it is not blank, else an empty string.
    static QString askName(QWidget* parent, const QString& name);

    QLabel* LabelName;
    QLineEdit* EditFile;
    QLabel* Label2;
    QPushButton* ButtonRenamme;
    QPushButton* ButtonIgnore;

  protected:
    // Centred on the screen.
    void showEvent(QShowEvent* event) override;

  private:
    void EditFileChange();
};

}  // namespace kv
