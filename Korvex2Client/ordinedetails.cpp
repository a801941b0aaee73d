#include "ordinedetails.h"
#include "ui_ordinedetails.h"

#include <QCursor>
#include <QDateTime>
#include <QHeaderView>
#include <QLocale>
#include <QMouseEvent>
#include <QToolTip>

#include "korvexglobals.h"
#include "ordine.h"
#include "ordinerigafile.h"
#include "ordinerigastampa.h"
#include "ordinetablemodel.h"
#include "righeordinefilelocaldetails.h"
#include "righeordinestampalocaldetails.h"
#include "righeordinetablemodel.h"

namespace {

const QString readOnlyClienteRule = QStringLiteral("\n\n#clienteFinale { background-color: rgb(246,246,246); }");
const QString readOnlyNoteRule = QStringLiteral("\n\n#note { background-color: rgb(246,246,246); }");

QString utf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), int(text.size()));
}

QString euro(double amount)
{
    return QStringLiteral("%L1%2").arg(amount, 0, 'f', 2).arg(QChar(0x20AC));
}

} // namespace

OrdineDetails::OrdineDetails(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::OrdineDetails)
{
    ui->setupUi(this);
    initUi();
}

OrdineDetails::OrdineDetails(Ordine *ordine, QWidget *parent)
    : OrdineDetails(parent)
{
    setOrdine(ordine);
}

// The rows model and the header view go with their Qt parents.
OrdineDetails::~OrdineDetails()
{
    delete ui;
}

void OrdineDetails::initUi()
{
    righeModel = new RigheOrdineTableModel(this);
    ui->tableViewRighe->setModel(righeModel);
    headerView = new QHeaderView(Qt::Horizontal, ui->tableViewRighe);
    headerView->setCascadingSectionResizes(true);
    headerView->setHighlightSections(false);
    ui->tableViewRighe->setHorizontalHeader(headerView);
    headerView->setSectionResizeMode(2, QHeaderView::Stretch);
    ui->tableViewRighe->viewport()->installEventFilter(this);
    ui->tableViewRighe->addAction(ui->actionDettagli);
}

void OrdineDetails::setOrdine(Ordine *value)
{
    ordine = value;
    updateUi();
}

void OrdineDetails::updateUi()
{
    if (!ordine)
        return;
    setWindowTitle(tr("Dettaglio ordine n° %1").arg(ordine->numero));
    ui->labelTitle->setText(tr("Ordine n° %1").arg(ordine->numero));
    const QString clienteFinale = utf8(ordine->cliente_finale);
    ui->clienteFinale->setText(clienteFinale);
    ui->note->setPlainText(utf8(ordine->note));

    const QDateTime data = QDateTime::fromSecsSinceEpoch(qint64(quint32(ordine->data))).toLocalTime();
    const QLocale locale;
    QStringList lines;
    lines << tr("Del %1 alle %2")
                 .arg(locale.toString(data.date(), QStringLiteral("d MMMM yyyy")),
                      locale.toString(data.time(), QStringLiteral("hh:mm")));
    lines << tr("%1 file inviati").arg(ordine->righe.size());
    if (!clienteFinale.isEmpty())
        lines << tr("Cliente Finale: ") + clienteFinale;
    ui->labelTopDescriptionRiepilogo->setText(lines.join(QStringLiteral("\r\n")));

    righeModel->SetVector(ordine->righe);
    for (int column : {0, 1, 3, 4})
        ui->tableViewRighe->resizeColumnToContents(column);

    ui->labelTotale->setText(euro(double(ordine->totale)));
    ui->labelTotale2->setText(euro(double(ordine->totale)));
    ui->labelSpedizione->setText(euro(double(ordine->spedizione)));

    // The state names the sent-orders table uses: its own, or the local database's.
    OrdineTableModel names;
    if (!KorvexGlobals::statusMap.isEmpty())
        names.setStatusMap(KorvexGlobals::statusMap);
    const QMap<QString, int> &map = names.getStatusMap();
    ui->labelStato->setText(OrdineTableModel::statusName(map, ordine->stato));
    if (!legendFilled) {
        QString legend = ui->toolButtonOrderStatusInfo->toolTip();
        for (int stato : {2, 3, 5, 6, 7, 8})
            legend = legend.arg(OrdineTableModel::statusName(map, stato));
        ui->toolButtonOrderStatusInfo->setToolTip(legend);
        legendFilled = true;
    }
}

void OrdineDetails::setReadOnly(bool readOnly)
{
    QString clienteStyle = ui->clienteFinale->styleSheet();
    clienteStyle.remove(readOnlyClienteRule);
    QString noteStyle = ui->note->styleSheet();
    noteStyle.remove(readOnlyNoteRule);
    if (readOnly) {
        clienteStyle += readOnlyClienteRule;
        noteStyle += readOnlyNoteRule;
    }
    ui->clienteFinale->setStyleSheet(clienteStyle);
    ui->note->setStyleSheet(noteStyle);
    ui->clienteFinale->setReadOnly(readOnly);
    ui->note->setReadOnly(readOnly);
}

bool OrdineDetails::eventFilter(QObject *watched, QEvent *event)
{
    lastViewportEvent.type = event->type();
    lastViewportEvent.button = Qt::NoButton;
    if (event->type() == QEvent::MouseButtonDblClick)
        lastViewportEvent.button = static_cast<QMouseEvent *>(event)->button();
    return QDialog::eventFilter(watched, event);
}

void OrdineDetails::on_toolButtonClose_clicked()
{
    close();
}

void OrdineDetails::on_toolButtonOrderStatusInfo_clicked()
{
    QToolTip::showText(QCursor::pos(), ui->toolButtonOrderStatusInfo->toolTip());
}

void OrdineDetails::on_tableViewRighe_doubleClicked(const QModelIndex &index)
{
    if (lastViewportEvent.type == QEvent::MouseButtonDblClick && lastViewportEvent.button != Qt::LeftButton)
        return;
    lastViewportEvent = ViewportEvent();
    if (!ordine || index.row() < 0 || size_t(index.row()) >= ordine->righe.size())
        return;
    const QString tipo = righeModel->index(index.row(), 1).data().toString();
    OrdineRiga *riga = ordine->righe[size_t(index.row())];
    switch (righeModel->tipoRiga(tipo)) {
    case 2:
        if (auto *stampa = dynamic_cast<OrdineRigaStampa *>(riga)) {
            auto *details = new RigheOrdineStampaLocalDetails(stampa, this);
            details->exec();
            delete details;
        }
        break;
    case 1:
        if (auto *file = dynamic_cast<OrdineRigaFile *>(riga)) {
            auto *details = new RigheOrdineFileLocalDetails(file, this);
            details->exec();
            delete details;
        }
        break;
    default:
        break;
    }
}

void OrdineDetails::on_actionDettagli_triggered()
{
    on_tableViewRighe_doubleClicked(ui->tableViewRighe->currentIndex());
}
