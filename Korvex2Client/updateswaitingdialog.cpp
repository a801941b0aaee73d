#include "updateswaitingdialog.h"

#include <QThread>

#include "ui_updateswaitingdialog.h"

UpdatesWaitingDialog::UpdatesWaitingDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::UpdatesWaitingDialog>())
{
    ui->setupUi(this);
}

UpdatesWaitingDialog::~UpdatesWaitingDialog() = default;

void UpdatesWaitingDialog::setUpdatesThread(QThread *thread)
{
    updatesThread = thread;
}

int UpdatesWaitingDialog::exec()
{
    if (updatesThread)
        updatesThread->start(QThread::InheritPriority);
    return QDialog::exec();
}

void UpdatesWaitingDialog::on_btCancel_clicked()
{
    reject();
}
