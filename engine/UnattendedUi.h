#pragma once
// UnattendedUi: the Ui of the automatic mode, where nobody is there to answer.
// Every box is recorded, never shown, and answered as Escape would answer it
// (Cancel when the box has it, else No, else Ok), so a question always takes
// the way that stops. Progress shows nothing, events are not pumped, nothing
// is cancelled and adding always goes on. The automatic mode turns what was
// recorded into journal lines and into its exit status.

#include <string>
#include <vector>

#include "util/Ui.h"

namespace kv {

class UnattendedUi : public Ui {
  public:
    struct Message {
        MessageKind kind;
        std::string text;
    };

    Answer message(MessageKind kind, const std::string& text,
                   Buttons buttons = Buttons::Ok) override;
    void setLabel(ProgressLabel, const std::string&) override {}
    void setOverallRange(int) override {}
    void setOverall(int) override {}
    void setFilePercent(int) override {}
    void pump() override {}
    bool cancelRequested() override { return false; }
    bool keepGoing() override { return true; }

    // Every box asked for, in order.
    const std::vector<Message>& messages() const { return messages_; }

  private:
    std::vector<Message> messages_;
};

}  // namespace kv
