#include "shell/frmAbout.h"

#include "platform/WindowFont.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace quietpane {

namespace {

constexpr int BevelWidth = 5;

enum class TextStyle { Plain, Bold, Blue, Title };

QLabel* AddText(QWidget* panel, const char* name, const QString& text, int left, int top, TextStyle style)
{
    auto* label = new QLabel(text, panel);
    label->setObjectName(QLatin1String(name));
    QFont font = label->font();
    switch (style) {
    case TextStyle::Plain:
        break;
    case TextStyle::Bold:
        font.setBold(true);
        break;
    case TextStyle::Blue:
        label->setStyleSheet(QStringLiteral("color: blue;"));
        break;
    case TextStyle::Title:
        // A script face where the desktop has one; the desktop's own face otherwise.
        font.setFamilies(
            {QStringLiteral("Mistral"), QStringLiteral("Z003"), QStringLiteral("URW Chancery L")});
        font.setPixelSize(32);
        font.setBold(true);
        // Stand-in script faces run wider than the original; the title must end before the version.
        font.setStretch(QFont::SemiCondensed);
        label->setStyleSheet(QStringLiteral("color: purple;"));
        break;
    }
    label->setFont(font);
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

TAbout::TAbout(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(366, 204);
    setFont(WindowFont());

    // A lowered outer bevel around a raised inner one, both over the sky-blue panel.
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setGeometry(rect());
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(BevelWidth);
    panel->setAutoFillBackground(true);
    QPalette skyBlue = panel->palette();
    skyBlue.setColor(QPalette::Window, QColor(0xa6, 0xca, 0xf0));
    panel->setPalette(skyBlue);
    auto* innerBevel = new QFrame(panel);
    innerBevel->setGeometry(rect().adjusted(BevelWidth, BevelWidth, -BevelWidth, -BevelWidth));
    innerBevel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    innerBevel->setLineWidth(BevelWidth);

    AddText(panel, "Label1", QStringLiteral("Quietpane Browser"), 16, 16, TextStyle::Title);
    AddText(panel, "Label2", QStringLiteral("Version " QUIETPANE_VERSION), 232, 32, TextStyle::Bold);
    AddText(panel, "Label3", QStringLiteral("Default Hotkey 01:  Ctrl + Alt + H"), 16, 96, TextStyle::Plain);
    AddText(panel, "Label4", QStringLiteral("Default Hotkey 02:  Ctrl + Alt + O"), 16, 112, TextStyle::Plain);
    AddText(panel, "Label5", QStringLiteral("Hotkey 01:"), 16, 150, TextStyle::Bold);
    AddText(panel, "Label6", QStringLiteral("To hide Quietpane."), 90, 150, TextStyle::Blue);
    AddText(panel, "Label7", QStringLiteral("Hotkey 02:"), 16, 170, TextStyle::Bold);
    AddText(panel, "Label8", QStringLiteral("To bring Quietpane back."), 90, 170, TextStyle::Blue);

    aboutOK_ = new QPushButton(QStringLiteral("OK"), panel);
    aboutOK_->setObjectName(QStringLiteral("AboutOK"));
    aboutOK_->setGeometry(264, 160, 75, 25);
    aboutOK_->setDefault(true);
    connect(aboutOK_, &QPushButton::clicked, this, &TAbout::AboutOKClick);
}

void TAbout::AboutOKClick()
{
    accept();
}

void TAbout::showEvent(QShowEvent* event)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect placed = frameGeometry();
        placed.moveCenter(screen->geometry().center());
        move(placed.topLeft());
    }
    QDialog::showEvent(event);
}

} // namespace quietpane
