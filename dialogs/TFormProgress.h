#pragma once
// TFormProgress: the modal frame of the archiving, restore, verify and test runs.
//
// The main window prepares it (prepare()), hands it the function that runs the
// operation of a mode, and shows it modally. The start button (ButtonDemarre)
// clears CancelRequested and calls the run of the prepared mode: archiving,
// restore (of the files chosen, or of the missing ones), verify against the
// disk or test of the archive alone. While the run is in progress the start
// button is disabled and the stop button stays live (the run lets events run
// between files). When the run returns, normally or with an error, the dialog
// closes itself (result Accepted); an error that escaped the run is then shown
// in an error box.
//
// The stop button (ButtonCancel), Escape and any attempt to close the window
// ask "Etes-vous sûr(e) de vouloir interrompre l'opération" (Yes / Cancel).
// Unless the answer is Cancel, CancelRequested is set; before the start the
// dialog closes at once (result Rejected) and nothing runs; during a run the
// run sees the flag at its next file and the dialog closes when it returns.
//
// The engine's progress calls reach it through setLabelText() and the bar
// setters; the main window's Ui reads cancelRequested() and checkRecupeFile().

#include <QDialog>
#include <functional>

#include "gui/ProgressView.h"
#include "util/Ui.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace kv {

class TFormProgress : public QDialog, public ProgressView {
    Q_OBJECT
  public:
    // The run the dialog frames.
    enum class Mode { Archive, Restore, RestoreMissing, Verify, Test };
    // Runs the operation of the given mode.
    using RunFunction = std::function<void(Mode mode)>;

    // Messages (the stop question, errors that escaped a run) go through ui.
    explicit TFormProgress(Ui& ui, QWidget* parent = nullptr);

    void setRunFunction(RunFunction run) { run_ = std::move(run); }

    Mode mode() const { return mode_; }

    // What the main window does before showing the dialog: the mode, the
    // caption ("Archivage des fichiers", "Restauration des fichiers",
    // "Restauration des fichiers manquants", "Vérification de l'archive",
    // "Test de l'archive"), the run's bar at 0 of overallMaximum, the file bar
    // at 0 of 100, the two labels, no figures, and CheckRecupeFile unticked
    // and visible for archiving, hidden otherwise.
    void prepare(Mode mode, int overallMaximum);

    // CancelRequested.
    bool cancelRequested() const override { return cancelRequested_; }
    void setCancelRequested(bool value) { cancelRequested_ = value; }
    // True while the start button's run is in progress.
    bool running() const { return running_; }
    // CheckRecupeFile ticked: leave out the rows whose files no longer exist.
    bool checkRecupeFile() const;

    // Progress from the runs.
    bool showing() const override { return isVisible(); }
    void setLabelText(ProgressLabel label, const QString& text) override;
    void setOverallRange(int maximum) override;
    void setOverall(int value) override;
    void setFilePercent(int percent) override;
    // LabelReste, right of "Opération en cours": files and bytes done of the
    // totals, the rate and the time left.
    void setAmountText(const QString& text) override;

    QLabel* labelFile() const { return labelFile_; }
    QLabel* labelReste() const { return labelReste_; }
    QLabel* labelPath() const { return labelPath_; }
    QProgressBar* progressBar() const { return progressBar_; }
    QProgressBar* progressBarFile() const { return progressBarFile_; }
    QCheckBox* checkRecupe() const { return checkRecupeFile_; }
    QPushButton* buttonDemarre() const { return buttonDemarre_; }
    QPushButton* buttonCancel() const { return buttonCancel_; }

  public slots:
    void ButtonDemarreClick();
    void ButtonCancelClick();
    // Escape and closing the window ask the stop question.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    Ui& ui_;
    RunFunction run_;
    Mode mode_ = Mode::Archive;
    bool cancelRequested_ = false;
    bool running_ = false;

    QLabel* labelFile_;
    QProgressBar* progressBarFile_;
    QLabel* labelPath_;
    QProgressBar* progressBar_;
    QLabel* labelReste_;
    QCheckBox* checkRecupeFile_;
    QPushButton* buttonDemarre_;
    QPushButton* buttonCancel_;
};

}  // namespace kv
