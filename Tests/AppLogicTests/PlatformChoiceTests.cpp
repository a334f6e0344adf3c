#include "PlatformChoice.h"

#include <gtest/gtest.h>

namespace {

PlatformChoice::Choice choiceFor(std::initializer_list<std::pair<const char*, const char*>> set) {
    QProcessEnvironment environment;
    for (const auto& [name, value] : set) {
        environment.insert(QString::fromLatin1(name), QString::fromLatin1(value));
    }
    return PlatformChoice::choose(environment);
}

} // namespace

TEST(PlatformChoiceTest, WaylandSessionsUseXWaylandWhenTheyHaveIt) {
    const auto xwayland = choiceFor(
        {{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}});
    EXPECT_EQ(xwayland.platform, QStringLiteral("xcb"));
    EXPECT_FALSE(xwayland.placementLimited);
    // Some sessions only announce the Wayland socket.
    EXPECT_EQ(choiceFor({{"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":1"}}).platform,
              QStringLiteral("xcb"));

    const auto waylandOnly = choiceFor({{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ""}});
    EXPECT_EQ(waylandOnly.platform, std::nullopt);
    EXPECT_TRUE(waylandOnly.placementLimited);
}

TEST(PlatformChoiceTest, X11SessionsAndExplicitChoicesAreLeftAlone) {
    for (const auto& choice :
         {choiceFor({{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":0"}}), choiceFor({}),
          choiceFor({{"WAYLAND_DISPLAY", "wayland-0"},
                     {"DISPLAY", ":0"},
                     {"QT_QPA_PLATFORM", "wayland"}}),
          choiceFor({{"XDG_SESSION_TYPE", "wayland"}, {"QT_QPA_PLATFORM", "offscreen"}})}) {
        EXPECT_EQ(choice.platform, std::nullopt);
        EXPECT_FALSE(choice.placementLimited);
    }
}
