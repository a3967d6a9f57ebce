#include "engine/UnattendedUi.h"

namespace kv {

Answer UnattendedUi::message(MessageKind kind, const std::string& text, Buttons buttons) {
    messages_.push_back({kind, text});
    return escapeAnswer(buttons);
}

}  // namespace kv
