#pragma once

#include <QString>
#include <chrono>
#include <functional>

class QObject;

// Runs a script through an interpreter that reads it from standard input (osascript on macOS)
// while the GUI thread goes on: a script may wait minutes for the user to answer the system's
// consent prompt, and the pet must not freeze meanwhile.
namespace ScriptProcess {

// Starts `program` with `script` on its standard input. `done` gets, on the GUI thread, whether
// it exited with status 0; any other end, one after `timeout` included, is logged as
// "[Mofli] TerminalActivator error: " with what the interpreter wrote to standard error. Owned by
// `context`: gone with it, and `done` with it.
void run(const QString& program, const QString& script, std::chrono::milliseconds timeout,
         QObject* context, std::function<void(bool)> done);

} // namespace ScriptProcess
