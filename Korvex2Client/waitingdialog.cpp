#include "waitingdialog.h"

#include "ui_waitingdialog.h"

WaitingDialog::WaitingDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::WaitingDialog>())
{
    ui->setupUi(this);
}

WaitingDialog::~WaitingDialog() = default;
