#include "ordinelocaldetailswidget.h"

#include "ui_ordinelocaldetailswidget.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLocale>
#include <QMouseEvent>

#include "righeordinefilelocaldetails.h"
#include "righeordinelocaltablemodel.h"
#include "righeordinestampalocaldetails.h"

namespace {

const QString clienteFinaleReadOnlyRule = QStringLiteral("\n\n#clienteFinale { background-color: rgb(246,246,246); }");
const QString noteReadOnlyRule = QStringLiteral("\n\n#note { background-color: rgb(246,246,246); }");

QString euro(double amount)
{
    return QStringLiteral("%L1%2").arg(amount, 0, 'f', 2).arg(QChar(0x20AC));
}

} // namespace

OrdineLocalDetailsWidget::OrdineLocalDetailsWidget(OrdiniLocal::OrdineLocal &ordine, QWidget *parent)
    : QWidget(parent), ui(new Ui::OrdineLocalDetailsWidget)
{
    ui->setupUi(this);
    initUi();
    this->ordine = ordine;
    updateUi();
    setReadOnly(false);
}

OrdineLocalDetailsWidget::OrdineLocalDetailsWidget(QWidget *parent)
    : QWidget(parent), ui(new Ui::OrdineLocalDetailsWidget)
{
    ui->setupUi(this);
    initUi();
    setReadOnly(false);
}

OrdineLocalDetailsWidget::~OrdineLocalDetailsWidget()
{
    ui->tableViewRighe->viewport()->removeEventFilter(this);
    // The header goes with the table it belongs to; the model, which the table shows, after
    // the table let it go.
    ui->tableViewRighe->setModel(nullptr);
    delete model;
}

void OrdineLocalDetailsWidget::initUi()
{
    model = new RigheOrdineLocalTableModel(this);
    ui->tableViewRighe->setModel(model);
    ui->tableViewRighe->addAction(ui->actionDettagli);
    ui->tableViewRighe->viewport()->installEventFilter(this);
    header = new QHeaderView(Qt::Horizontal, ui->tableViewRighe);
    ui->tableViewRighe->setHorizontalHeader(header);
    // The titles and short values stay whole; the description takes the rest.
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(2, QHeaderView::Stretch);
    header->setCascadingSectionResizes(true);
}

void OrdineLocalDetailsWidget::setOrdine(OrdiniLocal::OrdineLocal &ordine)
{
    this->ordine = ordine;
    updateUi();
}

void OrdineLocalDetailsWidget::updateUi()
{
    ui->clienteFinale->setText(ordine.ClienteFinale);
    ui->note->setPlainText(ordine.Note);

    const int files = ordine.righeFile.size() + ordine.righeStampa.size();
    QString description = tr("Ordine del %1 alle %2")
                              .arg(QLocale().toString(ordine.Data, QStringLiteral("d MMMM yyyy")),
                                   ordine.Data.toString(QStringLiteral("hh:mm")))
        + QStringLiteral("\r\n") + tr("%1 file da inviare").arg(files);
    if (!ordine.ClienteFinale.isEmpty()) {
        const QString elided = QFontMetrics(font()).elidedText(ordine.ClienteFinale, Qt::ElideRight, 200);
        description += QStringLiteral("\r\n") + tr("Cliente Finale: ") + elided;
    }
    ui->labelTopDescriptionRiepilogo->setText(description);

    // An order with both kinds lists its file rows; one without rows lists nothing.
    switch (OrdiniLocal().ordineType(ordine)) {
    case 1:
        model->SetVector(ordine.righeFile);
        break;
    case 2:
        model->SetVector(ordine.righeStampa);
        break;
    default:
        model->SetVector(QList<OrdiniLocal::OrdineRigaStampaLocal>());
        break;
    }

    double totale = model->totale();
    if (totale > 0)
        totale += ordine.Spedizione;
    ui->labelTotale->setText(euro(totale));
    ui->labelTotale2->setText(euro(totale));
    ui->labelSpedizione->setText(euro(totale > 0 ? ordine.Spedizione : totale));
}

void OrdineLocalDetailsWidget::setReadOnly(bool readOnly)
{
    QString clienteSheet = ui->clienteFinale->styleSheet();
    clienteSheet.remove(clienteFinaleReadOnlyRule, Qt::CaseSensitive);
    QString noteSheet = ui->note->styleSheet();
    noteSheet.remove(noteReadOnlyRule, Qt::CaseSensitive);
    if (readOnly) {
        clienteSheet += clienteFinaleReadOnlyRule;
        noteSheet += noteReadOnlyRule;
    }
    ui->clienteFinale->setStyleSheet(clienteSheet);
    ui->note->setStyleSheet(noteSheet);
    ui->clienteFinale->setReadOnly(readOnly);
    ui->note->setReadOnly(readOnly);
}

QString OrdineLocalDetailsWidget::clienteFinale() const
{
    return ui->clienteFinale->text();
}

QString OrdineLocalDetailsWidget::note() const
{
    return ui->note->toPlainText();
}

void OrdineLocalDetailsWidget::on_tableViewRighe_doubleClicked(const QModelIndex &index)
{
    const ViewportEvent last = lastViewportEvent;
    if (last.type == QEvent::MouseButtonDblClick && last.button != Qt::LeftButton)
        return;
    lastViewportEvent = ViewportEvent();
    if (!index.isValid() || index.row() < 0)
        return;

    const QString label = model->data(model->index(index.row(), 1)).toString();
    const int row = index.row();
    switch (model->tipoRiga(label)) {
    case 2:
        if (row < ordine.righeStampa.size()) {
            OrdiniLocal::OrdineRigaStampaLocal riga = ordine.righeStampa.at(row);
            auto *details = new RigheOrdineStampaLocalDetails(riga, this);
            details->exec();
            delete details;
        }
        break;
    case 1:
        if (row < ordine.righeFile.size()) {
            OrdiniLocal::OrdineRigaFileLocal riga = ordine.righeFile.at(row);
            auto *details = new RigheOrdineFileLocalDetails(riga, this);
            details->exec();
            delete details;
        }
        break;
    default:
        break;
    }
}

void OrdineLocalDetailsWidget::on_actionDettagli_triggered()
{
    on_tableViewRighe_doubleClicked(ui->tableViewRighe->currentIndex());
}

bool OrdineLocalDetailsWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->tableViewRighe->viewport()) {
        lastViewportEvent.type = event->type();
        lastViewportEvent.button = Qt::NoButton;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            lastViewportEvent.button = static_cast<QMouseEvent *>(event)->button();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void OrdineLocalDetailsWidget::focusInEvent(QFocusEvent *event)
{
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)
        ui->clienteFinale->setFocus(Qt::TabFocusReason);
    QWidget::focusInEvent(event);
}
