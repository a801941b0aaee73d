#include "righeordinestampalocaldetails.h"

#include "ui_righeordinestampalocaldetails.h"

#include "ordinerigastampa.h"
#include "righeordinedetailsfill.h"

using namespace RigheOrdineDetails;

RigheOrdineStampaLocalDetails::RigheOrdineStampaLocalDetails(OrdiniLocal::OrdineRigaStampaLocal &riga, QWidget *parent)
    : QDialog(parent), ui(new Ui::RigheOrdineStampaLocalDetails), m_riga(riga)
{
    init();
    UpdateUi1();
}

RigheOrdineStampaLocalDetails::RigheOrdineStampaLocalDetails(OrdineRigaStampa *riga, QWidget *parent)
    : QDialog(parent), ui(new Ui::RigheOrdineStampaLocalDetails), m_rigaInviata(riga)
{
    init();
    UpdateUi2();
}

RigheOrdineStampaLocalDetails::~RigheOrdineStampaLocalDetails() = default;

void RigheOrdineStampaLocalDetails::init()
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
}

void RigheOrdineStampaLocalDetails::UpdateUi1()
{
    setField(ui->codice, m_riga.Codice);
    setField(ui->descrizione, m_riga.Descrizione);
    setField(ui->qta, QStringLiteral("%1").arg(m_riga.Qta));
    setField(ui->prezzo, euro(m_riga.Prezzo));
    fillLocalFile(ui.get(), m_riga.FilePath);
}

void RigheOrdineStampaLocalDetails::UpdateUi2()
{
    if (m_rigaInviata)
        fillSentRow(ui.get(), m_rigaInviata);
}

QString RigheOrdineStampaLocalDetails::fileSizeToString(unsigned long long size) const
{
    return KorvexGlobals::fileSizeToString(size);
}

void RigheOrdineStampaLocalDetails::on_toolButtonClose_clicked()
{
    close();
}
