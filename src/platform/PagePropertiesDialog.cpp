#include "platform/PagePropertiesDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QUrl>
#include <QVBoxLayout>

namespace quietpane {

QString ProtocolName(const QUrl& address)
{
    const QString scheme = address.scheme().toLower();
    if (scheme == QLatin1String("http"))
        return QStringLiteral("HyperText Transfer Protocol");
    if (scheme == QLatin1String("https"))
        return QStringLiteral("HyperText Transfer Protocol with Privacy");
    if (scheme == QLatin1String("file"))
        return QStringLiteral("File Protocol");
    if (scheme == QLatin1String("ftp"))
        return QStringLiteral("File Transfer Protocol");
    return scheme.isEmpty() ? QStringLiteral("Unknown Protocol") : scheme;
}

TPagePropertiesDialog::TPagePropertiesDialog(const TPageProperties& properties, QWidget* parent)
    : QDialog(parent), properties_(properties)
{
    setObjectName(QStringLiteral("PageProperties"));
    setWindowTitle(QStringLiteral("Properties"));
    auto* layout = new QVBoxLayout(this);
    auto* lines = new QFormLayout;
    auto addLine = [&](const char* name, const QString& caption, const QString& value) {
        auto* label = new QLabel(value.isEmpty() ? QStringLiteral("Not available") : value, this);
        label->setObjectName(QLatin1String(name));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setWordWrap(true);
        label->setMinimumWidth(320);
        lines->addRow(caption, label);
    };
    addLine("lbTitle", QStringLiteral("Title:"), properties.title);
    addLine("lbAddress", QStringLiteral("Address:"), properties.address);
    addLine("lbProtocol", QStringLiteral("Protocol:"), properties.protocol);
    addLine("lbType", QStringLiteral("Type:"), properties.type);
    addLine("lbCharacterSet", QStringLiteral("Character set:"), properties.characterSet);
    addLine("lbLastModified", QStringLiteral("Modified:"), properties.lastModified);
    addLine("lbSize", QStringLiteral("Size:"),
            properties.size < 0 ? QString()
                                : QStringLiteral("%1 bytes").arg(QLocale().toString(properties.size)));
    layout->addLayout(lines);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

} // namespace quietpane
