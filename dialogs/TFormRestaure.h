#pragma once
// TFormRestaure: asks which files to restore and where.
//
//   RadioSelect       0 every file, 1 the selected rows
//   CheckDir          back into the stored folders (wins over the tree option)
//   EditDir/SpeedBDir the destination folder, chosen only through the folder
//                     picker; it ends in a backslash
//   CheckArboresence  recreate the stored folder tree below the destination
//
// Created once and reused, so the last choices stay between restores; the
// main window sets the selection group before each showing (prepareSelection)
// and reads choices() after OK. The folder picker refuses the Work folder.

#include <QDialog>
#include <functional>
#include <string>

#include "engine/Restore.h"
#include "util/Ui.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace kv {

class TFormRestaure : public QDialog {
    Q_OBJECT
  public:
    // Messages (the Work folder clash, missing help) go through ui.
    explicit TFormRestaure(Ui& ui, QWidget* parent = nullptr);

    // Where the picker reads the current Work folder (the main window's
    // WorkFolder) at each choice.
    void setWorkFolderSource(std::function<std::string()> source) {
        workFolder_ = std::move(source);
    }
    // Whether the help pages exist (the main window's HelpAvailable).
    void setHelpAvailable(bool available) { helpAvailable_ = available; }

    // Before each showing: with no row selected, "Tous les fichiers" chosen and
    // the group disabled; with a selection, the second item chosen and the
    // group enabled.
    void prepareSelection(bool anyRowSelected);

    // What RadioSelect chooses: "Tous les fichiers" or the selected rows.
    RestoreSelection selection() const;
    void setSelection(RestoreSelection selection);

    // The four values for the restore run.
    RestoreChoices choices() const;
    // OK may not start a restore: the stored folders are not wanted and no
    // destination was chosen.
    bool destinationMissing() const;

    QGroupBox* radioSelect() const { return radioSelect_; }
    QCheckBox* checkDir() const { return checkDir_; }
    QLineEdit* editDir() const { return editDir_; }
    QToolButton* speedBDir() const { return speedBDir_; }
    QCheckBox* checkArboresence() const { return checkArboresence_; }

  public slots:
    void CheckDirClick();
    void SpeedBDirClick();
    // Where the folder picker opens: the desktop folder, or the home folder
    // when there is no desktop folder (empty when neither is on a drive).
    static QString pickerStart();
    void ButtonHelpClick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    Ui& ui_;
    std::function<std::string()> workFolder_;
    bool helpAvailable_ = false;

    QGroupBox* radioSelect_;
    QRadioButton* radioAll_;
    QRadioButton* radioSelected_;
    QCheckBox* checkDir_;
    QLineEdit* editDir_;
    QToolButton* speedBDir_;
    QCheckBox* checkArboresence_;
};

}  // namespace kv
