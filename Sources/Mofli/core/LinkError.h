#pragma once

#include <QString>

// Why linking Mofli into Claude Code, or unlinking it, did not work. The description is what the
// user reads in the alert, after a fixed sentence.
class LinkError {
public:
    enum class Kind {
        commandFailed,        // a `claude` command failed; detail is its trimmed output
        claudeNotFound,       // no `claude` tool anywhere
        bundledPluginMissing, // the app's resources hold no plugin folder
        fileError,            // copying the plugin failed; detail is the system's own text
        cliTooOld, // the installed Claude Code cannot run the hooks; detail is its version
    };

    static LinkError commandFailed(const QString& output);
    static LinkError claudeNotFound();
    static LinkError bundledPluginMissing();
    static LinkError fileError(const QString& description);
    static LinkError cliTooOld(const QString& version);

    Kind kind() const { return kind_; }
    const QString& detail() const { return detail_; }
    QString localizedDescription() const;

    bool operator==(const LinkError&) const = default;

private:
    LinkError(Kind kind, QString detail);

    Kind kind_;
    QString detail_;
};
