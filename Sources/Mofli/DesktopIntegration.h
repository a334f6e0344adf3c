#pragma once

class QWidget;

// What the pet window needs from the desktop beyond Qt: one implementation per platform.
namespace DesktopIntegration {

// Whether translucent windows are blended with the desktop. Without a compositing manager the
// transparent parts of a window show black, so the window must be shaped to its visible pixels.
bool compositesTranslucentWindows();
// Keeps the window on every workspace and out of task bars and pagers. Call after the native
// window exists (after show()).
void showOnAllWorkspaces(QWidget* window);
// No Dock icon and no menu bar of the app's own: it lives in the tray and on the desktop.
void becomeAccessoryApplication();

} // namespace DesktopIntegration
