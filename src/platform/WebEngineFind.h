#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace quietpane {

// What one search in the page found: how many matches, and which of them (from 1) is now
// selected; 0 and 0 when there is none.
struct TFindResult {
    int matches = 0;
    int active = 0;
};

using TFindDone = std::function<void(const TFindResult& result)>;

// Searches the page shown in the browser's widget (a web engine view) for text, ignoring case:
// the same text again moves to the next match, or the previous one when backward. Empty text
// ends the search and clears its marks. done runs when the page has answered; with any other
// widget it runs at once with no match.
void FindInPage(QWidget& browserWidget, const QString& text, bool backward, const TFindDone& done);

} // namespace quietpane
