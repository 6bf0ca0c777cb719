#include "platform/WebEngineFind.h"

#include <QWebEngineFindTextResult>
#include <QWebEngineView>

namespace quietpane {

void FindInPage(QWidget& browserWidget, const QString& text, bool backward, const TFindDone& done)
{
    auto* view = qobject_cast<QWebEngineView*>(&browserWidget);
    if (!view) {
        done(TFindResult{});
        return;
    }
    const QWebEnginePage::FindFlags flags =
        backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags();
    view->findText(text, flags, [done](const QWebEngineFindTextResult& result) {
        done(TFindResult{result.numberOfMatches(), result.activeMatch()});
    });
}

} // namespace quietpane
