#include "aboutdialog.h"

#include <QCoreApplication>
#include <QMessageBox>

#include "ui_aboutdialog.h"

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::AboutDialog>())
{
    ui->setupUi(this);
    ui->labelTitle->setText(QStringLiteral("Korvex"));
    ui->labelVersion->setText(QStringLiteral("V ") + QCoreApplication::applicationVersion());
}

AboutDialog::~AboutDialog() = default;

void AboutDialog::on_pushButtonAboutQt_clicked()
{
    QMessageBox::aboutQt(this, QString());
}
