#pragma once

// Dialogs answered by the test instead of a person (header-only: only Qt tests include it).

#include "platform/Dialogs.h"

#include <QDialog>
#include <QLabel>
#include <QPrinter>
#include <QStringList>

namespace quietpane::test {

// Records every dialog it is asked for and answers as the test set it up; installed while the
// object lives. Printing and the preview go to a PDF file when pdfFile is set.
class ScriptedDialogs final : public TDialogs {
public:
    ScriptedDialogs() { SetDialogs(this); }
    ~ScriptedDialogs() override { SetDialogs(nullptr); }
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    QString SaveFileName(QWidget*, const QString& proposedName, const QString& filter,
                         bool confirmOverwrite) override
    {
        proposedNames.append(proposedName);
        filters.append(filter);
        overwriteQuestions.append(confirmOverwrite);
        return saveAnswer;
    }

    QString OpenFileName(QWidget*) override
    {
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }

    bool Print(QWidget*, QPrinter& printer) override
    {
        ++printDialogs;
        printResolutions.append(printer.resolution());
        ToPdf(printer);
        return printAnswer;
    }

    void PrintPreview(QWidget*, QPrinter& printer, const std::function<void(QPrinter&)>& paint) override
    {
        ++previews;
        ToPdf(printer);
        paint(printer);
    }

    void ShowModal(QDialog& dialog) override
    {
        shownDialogs.append(dialog.objectName());
        shownTexts.clear();
        for (const QLabel* label : dialog.findChildren<QLabel*>())
            shownTexts.append(label->text());
    }

    bool Credentials(QWidget*, const QString& prompt, QString& user, QString& password) override
    {
        credentialPrompts.append(prompt);
        if (!credentialsAnswer)
            return false;
        user = userAnswer;
        password = passwordAnswer;
        return true;
    }

    QString saveAnswer;      // empty: the user cancels
    QStringList openAnswers; // one per open dialog, in order; none left: the user cancels
    bool credentialsAnswer = false;
    QString userAnswer, passwordAnswer;
    QStringList credentialPrompts;
    bool printAnswer = true;
    QString pdfFile;
    QStringList proposedNames, filters, shownDialogs, shownTexts;
    QList<bool> overwriteQuestions;
    QList<int> printResolutions; // dots per inch of the printer each print dialog was given
    int printDialogs = 0, previews = 0;

private:
    void ToPdf(QPrinter& printer) const
    {
        if (pdfFile.isEmpty())
            return;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfFile);
    }
};

} // namespace quietpane::test
