#include "platform/MessageBoxes.h"

#include "platform/Dialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace quietpane {

namespace {

class QtMessageBoxes final : public TMessageBoxes {
public:
    void ShowMessage(const QString& text) override { Show(QMessageBox::NoIcon, text); }
    void Warning(const QString& text) override { Show(QMessageBox::Warning, text); }
    void Error(const QString& text) override { Show(QMessageBox::Critical, text); }
    void ApplicationError(const QString& text) override { Show(QMessageBox::Critical, text); }
    bool Confirm(const QString& text) override
    {
        return Show(QMessageBox::Question, text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    }

private:
    static int Show(QMessageBox::Icon icon, const QString& text,
                    QMessageBox::StandardButtons buttons = QMessageBox::Ok)
    {
        QWidget* owner = QApplication::activeWindow();
        QMessageBox box(icon, QApplication::applicationDisplayName(), text, buttons, owner);
        TFocusReturn focus(owner);
        return box.exec();
    }
};

TMessageBoxes* replacementBoxes = nullptr;

} // namespace

TMessageBoxes& MessageBoxes()
{
    static QtMessageBoxes qtBoxes;
    return replacementBoxes ? *replacementBoxes : qtBoxes;
}

void SetMessageBoxes(TMessageBoxes* replacement)
{
    replacementBoxes = replacement;
}

} // namespace quietpane
