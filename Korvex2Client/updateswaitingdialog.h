#pragma once

#include <QDialog>

#include <memory>

class QThread;

namespace Ui {
class UpdatesWaitingDialog;
}

// Shown while an update check runs: exec() starts the check's thread, so the check's first
// answers arrive inside the dialog's loop. "Annulla" and Escape reject it; the caller stops
// the thread in its rejected() handler and accepts the dialog when the check has answered.
class UpdatesWaitingDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit UpdatesWaitingDialog(QWidget *parent = nullptr);
    ~UpdatesWaitingDialog() override;

    // The thread that exec() starts; the dialog never releases it.
    void setUpdatesThread(QThread *thread);

public slots:
    int exec() override;

private slots:
    void on_btCancel_clicked();

private:
    std::unique_ptr<Ui::UpdatesWaitingDialog> ui;
    QThread *updatesThread = nullptr;
};
