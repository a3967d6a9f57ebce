#pragma once
// Starting "Korvelt /AUTOSAVE" from the scheduler: the program folder's own
// Korvelt, with that folder as working folder, standard input from /dev/null,
// and the scheduler's environment (the desktop session, the drive map).

#include <sys/types.h>

#include <string>

#include "engine/AutoJournal.h"

namespace kv::vantrel {

// The host path of Korvelt in the program folder (a Windows path): "Korvelt",
// or "Korvelt.exe" where only that one is there; empty when neither is.
std::string korveltHostPath(const std::string& folder);

// Starts the automatic mode; the process id, or -1 when it could not be started.
pid_t startKorvelt(const std::string& folder);

// How a process ended, from its waitpid status.
RunEnd endOf(int waitStatus);

// Starts the automatic mode and waits for its end (NotStarted when it could
// not be started).
RunEnd runKorvelt(const std::string& folder);

}  // namespace kv::vantrel
