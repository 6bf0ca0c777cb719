#pragma once

#include <QString>

class QWidget;

namespace quietpane {

class TBrowserControl;

// Runs one of the page's commands under the hourglass. A command the page doesn't offer shows
// "Command not supported.", one that fails "Not able to execute command." (both error boxes).
void ExecuteBrowserCommand(TBrowserControl& browser, int command, int option);

// The page's properties, prompting the user; any failure passes without a word.
void ShowPageProperties(TBrowserControl& browser);

// Captures the whole screen now, then asks where to write it (proposing ScreenDump.bmp in the
// screen folder) and writes it as a bitmap; a cancelled dialog writes nothing.
void SaveScreenToFile(QWidget* parent, const QString& screenFolder);

} // namespace quietpane
