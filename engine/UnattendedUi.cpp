#include "engine/UnattendedUi.h"

namespace kv {

Answer UnattendedUi::escapeAnswer(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::YesNo:
            return Answer::No;
        case Buttons::OkCancel:
        case Buttons::YesNoCancel:
        case Buttons::YesCancel:
        case Buttons::YesAllNoCancel:
            return Answer::Cancel;
    }
    return Answer::Cancel;
}

Answer UnattendedUi::message(MessageKind kind, const std::string& text, Buttons buttons) {
    messages_.push_back({kind, text});
    return escapeAnswer(buttons);
}

}  // namespace kv
