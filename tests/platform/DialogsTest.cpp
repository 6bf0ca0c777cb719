// The program's own dialogs, opened for real and answered from a timer as a person would.

#include "platform/Dialogs.h"

#include "support/QtTestSupport.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace quietpane;

namespace {

class DialogsTest : public ::testing::Test {
protected:
    // Runs the answer on the modal dialog once it is open.
    template <typename Dialog> void WhenOpen(std::function<void(Dialog&)> answer)
    {
        QTimer::singleShot(0, [this, answer] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            const QCursor* cursor = QGuiApplication::overrideCursor();
            cursorWhileOpen = cursor ? cursor->shape() : Qt::BlankCursor;
            answer(*dialog);
        });
    }

    TQuietpaneApplication& application = test::TestApplication();
    test::TempDir folder;
    Qt::CursorShape cursorWhileOpen = Qt::BlankCursor;
};

TEST_F(DialogsTest, SaveDialogProposesTheNameAndReturnsTheChoiceAsTyped)
{
    const QString proposed = QString::fromStdString((folder.Path() / "ScreenDump.bmp").string());
    const QString typed = QString::fromStdString((folder.Path() / "capture").string());
    WhenOpen<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog.nameFilters(), QStringList{QStringLiteral("Bitmap (*.bmp)")});
        EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_EQ(dialog.selectedFiles().value(0), proposed);
        EXPECT_TRUE(dialog.defaultSuffix().isEmpty());
        dialog.selectFile(typed);
        static_cast<QDialog&>(dialog).accept(); // the file dialog's own accept, as its Save button
    });
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    EXPECT_EQ(Dialogs().SaveFileName(nullptr, proposed, QStringLiteral("Bitmap (*.bmp)"), false), typed);
    // The user works in the dialog with the arrow; the hourglass of the command comes back.
    EXPECT_EQ(cursorWhileOpen, Qt::ArrowCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QGuiApplication::restoreOverrideCursor();
}

TEST_F(DialogsTest, CancelledSaveDialogReturnsNoName)
{
    WhenOpen<QFileDialog>([](QFileDialog& dialog) {
        EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
        dialog.reject();
    });
    EXPECT_TRUE(
        Dialogs()
            .SaveFileName(nullptr, QStringLiteral("page.htm"), QStringLiteral("Web page (*.htm)"), true)
            .isEmpty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(DialogsTest, ModalDialogReturnsOnceClosed)
{
    QDialog dialog;
    new QLabel(QStringLiteral("shown"), &dialog);
    WhenOpen<QDialog>([](QDialog& open) { open.accept(); });
    Dialogs().ShowModal(dialog);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(DialogsTest, PrintPreviewDrawsThePagesAsItOpens)
{
    QPrinter printer;
    int paints = 0;
    WhenOpen<QPrintPreviewDialog>([&](QPrintPreviewDialog& preview) {
        EXPECT_GE(paints, 1);
        preview.reject();
    });
    Dialogs().PrintPreview(nullptr, printer, [&](QPrinter& target) {
        ++paints;
        QPainter painter(&target);
        painter.drawText(100, 100, QStringLiteral("page"));
    });
    EXPECT_GE(paints, 1);
    EXPECT_EQ(cursorWhileOpen, Qt::ArrowCursor);
}

TEST_F(DialogsTest, CredentialsDialogProposesTheUserAndReturnsWhatWasTypedOrNothingWhenCancelled)
{
    for (const bool confirm : {true, false}) {
        WhenOpen<QDialog>([&](QDialog& dialog) {
            auto* user = dialog.findChild<QLineEdit*>(QStringLiteral("UserName"));
            auto* password = dialog.findChild<QLineEdit*>(QStringLiteral("Password"));
            ASSERT_TRUE(user && password);
            EXPECT_EQ(user->text(), QStringLiteral("proposed"));
            EXPECT_EQ(password->echoMode(), QLineEdit::Password);
            QStringList texts;
            for (const QLabel* label : dialog.findChildren<QLabel*>())
                texts.append(label->text());
            EXPECT_TRUE(texts.contains(QStringLiteral("host asks"))) << texts.join('|').toStdString();
            user->setText(QStringLiteral("tester"));
            password->setText(QStringLiteral("secret"));
            confirm ? dialog.accept() : dialog.reject();
        });
        QString user = QStringLiteral("proposed"), password;
        EXPECT_EQ(Dialogs().Credentials(nullptr, QStringLiteral("host asks"), user, password), confirm);
        EXPECT_EQ(user, confirm ? QStringLiteral("tester") : QStringLiteral("proposed"));
        EXPECT_EQ(password, confirm ? QStringLiteral("secret") : QString());
        EXPECT_EQ(cursorWhileOpen, Qt::ArrowCursor);
    }
}

} // namespace
