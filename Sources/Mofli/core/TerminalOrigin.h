#pragma once

#include <QString>
#include <optional>

// Where a Claude Code session runs: the terminal that a click on the bubble brings forward.
struct TerminalOrigin {
    std::optional<QString> program;
    std::optional<QString> session;
    std::optional<QString> tty;
    std::optional<QString> bundleId;

    bool operator==(const TerminalOrigin&) const = default;
};
