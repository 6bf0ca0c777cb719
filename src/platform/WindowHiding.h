#pragma once

class QWidget;

namespace quietpane {

// Gives the top-level window no task-bar button and no pager entry, from now on: the state
// is set again before every show, since window managers drop it when a window is unmapped.
void KeepOffTaskBar(QWidget& window);

// Turns minimising the top-level window into hiding it.
void HideWhenMinimised(QWidget& window);

// Makes the top-level window visible and brings it to the front.
void ShowInFront(QWidget& window);

} // namespace quietpane
