#pragma once
// The engine's one way to reach the user. The GUI answers it with real windows,
// kvr with the terminal, tests with a recorder that answers from a script.
// Engine code never includes Qt; everything it shows goes through here.

#include <string>
#include <vector>

namespace kv {

// The four kinds of modal box, each with its French title, plus the plain
// notice that carries the program's title.
enum class MessageKind { Warning, Error, Information, Confirmation, Notice };

// YesAllNoCancel: Oui, Oui pour tous, Non (the default button) and Annuler,
// for a question whose Yes destroys something and may come again.
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, YesCancel, YesAllNoCancel };

enum class Answer { Ok, Cancel, Yes, No, YesToAll };

// "Avertissement", "Erreur", "Information", "Confirmation", "Korvelt".
const char* messageTitle(MessageKind kind);

// "OK", "Annuler", "&Oui", "&Non", "Oui pour &tous".
const char* answerCaption(Answer answer);

// The answers a box with these buttons offers, in the order they show.
std::vector<Answer> answersOf(Buttons buttons);

// The answer of Esc or of closing the box: Cancel when the box has it, else
// No, else Ok. A box nobody can see (the automatic mode) answers so too.
Answer escapeAnswer(Buttons buttons);

// The labels of the progress frame (the progress dialog's LabelFile and LabelPath).
enum class ProgressLabel { File, Path };

class Ui {
  public:
    virtual ~Ui() = default;

    // Shows a modal box and returns the button pressed. Esc or closing the box
    // answers Cancel when the box has a Cancel button, else No, else Ok.
    virtual Answer message(MessageKind kind, const std::string& text,
                           Buttons buttons = Buttons::Ok) = 0;

    // Progress frame. Calls are cheap no-ops where nothing shows progress.
    virtual void setLabel(ProgressLabel label, const std::string& text) = 0;
    virtual void setOverallRange(int maximum) = 0;  // the run's bar (ProgressBar)
    virtual void setOverall(int value) = 0;
    virtual void setFilePercent(int percent) = 0;  // the per-file bar (ProgressBarFile)

    // Lets pending window events run once (repaint, the stop button, Escape).
    virtual void pump() = 0;

    // CancelRequested: set by the progress dialog's stop button, polled by the
    // archiving and restore runs at the start of each row.
    virtual bool cancelRequested() = 0;

    // KeepGoing: cleared by Escape in the main window, polled by the add operations.
    virtual bool keepGoing() = 0;
};

}  // namespace kv
