#include "shell/FindBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QStyle>
#include <QToolButton>

namespace quietpane {

TFindBar::TFindBar(TFinder finder, QWidget* parent)
    : QFrame(parent), finder_(std::move(finder)), text_(new QLineEdit(this)), result_(new QLabel(this))
{
    setObjectName(QStringLiteral("FindBar"));
    setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 1, 4, 1);
    row->addWidget(new QLabel(QStringLiteral("Find:"), this));
    text_->setObjectName(QStringLiteral("FindText"));
    text_->setMaximumWidth(220);
    text_->installEventFilter(this);
    row->addWidget(text_);
    auto addButton = [this, row](const char* name, const QString& text, void (TFindBar::*action)()) {
        auto* button = new QToolButton(this);
        button->setObjectName(QLatin1String(name));
        button->setText(text);
        button->setAutoRaise(true);
        connect(button, &QToolButton::clicked, this, action);
        row->addWidget(button);
    };
    addButton("FindPrevious", QStringLiteral("Previous"), &TFindBar::FindPrevious);
    addButton("FindNext", QStringLiteral("Next"), &TFindBar::FindNext);
    result_->setObjectName(QStringLiteral("FindResult"));
    row->addWidget(result_, 1);
    addButton("FindClose", QStringLiteral("Close"), &TFindBar::Close);
    // Each change of the text searches from the start of the page again.
    connect(text_, &QLineEdit::textEdited, this, [this] { FindNext(); });
    hide();
}

void TFindBar::Open()
{
    show();
    text_->setFocus(Qt::ShortcutFocusReason);
    text_->selectAll();
}

void TFindBar::Close()
{
    ClearMarks();
    hide();
}

void TFindBar::ClearMarks()
{
    finder_(QString(), false, [](const TFindResult&) {});
    result_->clear();
}

QString TFindBar::ResultText() const
{
    return result_->text();
}

void TFindBar::Find(bool backward)
{
    if (text_->text().isEmpty()) {
        ClearMarks();
        return;
    }
    // The page answers later; the bar may be gone by then.
    finder_(text_->text(), backward, [bar = QPointer<TFindBar>(this)](const TFindResult& result) {
        if (bar)
            bar->ShowResult(result);
    });
}

void TFindBar::ShowResult(const TFindResult& result)
{
    if (result.matches == 0) {
        result_->setText(QStringLiteral("No match"));
        result_->setStyleSheet(QStringLiteral("color: red;"));
    } else {
        result_->setText(QStringLiteral("%1 of %2").arg(result.active).arg(result.matches));
        result_->setStyleSheet(QString());
    }
}

bool TFindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != text_ || (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress))
        return QFrame::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (key->key() != Qt::Key_Escape && !enter)
        return QFrame::eventFilter(watched, event);
    // Escape here closes the bar rather than stopping the page, which the window would do.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    if (enter)
        Find(key->modifiers().testFlag(Qt::ShiftModifier));
    else
        Close();
    return true;
}

} // namespace quietpane
