#pragma once

#include <QMainWindow>

namespace quietpane {

// The mail window; created hidden at start and shown by the main window's "Email" command.
class TfrmEmail final : public QMainWindow {
public:
    explicit TfrmEmail(QWidget* parent = nullptr);
};

} // namespace quietpane
