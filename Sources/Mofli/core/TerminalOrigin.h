#pragma once

#include <QString>
#include <optional>

// Where a Claude Code session runs: the terminal that a click on the bubble brings forward.
struct TerminalOrigin {
    std::optional<QString> program;
    std::optional<QString> session;
    std::optional<QString> tty;
    std::optional<QString> bundleId;
    // The X11 window of the terminal (WINDOWID), when the terminal announced it: it saves looking
    // the window up by tty. Origins from older state files lack it; macOS does not use it. The
    // initializer lets origins be written with the first four fields alone.
    std::optional<QString> windowId = std::nullopt;

    bool operator==(const TerminalOrigin&) const = default;
};
