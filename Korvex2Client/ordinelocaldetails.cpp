#include "ordinelocaldetails.h"

#include "ui_ordinelocaldetails.h"

#include <QVBoxLayout>

#include "korvexglobals.h"
#include "ordinelocaldetailswidget.h"

OrdineLocalDetails::OrdineLocalDetails(OrdiniLocal::OrdineLocal &order, QWidget *parent)
    : QDialog(parent), ui(new Ui::OrdineLocalDetails), ordineLocal(order)
{
    ui->setupUi(this);
    auto *summary = new OrdineLocalDetailsWidget(order, ui->frameCenter);
    summary->setReadOnly(true);
    auto *layout = new QVBoxLayout(ui->frameCenter);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(summary);

    // A queued order is changed only once its sending is cancelled, as its card shows.
    ui->toolButtonAnnulla->setVisible(ordineLocal.Attivo);
    ui->toolButtonUpload->setVisible(!ordineLocal.Attivo);
    ui->toolButtonEdit->setVisible(!ordineLocal.Attivo);
    if (!KorvexGlobals::utente)
        ui->toolButtonUpload->setEnabled(false);
}

OrdineLocalDetails::~OrdineLocalDetails() = default;

void OrdineLocalDetails::on_toolButtonClose_clicked()
{
    close();
}

void OrdineLocalDetails::on_toolButtonRemove_clicked()
{
    const QString uuid = ordineLocal.Uuid;
    close();
    emit removeRequest(uuid);
}

void OrdineLocalDetails::on_toolButtonAnnulla_clicked()
{
    const QString uuid = ordineLocal.Uuid;
    close();
    emit annullaRequest(uuid);
}

void OrdineLocalDetails::on_toolButtonUpload_clicked()
{
    const QString uuid = ordineLocal.Uuid;
    close();
    emit uploadRequest(uuid);
}

void OrdineLocalDetails::on_toolButtonEdit_clicked()
{
    const QString uuid = ordineLocal.Uuid;
    close();
    emit editRequest(uuid);
}
