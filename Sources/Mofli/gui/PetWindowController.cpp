#include "PetWindowController.h"

#include "AvatarState.h"
#include "AvatarView.h"
#include "AvatarWindow.h"
#include "IdleMonitor.h"
#include "Pet.h"
#include "PetTexts.h"
#include "Platform.h"
#include "SessionTracker.h"
#include "TopmostPreferences.h"

PetWindowController::PetWindowController(Platform& platform, Scheduler& scheduler, QObject* parent)
    : QObject(parent), platform_(platform), scheduler_(scheduler),
      window_(std::make_unique<AvatarWindow>(platform, scheduler)) {
    AvatarView* view = window_->avatarView();
    connect(view, &AvatarView::contextMenuRequested, this,
            &PetWindowController::contextMenuRequested);
    connect(view, &AvatarView::terminalActivationRequested, this,
            &PetWindowController::activateTerminal);
    view->setTerminalActivationCheck(
        [this](const TerminalOrigin& origin) { return platform_.canActivateTerminal(origin); });
}

PetWindowController::~PetWindowController() = default;

void PetWindowController::show() {
    window_->show();
    window_->activateWindow();
}

void PetWindowController::startWatching() {
    tracker_ = std::make_unique<SessionTracker>(
        scheduler_,
        SessionTracker::Options{[this](const QString& path, FileEventSource::Handler onEvent) {
                                    return platform_.watchFile(path, std::move(onEvent));
                                },
                                std::chrono::milliseconds(1000),
                                {}});
    connect(tracker_.get(), &SessionTracker::sessionsChanged, this,
            &PetWindowController::showSessions);
    connect(tracker_.get(), &SessionTracker::shownStateChanged, this, &PetWindowController::apply);
    connect(tracker_.get(), &SessionTracker::lastRecapChanged, this,
            [this](const QString& recap) { window_->avatarView()->engine().setLastRecap(recap); });
    tracker_->start();
    idleMonitor_ = std::make_unique<IdleMonitor>(
        scheduler_,
        [this](IdleMonitor::IdleReply reply) {
            platform_.secondsSinceLastInput(this, std::move(reply));
        },
        [this] { window_->replayRecap(); });
    idleMonitor_->start();
}

void PetWindowController::apply(const AvatarState& state) {
    shown_ = state;
    shownLabel_ = PetTexts::bubbleLabel(state.label, shownProject());
    // While sessions are followed, the greeting's recap is that of the session that finished
    // last, which need not be the one shown.
    const std::optional<QString> recap = tracker_ ? std::nullopt : state.recap;
    window_->avatarView()->apply(state.state, state.message, shownLabel_, recap, state.isThinking(),
                                 state.terminalOrigin());
}

QList<SessionRecord> PetWindowController::sessions() const {
    return tracker_ ? tracker_->sessions() : QList<SessionRecord>();
}

void PetWindowController::showSessions(const QList<SessionRecord>& sessions) {
    window_->avatarView()->setSessionCount(int(sessions.size()));
    // A second session starting or the last but one ending changes the label of the state shown;
    // a change of the shown session comes as a state of its own.
    const bool sameSession = sessions.isEmpty() || sessions.front().state == shown_;
    if (sameSession && PetTexts::bubbleLabel(shown_.label, shownProject()) != shownLabel_) {
        apply(shown_);
    }
}

QString PetWindowController::shownProject() const {
    const QList<SessionRecord> live = sessions();
    return live.size() >= 2 ? live.front().project() : QString();
}

void PetWindowController::showPet(const Pet& pet) {
    window_->loadPet(pet);
}

void PetWindowController::toggleAlwaysOnTop() {
    const bool onTop = !window_->isAlwaysOnTop();
    TopmostPreferences::setEnabled(onTop);
    window_->setAlwaysOnTop(onTop);
}

void PetWindowController::recenter() {
    window_->moveHome();
}

void PetWindowController::jump() {
    window_->avatarView()->playJump();
}

void PetWindowController::wave() {
    window_->avatarView()->playWave();
}

void PetWindowController::activateTerminal(const TerminalOrigin& origin) {
    platform_.activateTerminal(origin, this, [this](bool activated) {
        if (!activated) {
            jump();
        }
    });
}
