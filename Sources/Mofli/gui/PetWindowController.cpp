#include "PetWindowController.h"

#include "AvatarState.h"
#include "AvatarView.h"
#include "AvatarWindow.h"
#include "IdleMonitor.h"
#include "Pet.h"
#include "Platform.h"
#include "StateWatcher.h"
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
    watcher_ = std::make_unique<StateWatcher>(
        [this](const AvatarState& state) {
            // The watcher calls from its own threads; queued calls to a destroyed controller are
            // dropped by Qt.
            QMetaObject::invokeMethod(
                this, [this, state] { apply(state); }, Qt::QueuedConnection);
        },
        StateWatcher::Options{{},
                              [this](const QString& path, FileEventSource::Handler onEvent) {
                                  return platform_.watchFile(path, std::move(onEvent));
                              },
                              std::chrono::milliseconds(1000)});
    watcher_->start();
    idleMonitor_ = std::make_unique<IdleMonitor>(
        scheduler_,
        [this](IdleMonitor::IdleReply reply) {
            platform_.secondsSinceLastInput(this, std::move(reply));
        },
        [this] { window_->replayRecap(); });
    idleMonitor_->start();
}

void PetWindowController::apply(const AvatarState& state) {
    window_->avatarView()->apply(state.state, state.message, state.label, state.recap,
                                 state.isThinking(), state.terminalOrigin());
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
