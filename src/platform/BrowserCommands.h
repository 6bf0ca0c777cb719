#pragma once

namespace quietpane {

// Command ids of the browser control's command interface (QueryStatusWB, ExecWB).
enum TBrowserCommand : int {
    CommandSaveAs = 4,
    CommandPrint = 6,
    CommandPrintPreview = 7,
    CommandProperties = 10,
};

// Execution options of ExecWB.
enum TBrowserCommandOption : int {
    OptionDoDefault = 0,
    OptionPromptUser = 1,
};

} // namespace quietpane
