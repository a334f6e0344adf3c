#pragma once

#include "TerminalOrigin.h"

#include <QString>
#include <optional>

// The AppleScripts that bring a terminal tab or application to the front on macOS. Pure text, so
// that every platform tests them; the platform layer runs the result.
namespace TerminalActivator {

// The script for `origin`, by its lower-cased program name: iTerm2's, Terminal's, or one that
// activates the application by bundle id. None when the chosen script lacks what it needs; no
// other script is tried then.
std::optional<QString> scriptFor(const TerminalOrigin& origin);

// Finds the session by its id (what follows the last colon of TERM_SESSION_ID), else by tty.
std::optional<QString> itermScript(const TerminalOrigin& origin);
// Finds the tab by tty; Terminal's session id is not used.
std::optional<QString> terminalAppScript(const TerminalOrigin& origin);
// Activates the application by bundle id, without choosing a window or tab.
std::optional<QString> genericActivateScript(const TerminalOrigin& origin);

// An AppleScript string literal holding `text`. The text comes from a file any local process can
// write, so it must not be able to end the literal.
QString quoted(const QString& text);

} // namespace TerminalActivator
