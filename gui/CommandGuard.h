#pragma once
// The one command guard of the windows. Every handler a window connects to a
// button, a menu entry or a drop runs through it, so that no exception reaches
// Qt's event loop: whatever the command lets out is said once, with the French
// text of util/CommandGuard.h, and the window carries on.

#include <concepts>
#include <string>
#include <utility>

#include "util/CommandGuard.h"
#include "util/Ui.h"

namespace kv {

// Runs command; when it throws, report receives the message. True when the
// command ran to its end.
template <class Command, class Report>
requires std::invocable<Report&, const std::string&>
bool runGuarded(Command&& command, Report&& report) {
    try {
        std::forward<Command>(command)();
        return true;
    } catch (...) {
        report(currentExceptionMessage());
        return false;
    }
}

// The same, the message shown as the error box "Erreur" through ui.
template <class Command>
bool runGuarded(Ui& ui, Command&& command) {
    return runGuarded(std::forward<Command>(command),
                      [&ui](const std::string& text) { ui.message(MessageKind::Error, text); });
}

}  // namespace kv
