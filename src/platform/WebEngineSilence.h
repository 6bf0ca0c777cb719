#pragma once

class QWebEngineView;

namespace quietpane {

// Mutes the view's page while the view is off the screen (its window hidden by the hide hotkey
// or a minimise) and unmutes it when it is shown again: a browser that vanished must not be
// heard. Nothing else of the page changes; it keeps playing.
void SilenceWhileHidden(QWebEngineView& view);

} // namespace quietpane
