#pragma once

class QString;

// Runs AppleScript in-process, on the calling thread.
namespace AppleScript {

// Compiles and executes `source`, ignoring its result. False when it does not compile or reports
// an error while running; the error goes to the system log.
bool run(const QString& source);

} // namespace AppleScript
