#pragma once

#include "AvatarEngine.h"
#include "QtPrinting.h"
#include "VirtualScheduler.h"

#include <gtest/gtest.h>
#include <ostream>
#include <vector>

class EngineTest : public ::testing::Test {
protected:
    void deliver(const QString& state, const std::optional<QString>& message = std::nullopt,
                 const std::optional<QString>& label = std::nullopt,
                 const std::optional<QString>& recap = std::nullopt, bool thinking = false,
                 const std::optional<TerminalOrigin>& origin = std::nullopt) {
        engine.apply(state, message, label, recap, thinking, origin);
    }

    // Records the texts the bubble shows, in order, as the view would see them.
    void recordBubble() {
        engine.onChanged = [this] {
            const auto& bubble = engine.bubble();
            if (bubble.visible && (shown.empty() || shown.back() != bubble.text)) {
                shown.push_back(bubble.text);
            }
        };
    }

    VirtualScheduler clock;
    AvatarEngine engine{clock};
    std::vector<QString> shown;
};
