#pragma once
// Every modal window of the program (dialogs, message boxes, the about box) is
// run through the installed DialogRunner, so tests can answer them with no human:
// a test installs a runner that inspects or fills the dialog and returns a result.

#include <QDialog>
#include <functional>

namespace kv {

class DialogRunner {
  public:
    // Runs the dialog modally and returns its result (QDialog::Accepted / Rejected
    // or the custom code the dialog ends with). Windows that stay on top of
    // the others (the wait notice) are hidden while it runs and shown again
    // after, so no notice hides the dialog's question.
    using Handler = std::function<int(QDialog& dialog)>;

    static int exec(QDialog& dialog);
    // Installs a handler (tests); an empty handler restores QDialog::exec.
    static void setHandler(Handler handler);
};

}  // namespace kv
