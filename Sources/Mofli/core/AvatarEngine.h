#pragma once

#include "HatchState.h"
#include "TerminalOrigin.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class Scheduler;
class ScheduledTimer;

// The pet's behaviour without any drawing: which animation and frame to show, what the bubble
// says, the throttle between state changes, one-shot animations, thinking phrases, the recap and
// the walk while the pet is dragged. The view observes it through `onChanged` and renders.
class AvatarEngine {
public:
    struct Bubble {
        bool visible = false;
        QString text;                 // already compacted
        std::optional<QString> label; // compacted too; shown as a small line above the text

        bool operator==(const Bubble&) const = default;
    };

    explicit AvatarEngine(Scheduler& scheduler);
    ~AvatarEngine();

    AvatarEngine(const AvatarEngine&) = delete;
    AvatarEngine& operator=(const AvatarEngine&) = delete;

    // Called after anything visible changed (frame, bubble, placeholder).
    std::function<void()> onChanged;

    // A delivered state. Changes of animation are held back until 0.4 s after the previous
    // change; of the states arriving meanwhile only the last one is shown.
    void apply(const QString& stateString, const std::optional<QString>& message,
               const std::optional<QString>& label, const std::optional<QString>& recap,
               bool isThinking, const std::optional<TerminalOrigin>& origin);
    void playJump();
    void playWave();

    // A sprite sheet was set: the current animation restarts at its first frame.
    void sheetLoaded();
    // Drops the sheet: no frame, the placeholder shows; state and bubble stay.
    void unloadPet();
    // Shows the last recap with the label "おつかれ" for 30 s, only while idle and not walking.
    void replayRecap();
    // The recap a replay shows, when another source than the delivered states knows it better
    // (which of several sessions finished last). Delivered recaps still replace it.
    void setLastRecap(const QString& recap);

    // Drag gesture: one sideways step of the pointer (dx in points). Starts the walk on the first
    // step of more than 0.5 points; the pet stands idle 0.12 s after the pointer rests.
    void walkStep(double dx);
    // Button released. Returns true when the press had turned into a walk: the state held back
    // during the walk is applied (or the state from before the walk returns) and no click action
    // should follow.
    bool endWalk();

    HatchState currentState() const;
    int currentFrameIndex() const;
    bool hasSheet() const;
    bool placeholderVisible() const;
    const Bubble& bubble() const;
    const std::optional<QString>& lastRecap() const;
    const std::optional<TerminalOrigin>& sourceOrigin() const;
    bool isWalking() const;

    static const QStringList& thinkingPhrases();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
