#include "righeordinefilelocaldetails.h"

#include "ui_righeordinefilelocaldetails.h"

#include "ordinerigafile.h"
#include "righeordinedetailsfill.h"

using namespace RigheOrdineDetails;

RigheOrdineFileLocalDetails::RigheOrdineFileLocalDetails(OrdiniLocal::OrdineRigaFileLocal &riga, QWidget *parent)
    : QDialog(parent), ui(new Ui::RigheOrdineFileLocalDetails), m_riga(riga)
{
    init();
    UpdateUi1();
}

RigheOrdineFileLocalDetails::RigheOrdineFileLocalDetails(OrdineRigaFile *riga, QWidget *parent)
    : QDialog(parent), ui(new Ui::RigheOrdineFileLocalDetails), m_rigaInviata(riga)
{
    init();
    UpdateUi2();
}

RigheOrdineFileLocalDetails::~RigheOrdineFileLocalDetails() = default;

void RigheOrdineFileLocalDetails::init()
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
}

void RigheOrdineFileLocalDetails::UpdateUi1()
{
    setField(ui->codice, m_riga.Codice);
    setField(ui->descrizione, m_riga.Descrizione);
    // A file is sent once and has no price of its own.
    setField(ui->qta, QStringLiteral("1"));
    setField(ui->prezzo, QStringLiteral("0%1").arg(QChar(0x20AC)));
    fillLocalFile(ui.get(), m_riga.FilePath);
}

void RigheOrdineFileLocalDetails::UpdateUi2()
{
    if (m_rigaInviata)
        fillSentRow(ui.get(), m_rigaInviata);
}

QString RigheOrdineFileLocalDetails::fileSizeToString(unsigned long long size) const
{
    return KorvexGlobals::fileSizeToString(size);
}

void RigheOrdineFileLocalDetails::on_toolButtonClose_clicked()
{
    close();
}
