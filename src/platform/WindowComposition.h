#pragma once

namespace quietpane {

// Chooses, once and before the first web view is made, how windows holding a web view reach the
// screen. Where OpenGL is only emulated in software (llvmpipe, softpipe, swrast: Xvfb, remote
// and virtual desktops), they are painted directly: composing the whole window through emulated
// OpenGL at each change of any widget (a caret's blink, the elapsed-time counter) costs far more
// than painting the changed widget. With real graphics hardware, or when the user chose a Qt Quick
// backend, nothing changes.
void ChooseWindowComposition();

} // namespace quietpane
