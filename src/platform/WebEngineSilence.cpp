#include "platform/WebEngineSilence.h"

#include <QEvent>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace quietpane {

namespace {

class MutesWhileHidden final : public QObject {
public:
    explicit MutesWhileHidden(QWebEngineView& view) : QObject(&view), view_(view)
    {
        view.installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        // The view hears of its window's hiding and showing as its own; the page it shows now
        // (the view may have been given another one) is the one to mute.
        if (event->type() == QEvent::Hide || event->type() == QEvent::Show)
            view_.page()->setAudioMuted(event->type() == QEvent::Hide);
        return false;
    }

private:
    QWebEngineView& view_;
};

} // namespace

void SilenceWhileHidden(QWebEngineView& view)
{
    new MutesWhileHidden(view);
}

} // namespace quietpane
