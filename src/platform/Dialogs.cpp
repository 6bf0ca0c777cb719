#include "platform/Dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace quietpane {

namespace {

class QtDialogs final : public TDialogs {
public:
    QString SaveFileName(QWidget* parent, const QString& proposedName, const QString& filter,
                         bool confirmOverwrite) override
    {
        QFileDialog dialog(parent, QString(), QString(), filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !confirmOverwrite);
        dialog.selectFile(proposedName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }

    bool Print(QWidget* parent, QPrinter& printer) override
    {
        QPrintDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    }

    void PrintPreview(QWidget* parent, QPrinter& printer,
                      const std::function<void(QPrinter&)>& paint) override
    {
        QPrintPreviewDialog dialog(&printer, parent);
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                         [&paint](QPrinter* target) { paint(*target); });
        dialog.exec();
    }

    void ShowModal(QDialog& dialog) override { dialog.exec(); }
};

TDialogs* replacementDialogs = nullptr;

} // namespace

TDialogs& Dialogs()
{
    static QtDialogs qtDialogs;
    return replacementDialogs ? *replacementDialogs : qtDialogs;
}

void SetDialogs(TDialogs* replacement)
{
    replacementDialogs = replacement;
}

} // namespace quietpane
