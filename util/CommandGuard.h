#pragma once
// What a command boundary says about an exception that ended a command. The
// windows (gui/CommandGuard.h) and the command-line programs (runProgram
// below) both turn whatever a command let out into the same French text, so
// that no exception, ours or the library's, ends a program uncaught.

#include <functional>
#include <string>

namespace kv {

// The French text of the exception being handled; call it inside a catch
// block. kv::Error: its own message. Out of memory: "Mémoire insuffisante.".
// A file-system error: "Erreur du système de fichiers : " and what the
// library says. Any other std::exception: "Erreur inattendue : " and its
// text; anything else: "Erreur inattendue".
std::string currentExceptionMessage();

// Runs the body of a command-line program and returns its exit status. When
// the body throws, the message goes to say (standard error in the tools) and
// the program ends with failureStatus, the status the program documents for a
// failed run.
int runProgram(const std::function<int()>& body, const std::function<void(const std::string&)>& say,
               int failureStatus);

}  // namespace kv
