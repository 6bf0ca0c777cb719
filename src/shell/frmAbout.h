#pragma once

#include <QDialog>

class QPushButton;

namespace quietpane {

// The About box: a borderless sky-blue panel with the program's name, version and default
// hotkeys, and an OK button. Created hidden at start, shown modally.
class TAbout final : public QDialog {
public:
    explicit TAbout(QWidget* parent = nullptr);

    void AboutOKClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* aboutOK_;
};

} // namespace quietpane
