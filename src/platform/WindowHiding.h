#pragma once

#include <functional>

class QWidget;

namespace quietpane {

// Gives the top-level window no task-bar button and no pager entry, from now on: the state
// is set again before every show, since window managers drop it when a window is unmapped.
void KeepOffTaskBar(QWidget& window);

// Turns minimising the top-level window into hiding it. The window keeps its minimised state
// while hidden and leaves it when it is shown again, so it comes back in its previous size.
// Given hide does the hiding and may refuse (returns false): the window then comes back at once,
// since a window that skips the task bar would have no way back from the minimised state.
void HideWhenMinimised(QWidget& window, std::function<bool()> hide = {});

// Makes the top-level window visible (also when hidden after a minimise) and brings it to the
// front. Use it rather than showNormal(), which would map the window before its task-bar
// state is set. A window hidden after it was shown is mapped before anything else happens, so
// that it is on the screen as soon as a plain window would be; its widgets' show events (and
// whatever they do, such as unmuting a page or focusing a box) follow.
void ShowInFront(QWidget& window);

// Asks the window manager to activate the shown top-level window, right after a user's action
// such as closing a dialog. The request waits its turn behind the window manager's own answer
// to that action: Qt's activateWindow() may set the focus directly instead (when it still
// believes its focus is in that window), and the window manager's choice of a window to focus
// next then comes later and wins.
void ActivateAfterUserAction(QWidget& window);

// Takes a shown top-level window off the screen and puts it back behind Qt's back: a modal
// dialog hidden through Qt would end, and its caller would take that for the user's answer.
// Qt keeps the window for visible meanwhile; the window manager forgets it until it returns.
void WithdrawFromScreen(QWidget& window);
void ReturnToScreen(QWidget& window);

} // namespace quietpane
