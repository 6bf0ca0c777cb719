#include "shell/HotKeyPanel.h"

#include "hotkeys/HotKeyRecorder.h"
#include "hotkeys/ShortCutText.h"
#include "platform/MessageBoxes.h"
#include "shell/SettingsTables.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>

namespace quietpane {

THotKeyPanel::THotKeyPanel(THotKeyManager& hotKeyManager, TSettingsTables& tables, QWidget* parent)
    : QFrame(parent), hotKeyManager_(&hotKeyManager), tables_(tables)
{
    setObjectName(QStringLiteral("Panel1"));
    // Lines below the setup texts tell the keys in force and take the options.
    setGeometry(352, 112, 217, 310);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setAutoFillBackground(true);
    auto addLabel = [this](const char* name, int top, const QString& text, bool blue) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QLatin1String(name));
        label->adjustSize();
        if (top >= 0)
            label->move(10, top);
        else
            AppendLine(label);
        if (blue)
            label->setStyleSheet(QStringLiteral("color: blue;"));
        return label;
    };
    auto addButton = [this](const char* name, int top, const QString& text, void (THotKeyPanel::*action)()) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(152, top, 57, 21);
        connect(button, &QPushButton::clicked, this, action);
    };
    addLabel("Label1", 16, QStringLiteral("Keys pressed to be Hotkey:"), false);
    hotKey1_ = new THotKeyRecorder(this);
    hotKey1_->setObjectName(QStringLiteral("HotKey1"));
    hotKey1_->setGeometry(10, 32, 121, 19);
    addButton("bHotkey1", 32, QStringLiteral("Hotkey 01"), &THotKeyPanel::AssignHideHotKey);
    addButton("bHotkey2", 55, QStringLiteral("Hotkey 02"), &THotKeyPanel::AssignRestoreHotKey);
    addLabel("Label2", 64, QStringLiteral("Application Hotkeys:"), false);
    listBox1_ = new QListWidget(this);
    listBox1_->setObjectName(QStringLiteral("ListBox1"));
    listBox1_->setGeometry(10, 80, 121, 97);
    addButton("bDelete", 110, QStringLiteral("Delete"), &THotKeyPanel::DeleteSelected);
    addButton("bClose", 144, QStringLiteral("Close"), &QWidget::hide);
    addLabel("Label5", 192, QStringLiteral("To setup Hotkeys:  Place cursor in the 1st"), false);
    addLabel("Label6", 208, QStringLiteral("box, and press a combination of keys on"), false);
    addLabel("Label7", 224, QStringLiteral("keyboard to make your Hotkey. Then click"), false);
    addLabel("Label8", 240, QStringLiteral("on either Hotkey 01 or Hotkey 02 button."), false);
    addLabel("Label3", 270, QStringLiteral("Hotkey 01:  To hide application."), true);
    addLabel("Label4", 290, QStringLiteral("Hotkey 02:  To bring application back."), true);
    hideKey_ = addLabel("lbHideKey", -1, QString(), false);
    restoreKey_ = addLabel("lbRestoreKey", -1, QString(), false);
    hideMailWindow_ = new QCheckBox(QStringLiteral("Hide the mail window too"), this);
    hideMailWindow_->setObjectName(QStringLiteral("cbHideMailWindow"));
    hideMailWindow_->adjustSize();
    AppendLine(hideMailWindow_);
    connect(hideMailWindow_, &QCheckBox::clicked, this,
            [this](bool checked) { tables_.StoreHideMailWindow(checked); });
    hotKey1_->installEventFilter(this);
    hide();
}

void THotKeyPanel::AssignHideHotKey()
{
    AssignHotKey(QStringLiteral("HotKey3"));
}

void THotKeyPanel::AssignRestoreHotKey()
{
    AssignHotKey(QStringLiteral("HotKey2"));
}

void THotKeyPanel::AssignHotKey(const QString& column)
{
    recordedHotKey_ = hotKey1_->HotKey();
    bool store = true;
    if (recordedHotKey_ == 0) {
        MessageBoxes().Warning(QStringLiteral("No hotkey is specified."));
    } else if (hotKeyManager_->AddHotKey(recordedHotKey_) != 0) {
        auto* line = new QListWidgetItem(ShortCutText(recordedHotKey_), listBox1_);
        line->setData(Qt::UserRole, recordedHotKey_);
        hotKey1_->Clear();
    } else {
        MessageBoxes().Warning(ShortCutText(recordedHotKey_) +
                               QStringLiteral(" couldn't be assigned to a hotkey."));
        // Stored, a combination held elsewhere would take the place of the key that works: the
        // window could then be hidden with no key to bring it back. One this program holds
        // already (the other key, the same key again) works.
        store = hotKeyManager_->IsHotKeyRegistered(recordedHotKey_);
    }
    if (store)
        tables_.StoreHotKey(column, recordedHotKey_);
    ShowCurrentHotKeys();
}

void THotKeyPanel::AppendLine(QWidget* widget)
{
    constexpr int kLineGap = 4, kBottomMargin = 8;
    const int top = nextLineTop_;
    widget->move(10, top);
    // A label still empty takes its line all the same.
    nextLineTop_ = top + std::max(widget->height(), fontMetrics().height()) + kLineGap;
    resize(width(), nextLineTop_ + kBottomMargin);
}

void THotKeyPanel::ShowCurrentHotKeys()
{
    const TBoundControls& bound = tables_.Bound();
    auto describe = [this](const QString& what, const QLineEdit* stored) {
        bool number = false;
        const auto hotKey = static_cast<TShortCut>(stored->text().toUShort(&number));
        if (!number || hotKey == 0)
            return what + QStringLiteral(" now: none");
        QString text = what + QStringLiteral(" now: ") + ShortCutText(hotKey);
        if (!hotKeyManager_->IsHotKeyRegistered(hotKey))
            text += QStringLiteral(" (not registered)");
        return text;
    };
    hideKey_->setText(describe(QStringLiteral("Hides"), bound.hotKey3));
    hideKey_->adjustSize();
    restoreKey_->setText(describe(QStringLiteral("Restores"), bound.hotKey2));
    restoreKey_->adjustSize();
    hideMailWindow_->setChecked(tables_.HideMailWindow());
}

// Desktop shortcut editors do the same: a key grabbed by this program would never reach the
// recorder, and recording the hide key would hide the window instead.
bool THotKeyPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == hotKey1_ && hotKeyManager_ && event->type() == QEvent::FocusIn)
        hotKeyManager_->SuspendHotKeys();
    else if (watched == hotKey1_ && hotKeyManager_ && event->type() == QEvent::FocusOut)
        hotKeyManager_->ResumeHotKeys();
    return QFrame::eventFilter(watched, event);
}

void THotKeyPanel::DeleteSelected()
{
    QListWidgetItem* line = listBox1_->currentItem();
    if (!line || !line->isSelected())
        return;
    const auto hotKey = static_cast<TShortCut>(line->data(Qt::UserRole).toUInt());
    if (hotKeyManager_->RemoveHotKey(hotKey))
        delete line;
    else
        MessageBoxes().Warning(ShortCutText(hotKey) + QStringLiteral(" couldn't be removed."));
    ShowCurrentHotKeys();
}

} // namespace quietpane
