#pragma once

#include "Cancellation.h"
#include "LinkAlerts.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

// Runs the Claude Code link off the GUI thread: one job at a time, in the order asked, each
// reporting what the user should read through `report` on the GUI thread. Quitting must never
// wait for `claude`: cancel() (and the destructor) kill the running command with everything it
// started and drop the rest, within a fraction of a second.
class LinkController : public QObject {
    Q_OBJECT

public:
    explicit LinkController(QObject* parent = nullptr);
    ~LinkController() override;

    // At launch. Until a first link has been settled (the "didAttemptInitialLink" setting), links
    // once a `claude` is found and says how that went; afterwards brings a linked plugin up to
    // date with this app and the installed Claude Code, quietly unless that fails.
    void startAtLaunch();
    // The menu commands; each reports its outcome.
    void link();
    void unlink();
    // Stops the running job and drops the queued ones, for good: nothing more is reported.
    void cancel();

signals:
    // `text` is short enough for an alert; `detail` holds the tool's whole answer when the text
    // had to leave some of it out, else it is empty.
    void report(const QString& text, const QString& detail);

private:
    // Runs `work` on the link thread; `done` gets its result on the GUI thread unless cancelled.
    template <typename Work, typename Done> void enqueue(Work work, Done done);
    void emitReport(const LinkAlerts::Message& message);

    Cancellation cancellation_;
    // Last: destroyed first, waiting only for a job that has already been told to stop.
    QThreadPool thread_;
};
