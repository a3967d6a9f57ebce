#pragma once
// TFormJournal: shows the journal of the automatic runs (Script\Journal_AutoSave.txt
// beside the program), lets the user edit or empty it, and writes it back on OK.

#include <QDialog>
#include <QStringList>
#include <string>

class QPlainTextEdit;
class QPushButton;

namespace kv {

class Ui;

class TFormJournal : public QDialog {
    Q_OBJECT
  public:
    // ui answers the "Vider le journal ?" question.
    explicit TFormJournal(Ui& ui, QWidget* parent = nullptr);

    // The journal file: program folder + "Script\Journal_AutoSave.txt".
    static std::string journalPath();

    // Loads the journal into the memo (empty when the file is missing or can't be read).
    void loadJournal();
    // Writes the memo's lines to the journal, each ending in CR LF (an empty
    // memo gives an empty file), through a new file beside it renamed over it.
    // Throws kv::Error when it can't be written; the journal is then as it was.
    void saveJournal();
    QStringList lines() const;

    // Opens the viewer modally through DialogRunner and saves on OK. Returns the
    // dialog's result; a failed save throws kv::Error to the caller's guard.
    static int showJournal(Ui& ui, QWidget* parent = nullptr);

    QPlainTextEdit* MemoJournal;
    QPushButton* ButtonOk;
    QPushButton* ButtonCancel;
    QPushButton* ButtonClear;

  protected:
    // Centred on the screen.
    void showEvent(QShowEvent* event) override;

  private:
    void ButtonClearClick();
    Ui& ui_;
};

}  // namespace kv
