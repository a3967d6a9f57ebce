#include "tests/support/RecordingUi.h"

namespace kv::test {

Answer RecordingUi::defaultAnswer(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
        case Buttons::OkCancel:
            return Answer::Ok;
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
        case Buttons::YesCancel:
            return Answer::Yes;
        case Buttons::YesAllNoCancel:
            return Answer::No;  // the box's own default: what would be lost is kept
    }
    return Answer::Ok;
}

void RecordingUi::script(std::initializer_list<Answer> list) {
    answers.insert(answers.end(), list.begin(), list.end());
}

Answer RecordingUi::message(MessageKind kind, const std::string& text, Buttons buttons) {
    messages.push_back({kind, text, buttons});
    calls.push_back("message " + std::to_string(int(kind)) + " " + std::to_string(int(buttons)) +
                    " " + text);
    if (answers.empty()) return defaultAnswer(buttons);
    Answer a = answers.front();
    answers.pop_front();
    return a;
}

void RecordingUi::setLabel(ProgressLabel label, const std::string& text) {
    labels.emplace_back(label, text);
    calls.push_back("label " + std::to_string(int(label)) + " " + text);
}

void RecordingUi::setOverallRange(int maximum) {
    overallRanges.push_back(maximum);
    calls.push_back("range " + std::to_string(maximum));
}
void RecordingUi::setOverall(int value) {
    overallValues.push_back(value);
    calls.push_back("overall " + std::to_string(value));
}
void RecordingUi::setFilePercent(int percent) {
    filePercents.push_back(percent);
    calls.push_back("percent " + std::to_string(percent));
}

void RecordingUi::pump() {
    ++pumps;
    calls.push_back("pump");
    if (onPump) onPump();
}

std::vector<std::string> RecordingUi::messageTexts() const {
    std::vector<std::string> out;
    for (const auto& m : messages) out.push_back(m.text);
    return out;
}

std::vector<std::string> RecordingUi::labelTexts(ProgressLabel label) const {
    std::vector<std::string> out;
    for (const auto& [l, t] : labels)
        if (l == label) out.push_back(t);
    return out;
}

std::string RecordingUi::lastLabel(ProgressLabel label) const {
    for (auto it = labels.rbegin(); it != labels.rend(); ++it)
        if (it->first == label) return it->second;
    return {};
}

}  // namespace kv::test
