#pragma once

#include "CliVersion.h"

#include <QByteArray>
#include <QString>

// The hooks the deployed plugin registers, written for the Claude Code release that will load
// them: each release accepts only the events it knows and refuses the whole plugin for one more.
namespace PluginHooks {

// The oldest release that runs the plugin's hooks and says whether the plugin loaded. Before
// 2.1.8 there is no `claude plugin list`; up to 2.1.20 a plugin that fails to load is listed as
// if it worked, so the app could not tell a dead pet from a linked one.
inline constexpr CliVersion oldestSupported{2, 1, 21};
// From here on the hook runs in exec form, program and arguments without a shell. Before it the
// command is a shell line with the quoted program: 2.1.100, for one, ignores "args".
inline constexpr CliVersion execFormSince{2, 1, 257};

struct Event {
    const char* name;
    // Tool events take the matcher "*": every tool.
    bool takesMatcher = false;
    // The oldest release that accepts the event.
    CliVersion since = oldestSupported;
};

// Only the events the hook handles: a run for any other would reset the pet to idle and wipe its
// bubble. The event name is the hook's first argument; the payload comes on standard input.
inline constexpr Event events[] = {
    {"UserPromptSubmit"},
    {"PreToolUse", true},
    {"PostToolUse", true},
    {"PostToolUseFailure", true},
    {"Notification"},
    {"PermissionRequest", true},
    {"Stop"},
    {"SubagentStop"},
    {"SessionStart"},
    {"SessionEnd"},
    {"PreCompact"},
    {"PostCompact", false, {2, 1, 76}},
    // An API failure ends a turn without a Stop.
    {"StopFailure", false, {2, 1, 78}},
    // Auto mode refused a tool call.
    {"PermissionDenied", true, {2, 1, 88}},
    // Esc ends a turn without a Stop.
    {"Interrupt", false, {2, 1, 257}},
};

// The hook program inside the plugin folder. Not in bin/: Claude Code puts a plugin's bin/ on
// the PATH of every shell command it runs.
inline constexpr char hookProgram[] = "hook/MofliHook";
inline constexpr char hooksFile[] = "hooks/hooks.json";

// The contents of hooks/hooks.json for `version`.
QByteArray hooksJson(const CliVersion& version);

} // namespace PluginHooks
