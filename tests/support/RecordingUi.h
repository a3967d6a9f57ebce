#pragma once
// kv::test::RecordingUi: the Ui that tests hand to engine operations.
//
// It records everything the operation shows, in order, and answers modal boxes
// from a script:
//   - messages: every message() call as (kind, text, buttons), in call order;
//   - answers: a queue of scripted answers, taken front first, one per box.
//     When the queue is empty a box gets its default answer:
//       Ok          -> Answer::Ok
//       OkCancel    -> Answer::Ok
//       YesNo       -> Answer::Yes
//       YesNoCancel -> Answer::Yes
//       YesCancel   -> Answer::Yes
//       YesAllNoCancel -> Answer::No (the box's default: a newer file is kept)
//     (the "go ahead" button, so a test that scripts nothing sees the plain path);
//   - labels: every setLabel() call as (label, text), in call order, so a test
//     can check a sequence such as "Fichier : a.txt", ..., "Terminé";
//   - overallRanges / overallValues / filePercents: every value set, in order;
//   - pumps: the number of pump() calls. onPump, when set, runs inside each
//     pump() after the count is incremented (e.g. to set cancel after N pumps);
//   - cancel / goOn: what cancelRequested() and keepGoing() return (false and
//     true by default); tests set them directly or from onPump;
//   - calls: every message, label, range, overall, percent and pump call as
//     one line of text, in the order they came (a whole run's trace, to compare
//     two runs).
//
// Nothing here throws or blocks.

#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "util/Ui.h"

namespace kv::test {

class RecordingUi : public kv::Ui {
  public:
    struct Message {
        MessageKind kind;
        std::string text;
        Buttons buttons;
    };

    // The answer a box with these buttons gets when the script is empty.
    static Answer defaultAnswer(Buttons buttons);

    // Appends answers to the script (they are used in order).
    void script(std::initializer_list<Answer> answers);

    Answer message(MessageKind kind, const std::string& text,
                   Buttons buttons = Buttons::Ok) override;
    void setLabel(ProgressLabel label, const std::string& text) override;
    void setOverallRange(int maximum) override;
    void setOverall(int value) override;
    void setFilePercent(int percent) override;
    void pump() override;
    bool cancelRequested() override { return cancel; }
    bool keepGoing() override { return goOn; }

    // The texts of the recorded messages, in order (a convenience for EXPECT_EQ).
    std::vector<std::string> messageTexts() const;
    // The texts set on one label, in order.
    std::vector<std::string> labelTexts(ProgressLabel label) const;
    // The last text set on a label, or empty when none was set.
    std::string lastLabel(ProgressLabel label) const;

    std::vector<Message> messages;
    std::deque<Answer> answers;
    std::vector<std::pair<ProgressLabel, std::string>> labels;
    std::vector<int> overallRanges;
    std::vector<int> overallValues;
    std::vector<int> filePercents;
    int pumps = 0;
    std::vector<std::string> calls;
    bool cancel = false;
    bool goOn = true;
    std::function<void()> onPump;
};

}  // namespace kv::test
