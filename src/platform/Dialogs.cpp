#include "platform/Dialogs.h"

#include "platform/WindowHiding.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace quietpane {

namespace {

// A dialog is the user's to work in: while it is open the pointer is an arrow, even when the
// command that opened it shows the hourglass; when it closes the hourglass comes back, and the
// owner's window gets the keyboard back.
class WhileDialogOpen {
public:
    explicit WhileDialogOpen(QWidget* owner) : focus_(owner)
    {
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~WhileDialogOpen() { QGuiApplication::restoreOverrideCursor(); }
    WhileDialogOpen(const WhileDialogOpen&) = delete;
    WhileDialogOpen& operator=(const WhileDialogOpen&) = delete;

private:
    TFocusReturn focus_;
};

class QtDialogs final : public TDialogs {
public:
    QString SaveFileName(QWidget* parent, const QString& proposedName, const QString& filter,
                         bool confirmOverwrite) override
    {
        QFileDialog dialog(parent, QString(), QString(), filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !confirmOverwrite);
        dialog.selectFile(proposedName);
        WhileDialogOpen open(parent);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }

    QString OpenFileName(QWidget* parent) override
    {
        QFileDialog dialog(parent);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        WhileDialogOpen open(parent);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }

    bool Print(QWidget* parent, QPrinter& printer) override
    {
        QPrintDialog dialog(&printer, parent);
        WhileDialogOpen open(parent);
        return dialog.exec() == QDialog::Accepted;
    }

    void PrintPreview(QWidget* parent, QPrinter& printer,
                      const std::function<void(QPrinter&)>& paint) override
    {
        QPrintPreviewDialog dialog(&printer, parent);
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                         [&paint](QPrinter* target) { paint(*target); });
        WhileDialogOpen open(parent);
        dialog.exec();
    }

    void ShowModal(QDialog& dialog) override
    {
        WhileDialogOpen open(dialog.parentWidget());
        dialog.exec();
    }

    bool Credentials(QWidget* parent, const QString& prompt, QString& user, QString& password) override
    {
        QDialog dialog(parent);
        dialog.setObjectName(QStringLiteral("Credentials"));
        dialog.setWindowTitle(QStringLiteral("Sign in"));
        auto* form = new QFormLayout(&dialog);
        form->addRow(new QLabel(prompt, &dialog));
        auto* userBox = new QLineEdit(user, &dialog);
        userBox->setObjectName(QStringLiteral("UserName"));
        auto* passwordBox = new QLineEdit(&dialog);
        passwordBox->setObjectName(QStringLiteral("Password"));
        passwordBox->setEchoMode(QLineEdit::Password);
        form->addRow(QStringLiteral("User name:"), userBox);
        form->addRow(QStringLiteral("Password:"), passwordBox);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        form->addRow(buttons);
        WhileDialogOpen open(parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        user = userBox->text();
        password = passwordBox->text();
        return true;
    }
};

TDialogs* replacementDialogs = nullptr;

} // namespace

TFocusReturn::TFocusReturn(QWidget* parent)
    : window_(parent ? parent->window() : QApplication::activeWindow()),
      focus_(window_ ? window_->focusWidget() : nullptr)
{
}

TFocusReturn::~TFocusReturn()
{
    if (!window_ || !window_->isVisible() || window_->isMinimized())
        return;
    ActivateAfterUserAction(*window_);
    if (focus_ && focus_->window() == window_)
        focus_->setFocus(Qt::ActiveWindowFocusReason);
}

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
