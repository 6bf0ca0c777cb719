#pragma once

#include <QDialog>
#include <QString>

class QUrl;

namespace quietpane {

// What the properties dialog tells about a page.
struct TPageProperties {
    QString title;
    QString address;
    QString protocol;
    QString type; // the document's MIME type
    QString characterSet;
    QString lastModified;
    qint64 size = -1; // bytes of the document; -1 when unknown
};

// The readable name of the protocol an address uses ("HyperText Transfer Protocol").
QString ProtocolName(const QUrl& address);

// The page-properties dialog: one line per property, an OK button.
class TPagePropertiesDialog final : public QDialog {
public:
    explicit TPagePropertiesDialog(const TPageProperties& properties, QWidget* parent = nullptr);

    const TPageProperties& Properties() const { return properties_; }

private:
    TPageProperties properties_;
};

} // namespace quietpane
