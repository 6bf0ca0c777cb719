#pragma once

#include <QFont>
#include <QStringList>

namespace quietpane {

// The face of the program's windows: MS Sans Serif at 8 points, or where it is missing a sans
// face of about its width (wider stand-ins clip the fixed-size captions).
inline QFont WindowFont()
{
    QFont face(QStringList{QStringLiteral("MS Sans Serif"), QStringLiteral("Nimbus Sans"),
                           QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    face.setStyleHint(QFont::SansSerif);
    face.setPointSize(8);
    return face;
}

} // namespace quietpane
