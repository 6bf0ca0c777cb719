#pragma once

#include "platform/WebEngineFind.h"

#include <QFrame>

class QLabel;
class QLineEdit;

namespace quietpane {

// The small bar under the page that finds text in it: typing searches at once, Enter or "Next"
// goes to the next match, Shift+Enter or "Previous" to the one before; the bar tells which
// match is selected of how many, or "No match". Escape or its close button closes it.
class TFindBar final : public QFrame {
public:
    // Runs one search; the page answers through done.
    using TFinder = std::function<void(const QString& text, bool backward, const TFindDone& done)>;

    TFindBar(TFinder finder, QWidget* parent);

    // Shows the bar with its text selected and the keyboard focus in it.
    void Open();
    void FindNext() { Find(false); }
    void FindPrevious() { Find(true); }
    // Hides the bar and clears the page's marks.
    void Close();

    QString ResultText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Find(bool backward);
    void ClearMarks();
    void ShowResult(const TFindResult& result);

    TFinder finder_;
    QLineEdit* text_;
    QLabel* result_;
};

} // namespace quietpane
