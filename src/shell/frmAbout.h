#pragma once

#include <QDialog>

namespace quietpane {

// The About box; created hidden at start.
class TAbout final : public QDialog {
public:
    explicit TAbout(QWidget* parent = nullptr);
};

} // namespace quietpane
