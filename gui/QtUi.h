#pragma once
// QtUi: the engine's Ui answered with the program's windows. Messages are
// modal boxes with the French titles and buttons, run through DialogRunner;
// progress goes to the progress dialog while it shows; pump lets the Qt event
// queue run; the cancel flag is the progress dialog's, the keep-going flag the
// main window's.
//
// Message boxes run through DialogRunner end with a QMessageBox::StandardButton
// (Ok, Cancel, Yes, No, YesToAll); any other result counts as the box's
// Escape answer.

#include <QElapsedTimer>
#include <QPointer>
#include <functional>
#include <optional>
#include <vector>

#include "gui/ProgressView.h"
#include "util/ProgressMeter.h"
#include "util/Ui.h"

class QWidget;
class QMessageBox;

namespace kv {

class QtUi : public Ui {
  public:
    explicit QtUi(QWidget* owner = nullptr);

    // The progress dialog that shows the labels and bars while it is visible,
    // and whose stop button raises the cancel flag.
    void setProgressDialog(ProgressView* dialog) { progress_ = dialog; }
    // Where keepGoing() reads the main window's flag.
    void setKeepGoing(std::function<bool()> keepGoing) { keepGoing_ = std::move(keepGoing); }
    // The rows the next run visits, with their sizes in its order (setOverall(i):
    // row i is under way): the progress dialog and the status hook are told
    // files and bytes done of the totals and the time left. endRun() stops it.
    void startRun(const std::vector<int64_t>& rowBytes);
    void endRun();
    // Where the run's figures go besides the progress dialog (the main
    // window's status bar); called with an empty text when the run ends.
    void setAmountHook(std::function<void(const QString&)> hook) { amountHook_ = std::move(hook); }
    void setSeparators(const LocaleSeparators& separators) { separators_ = separators; }
    // Runs first in every pump that lets events run (the main window brings its
    // list up to date there while an operation fills the catalog).
    void setBeforeEvents(std::function<void()> hook) { beforeEvents_ = std::move(hook); }

    Answer message(MessageKind kind, const std::string& text,
                   Buttons buttons = Buttons::Ok) override;
    // The same box with defaultAnswer on the default button (the one Enter
    // presses) instead of the first: for a question whose first answer
    // destroys something.
    Answer message(MessageKind kind, const std::string& text, Buttons buttons,
                   Answer defaultAnswer);
    void setLabel(ProgressLabel label, const std::string& text) override;
    void setOverallRange(int maximum) override;
    void setOverall(int value) override;
    void setFilePercent(int percent) override;
    // Lets events run, at most once every few milliseconds: an operation that
    // pumps after every one of 100,000 rows stays fast and the window still
    // repaints and sees Escape and the stop button in time.
    void pump() override;
    // Lets events run now.
    void pumpNow();
    bool cancelRequested() override;
    bool keepGoing() override;

    // The box message() shows, built but not run (the box's texts, buttons,
    // icon and Escape answer); tests and callers that need the box itself use it.
    // The default button is the first answer's (No for YesAllNoCancel) unless
    // defaultAnswer names another of the box's answers.
    static QMessageBox* buildBox(QWidget* parent, MessageKind kind, const std::string& text,
                                 Buttons buttons,
                                 std::optional<Answer> defaultAnswer = std::nullopt);
    // The answer of a box that ended with this result code.
    static Answer answerOf(int result, Buttons buttons);

    static constexpr int PumpIntervalMs = 30;

  private:
    bool progressShowing() const;
    // Shows the run's figures, at most every few hundred milliseconds.
    void showAmounts(bool now);

    QPointer<QWidget> owner_;
    ProgressView* progress_ = nullptr;
    std::function<bool()> keepGoing_;
    std::function<void()> beforeEvents_;
    QElapsedTimer sincePump_;
    ProgressMeter meter_;
    LocaleSeparators separators_ = LocaleSeparators::french();
    std::function<void(const QString&)> amountHook_;
    QElapsedTimer sinceAmounts_;
};

}  // namespace kv
