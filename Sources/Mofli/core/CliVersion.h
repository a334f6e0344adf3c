#pragma once

#include <QString>
#include <compare>
#include <optional>

// A release of the Claude Code CLI, as `claude --version` names it ("2.1.337 (Claude Code)").
struct CliVersion {
    int major = 0;
    int minor = 0;
    int patch = 0;

    // The version in `claude --version` output: the one before "(Claude Code)", else the first
    // "major.minor.patch" in `text`; nothing when there is none.
    static std::optional<CliVersion> parse(const QString& text);
    QString toString() const;

    constexpr auto operator<=>(const CliVersion&) const = default;
};
