#pragma once
// TFormDellSelect: lists the selection scripts of the Script folder (the program
// folder itself when there is none), shows the content of the one in focus, and
// deletes the chosen ones after a question.

#include <QDialog>
#include <string>

class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace kv {

class Ui;

class TFormDellSelect : public QDialog {
    Q_OBJECT
  public:
    // Lists the scripts at once. ui answers the deletion question.
    explicit TFormDellSelect(Ui& ui, QWidget* parent = nullptr);

    // Program folder + "Script\" when that folder exists, else the program folder.
    static std::string scriptFolder();
    const std::string& folder() const { return folder_; }

    // The focus refresh: "Supprimer" enabled exactly when a row is selected; the
    // script of the row in focus shown when it exists.
    void refreshFocus();
    void ButtonDellClick();

    // Creates the dialog, runs it modally through DialogRunner and frees it.
    static int showScripts(Ui& ui, QWidget* parent = nullptr);

    QListWidget* ListFile;
    QPlainTextEdit* MemoFile;
    QPushButton* ButtonDell;
    QPushButton* Button1;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void selectFirst();
    Ui& ui_;
    std::string folder_;
};

}  // namespace kv
