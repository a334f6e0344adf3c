#include "LinkController.h"

#include "MofliLinkManager.h"
#include "Settings.h"

#include <optional>

LinkController::LinkController(QObject* parent) : QObject(parent) {
    // Two copies or removals of the installed plugin folder must never overlap.
    thread_.setMaxThreadCount(1);
}

LinkController::~LinkController() {
    cancel();
    thread_.waitForDone();
}

void LinkController::cancel() {
    cancellation_.cancel();
    thread_.clear();
}

template <typename Work, typename Done> void LinkController::enqueue(Work work, Done done) {
    if (cancellation_.isCancelled()) {
        return;
    }
    thread_.start([this, work = std::move(work), done = std::move(done)]() mutable {
        auto result = work(cancellation_);
        // Queued calls to a destroyed controller are dropped by Qt.
        QMetaObject::invokeMethod(
            this,
            [this, done = std::move(done), result = std::move(result)]() mutable {
                if (!cancellation_.isCancelled()) {
                    done(result);
                }
            },
            Qt::QueuedConnection);
    });
}

void LinkController::emitReport(const LinkAlerts::Message& message) {
    emit report(message.text, message.detail);
}

void LinkController::startAtLaunch() {
    const bool firstLink = !Settings::didAttemptInitialLink();
    enum class Outcome { noTool, linked, failed, current };
    struct Result {
        Outcome outcome = Outcome::noTool;
        std::optional<LinkError> error;
    };
    enqueue(
        [firstLink](const Cancellation& cancel) -> Result {
            if (!MofliLinkManager::claudePath(cancel)) {
                return {};
            }
            if (firstLink && !MofliLinkManager::isLinked(cancel)) {
                std::optional<LinkError> error = MofliLinkManager::link(cancel);
                return {error ? Outcome::failed : Outcome::linked, std::move(error)};
            }
            return {Outcome::current, MofliLinkManager::refresh(cancel)};
        },
        [this](const Result& result) {
            // Without a tool the next launch tries again; otherwise the first link is settled.
            if (result.outcome == Outcome::noTool) {
                return;
            }
            Settings::setDidAttemptInitialLink(true);
            switch (result.outcome) {
            case Outcome::linked:
                emitReport({LinkAlerts::firstLinkText(), {}});
                break;
            case Outcome::failed:
                emitReport(LinkAlerts::firstLinkFailure(*result.error));
                break;
            case Outcome::current:
                if (result.error) {
                    emitReport(LinkAlerts::refreshFailure(*result.error));
                }
                break;
            case Outcome::noTool:
                break;
            }
        });
}

void LinkController::link() {
    enqueue([](const Cancellation& cancel) { return MofliLinkManager::link(cancel); },
            [this](const std::optional<LinkError>& error) {
                emitReport(LinkAlerts::linkResult(error));
            });
}

void LinkController::unlink() {
    enqueue([](const Cancellation& cancel) { return MofliLinkManager::unlink(cancel); },
            [this](const std::optional<LinkError>& error) {
                emitReport(LinkAlerts::unlinkResult(error));
            });
}
