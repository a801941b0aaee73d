#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class WaitingDialog;
}

// A small box with a loader picture and "Attendere Prego...", shown while the program
// waits for something that has no progress of its own.
class WaitingDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit WaitingDialog(QWidget *parent = nullptr);
    ~WaitingDialog() override;

private:
    std::unique_ptr<Ui::WaitingDialog> ui;
};
