#include "gestioneordini.h"
#include "ui_gestioneordini.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QListWidgetItem>
#include <QMessageBox>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QPointer>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include <mutex>

#include "editedorderwriter.h"
#include "korvexglobals.h"
#include "ordine.h"
#include "ordinefile.h"
#include "ordinedetails.h"
#include "ordinetablemodel.h"
#include "ordineupload.h"
#include "ordineuploaddialog.h"
#include "ordineuploaditemwidget.h"
#include "ordini.h"
#include "utente.h"
#include "wssettingslock.h"

namespace {

const char pageListFocusStyle[] = "\n#listWidget:focus { border-color: rgb(98, 146, 255); }";

// The wait cursor while a service call or a folder scan runs on the GUI thread, restored on
// every way out.
class WaitCursor
{
public:
    WaitCursor()
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QCoreApplication::processEvents();
    }
    ~WaitCursor() { restore(); }
    void restore()
    {
        if (m_on)
            QApplication::restoreOverrideCursor();
        m_on = false;
    }

private:
    bool m_on = true;
};

// Disposes of a card taken off the list: once none of its own handlers (or a window opened
// from it) is running, so that a reload started from inside a card never pulls the card from
// under its caller, even when a nested event loop ran meanwhile.
void disposeCard(QPointer<QWidget> widget)
{
    if (!widget)
        return;
    widget->hide();
    auto *card = qobject_cast<OrdineUploadItemWidget *>(widget.data());
    if (card && card->isBusy()) {
        QTimer::singleShot(50, [widget] { disposeCard(widget); });
        return;
    }
    widget->deleteLater();
}

// The saved-orders list hands the cards it drops to disposeCard.
class CardDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void destroyEditor(QWidget *editor, const QModelIndex &) const override { disposeCard(editor); }
};

} // namespace

GestioneOrdini::GestioneOrdini(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::GestioneOrdini)
{
    ui->setupUi(this);
    ui->listWidget->setAttribute(Qt::WA_MacShowFocusRect, false);
    // Where the keyboard is: the list's frame turns to the blue of the focused buttons while it
    // has the focus; the current page is the selected one. On the list's own sheet, whose
    // frame the dialog's sheet cannot override.
    ui->listWidget->setStyleSheet(ui->listWidget->styleSheet() + QLatin1String(pageListFocusStyle));
    // Room for the page names on two lines under their pictures.
    for (int row = 0; row < ui->listWidget->count(); ++row)
        ui->listWidget->item(row)->setSizeHint(QSize(78, 112));
    ui->listWidgetOrdiniUpload->setAttribute(Qt::WA_MacShowFocusRect, false);

    setStyleSheet(styleSheet() + KorvexGlobals::QToolButtonStyleSheet + KorvexGlobals::QToolButtonFocusStyleSheet
                  + QStringLiteral(
                      "\n#listWidgetOrdiniUpload::item { border:0px transparent; }"
                      "\n#listWidgetOrdiniUpload::item:hover { border: 1px solid rgb(98, 146, 255); "
                      "background-color: qlineargradient(spread:pad, x1:0.5, y1:1, x2:0.5, y2:0, "
                      "stop:0 rgba(208, 208, 208, 255), stop:1 rgba(255, 255, 255, 255)); }"
                      "\n#listWidgetOrdiniUpload::item:selected { border: 1px solid rgb(98, 146, 255); "
                      "background-color: qlineargradient(spread:pad, x1:0.5, y1:0, x2:0.5, y2:1, "
                      "stop:0 rgba(208, 208, 208, 255), stop:1 rgba(255, 255, 255, 255)); }\n"));

    uploadDialog = new OrdineUploadDialog(ui->uploadQueueWidget);
    uploadDialog->setHideButtonVisible(false);
    uploadDialog->setWindowFlags(Qt::WindowFlags());
    uploadDialog->setAutoClose(false);
    connect(uploadDialog, &QDialog::rejected, this, &QWidget::close);
    connect(uploadDialog, &QDialog::accepted, this, &QWidget::close);
    connect(uploadDialog, &OrdineUploadDialog::filesNotFound, this, &GestioneOrdini::onFilesNotFound);
    auto *queueLayout = new QVBoxLayout;
    queueLayout->setContentsMargins(0, 0, 0, 0);
    queueLayout->addWidget(uploadDialog);
    ui->uploadQueueWidget->setLayout(queueLayout);

    ui->listWidgetOrdiniUpload->viewport()->installEventFilter(this);
    ui->listWidgetOrdiniUpload->setItemDelegate(new CardDelegate(ui->listWidgetOrdiniUpload));

    ordineTableModel = new OrdineTableModel(this);
    if (!KorvexGlobals::statusMap.isEmpty())
        ordineTableModel->setStatusMap(KorvexGlobals::statusMap);
    const QMap<QString, int> &stati = ordineTableModel->getStatusMap();

    QString legend = ui->toolButtonOrderStatusInfo->toolTip();
    for (int stato : {2, 3, 5, 6, 7, 8})
        legend = legend.arg(OrdineTableModel::statusName(stati, stato));
    ui->toolButtonOrderStatusInfo->setToolTip(legend);

    ordineTableModel->selectionCheckboxEnabled(false);

    proxyModel = new QSortFilterProxyModel(this);
    proxyModel->setSourceModel(ordineTableModel);
    QTableView *table = ui->tableViewOrdiniInviati;
    table->setModel(proxyModel);
    table->setSortingEnabled(true);
    table->horizontalHeader()->setHighlightSections(false);
    table->horizontalHeader()->setStretchLastSection(false);
    table->verticalHeader()->hide();
    table->setColumnWidth(0, 60);
    table->setColumnWidth(1, 70);
    table->setColumnWidth(4, 170);
    table->setColumnWidth(5, 100);
    table->setColumnWidth(6, 70);
    table->setColumnHidden(2, true);
    table->setColumnHidden(3, true);
    table->addAction(ui->actionOrdiniInviatiDettaglio);
    table->viewport()->installEventFilter(this);

    connect(ui->listWidgetOrdiniUpload->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &GestioneOrdini::onListWidgetOrdiniUploadSelectionChanged);

    // The defaults start no search and load nothing twice: the slots bound by name go first.
    disconnect(ui->dateEditOrdiniSalvatiDa, SIGNAL(dateChanged(QDate)), this, SLOT(on_dateEditOrdiniSalvatiDa_dateChanged(QDate)));
    disconnect(ui->dateEditOrdiniSalvatiA, SIGNAL(dateChanged(QDate)), this, SLOT(on_dateEditOrdiniSalvatiA_dateChanged(QDate)));
    disconnect(ui->dateEditOrdiniInviatiDa, SIGNAL(dateChanged(QDate)), this, SLOT(on_dateEditOrdiniInviatiDa_dateChanged(QDate)));
    disconnect(ui->dateEditOrdiniInviatiA, SIGNAL(dateChanged(QDate)), this, SLOT(on_dateEditOrdiniInviatiA_dateChanged(QDate)));
    ui->dateEditOrdiniSalvatiDa->setDate(QDate(2011, 1, 1));
    ui->dateEditOrdiniSalvatiA->setDate(QDate::currentDate());
    ui->dateEditOrdiniInviatiDa->setDate(QDate::currentDate());
    ui->dateEditOrdiniInviatiA->setDate(QDate::currentDate());
    connect(ui->dateEditOrdiniInviatiA, &QDateEdit::dateChanged, this, &GestioneOrdini::on_dateEditOrdiniInviatiA_dateChanged);
    connect(ui->dateEditOrdiniInviatiDa, &QDateEdit::dateChanged, this, &GestioneOrdini::on_dateEditOrdiniInviatiDa_dateChanged);
    connect(ui->dateEditOrdiniSalvatiA, &QDateEdit::dateChanged, this, &GestioneOrdini::on_dateEditOrdiniSalvatiA_dateChanged);
    connect(ui->dateEditOrdiniSalvatiDa, &QDateEdit::dateChanged, this, &GestioneOrdini::on_dateEditOrdiniSalvatiDa_dateChanged);

    disconnect(ui->comboBoxStato, SIGNAL(currentIndexChanged(int)), this, SLOT(on_comboBoxStato_currentIndexChanged(int)));
    ui->comboBoxStato->addItem(tr("(Tutti)"), -1);
    for (auto it = stati.cbegin(); it != stati.cend(); ++it) {
        if (it.value() != 1)
            ui->comboBoxStato->addItem(it.key(), it.value());
    }
    ui->comboBoxStato->setCurrentIndex(ui->comboBoxStato->findData(-1));
    connect(ui->comboBoxStato, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &GestioneOrdini::on_comboBoxStato_currentIndexChanged);

    m_writer = new EditedOrderWriter(KorvexGlobals::ordineUpload, this);
    connect(m_writer, &EditedOrderWriter::finished, this,
            [this](EditedOrderWriter::Outcome outcome, const OrdiniLocal::OrdineLocal &ordine, const QString &error) {
                onSendWritten(int(outcome), ordine, error);
            });

    if (KorvexGlobals::ordineUpload)
        connect(KorvexGlobals::ordineUpload, &OrdineUpload::queueChanged, this, &GestioneOrdini::loadSavedOrders);

    if (!KorvexGlobals::utente) {
        ui->listWidget->item(0)->setFlags(Qt::NoItemFlags);
        ui->listWidget->item(2)->setFlags(Qt::NoItemFlags);
        ui->listWidget->setCurrentRow(1);
    } else {
        ui->listWidget->setCurrentRow(0);
    }
}

GestioneOrdini::~GestioneOrdini()
{
    clearSavedOrders();
    clearSentOrders();
    delete ui;
    ui = nullptr;
    delete uploadDialog;
    delete proxyModel;
    delete ordineTableModel;
}

bool GestioneOrdini::eventFilter(QObject *watched, QEvent *event)
{
    lastViewportEvent.type = event->type();
    lastViewportEvent.button = Qt::NoButton;
    if (event->type() == QEvent::MouseButtonDblClick)
        lastViewportEvent.button = static_cast<QMouseEvent *>(event)->button();
    return QDialog::eventFilter(watched, event);
}

bool GestioneOrdini::lastWasOtherButtonDoubleClick() const
{
    return lastViewportEvent.type == QEvent::MouseButtonDblClick && lastViewportEvent.button != Qt::LeftButton;
}

void GestioneOrdini::configureOrdersService()
{
    std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
    if (KorvexGlobals::utente) {
        Ordini::WsUsername = KorvexGlobals::utente->username;
        Ordini::WsPassword = KorvexGlobals::utente->password;
    }
    Ordini::WsEndpoint = KorvexGlobals::WsEndpoint.toStdString();
    Ordini::WsOperatorAuth = false;
}

// ---------------------------------------------------------------------------------------
// Pages

void GestioneOrdini::on_listWidget_currentItemChanged(QListWidgetItem *current, QListWidgetItem *previous)
{
    QListWidgetItem *item = current ? current : previous;
    if (!item)
        return;
    const int row = ui->listWidget->row(item);
    ui->stackedWidget->setCurrentIndex(row);
    clearSentOrders();
    if (row == 2) {
        ui->frameWaithForUser->show();
        ui->frameLoading->hide();
        ui->frameOrdiniInviati->hide();
        ui->frameEmptyQueue_2->hide();
        ui->labelOrdiniTrovati->hide();
    } else if (row == 1) {
        ui->frameEmptyQueue->hide();
        m_unreadableTold.clear();
        loadSavedOrders();
    }
}

void GestioneOrdini::onFilesNotFound()
{
    ui->listWidget->setCurrentRow(0);
}

void GestioneOrdini::on_pushButtonClose_clicked()
{
    close();
}

// ---------------------------------------------------------------------------------------
// Saved orders

OrdineUploadItemWidget *GestioneOrdini::card(int row) const
{
    QListWidgetItem *item = ui->listWidgetOrdiniUpload->item(row);
    return item ? qobject_cast<OrdineUploadItemWidget *>(ui->listWidgetOrdiniUpload->itemWidget(item)) : nullptr;
}

void GestioneOrdini::clearSavedOrders()
{
    if (!ui)
        return;
    ui->frame->hide();
    ui->frameEmptyQueue->show();
    // A reload often starts inside a card's own signal: the list gives its cards to
    // disposeCard, which lets each go once that has returned.
    ui->listWidgetOrdiniUpload->clear();
}

void GestioneOrdini::loadSavedOrders()
{
    ui->frame->hide();
    ui->labelNoResults->hide();
    ui->labelEmptyQueue->show();
    ui->frameEmptyQueue->show();
    WaitCursor wait;
    clearSavedOrders();

    // A first start has no orders folder yet: nothing saved.
    const QDir folder(KorvexGlobals::ordersQueuePath());
    const QFileInfoList entries = !folder.exists() ? QFileInfoList() : folder.entryInfoList(QDir::Files | QDir::NoSymLinks | QDir::Hidden,
                                                       QDir::Time | QDir::Reversed);
    const int utenteId = KorvexGlobals::utente ? KorvexGlobals::utente->Getid() : 0;
    int taken = 0;
    int shown = 0;
    OrdiniLocal ordiniLocal;
    for (const QFileInfo &entry : entries) {
        if (!entry.fileName().endsWith(QLatin1String(".kv2"), Qt::CaseSensitive))
            continue;
        OrdiniLocal::OrdineLocal ordine;
        QString reason;
        if (!OrdineFile::read(entry.absoluteFilePath(), ordiniLocal, ordine, &reason)) {
            // A damaged file is left as it is; the customer learns which one and why. (No
            // reason: the file went after the listing.)
            if (!reason.isEmpty() && !m_unreadableTold.contains(entry.absoluteFilePath()))
                m_unreadableToTell.insert(entry.absoluteFilePath(), reason);
            continue;
        }

        const bool mine = KorvexGlobals::utente
            ? (ordine.Utente == 0 || ordine.Utente == utenteId) && !ordine.Attivo
            : ordine.Utente == 0;
        if (!mine)
            continue;
        ++taken;
        if (!filterByKeywords(ordine) || !filterByDate(ordine))
            continue;

        auto *item = new QListWidgetItem(ui->listWidgetOrdiniUpload);
        auto *widget = new OrdineUploadItemWidget(ordine, nullptr);
        item->setData(Qt::SizeHintRole, QSize(widget->size().width() - 70, widget->size().height()));
        ui->listWidgetOrdiniUpload->setItemWidget(item, widget);
        connect(widget, &OrdineUploadItemWidget::uploadOrderRequest, this, [this](QString uuid) { inviaOrdine(uuid); });
        connect(widget, &OrdineUploadItemWidget::editOrderRequest, this, &GestioneOrdini::modificaOrdine);
        connect(widget, &OrdineUploadItemWidget::removeOrderRequest, this, [this](QString uuid) { rimuoviOrdine(uuid); });
        ++shown;
    }

    if (shown == 0) {
        ui->frameEmptyQueue->show();
        ui->labelEmptyQueue->hide();
        ui->labelNoResults->hide();
        if (taken == 0)
            ui->labelEmptyQueue->show();
        else
            ui->labelNoResults->show();
        ui->frame->hide();
        ui->labelOrdiniSalvatiCount->hide();
    } else {
        ui->frame->show();
        ui->frameEmptyQueue->hide();
        ui->labelOrdiniSalvatiCount->show();
    }
    ui->labelOrdiniSalvatiCount->setText(shown == 1 ? tr("Trovato <b>1</b> ordine")
                                                    : tr("Trovati <b>%1</b> ordini").arg(shown));

    // Not from inside the load: it often runs in a signal of the queue.
    if (!m_unreadableToTell.isEmpty())
        QMetaObject::invokeMethod(this, &GestioneOrdini::reportUnreadableOrders, Qt::QueuedConnection);
}

void GestioneOrdini::reportUnreadableOrders()
{
    if (m_unreadableToTell.isEmpty())
        return;
    const QMap<QString, QString> files = m_unreadableToTell;
    m_unreadableToTell.clear();
    QString list;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        m_unreadableTold.insert(it.key());
        list += QStringLiteral("\n%1: %2").arg(QFileInfo(it.key()).fileName(), it.value());
    }
    const QString folder = QDir::toNativeSeparators(KorvexGlobals::ordersQueuePath());
    const QString intro = files.size() == 1
        ? tr("Impossibile leggere un ordine salvato: non è mostrato e il suo file resta com'è nella cartella %1.")
              .arg(folder)
        : tr("Impossibile leggere %1 ordini salvati: non sono mostrati e i loro file restano come sono nella "
             "cartella %2.")
              .arg(QString::number(files.size()), folder);
    QMessageBox box(QMessageBox::Warning, tr("Ordini non leggibili"), intro + QStringLiteral("\n") + list,
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

// Any of the words, taken literally and in any letter case, in the end customer or the notes.
bool GestioneOrdini::filterByKeywords(OrdiniLocal::OrdineLocal &ordine)
{
    const QStringList words =
        ui->lineEditOrdiniSalvatiSearchKeywords->text().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return true;
    for (const QString &word : words) {
        if (ordine.ClienteFinale.contains(word, Qt::CaseInsensitive) || ordine.Note.contains(word, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool GestioneOrdini::filterByDate(OrdiniLocal::OrdineLocal &ordine)
{
    const QDate da = ui->dateEditOrdiniSalvatiDa->date();
    const QDate a = ui->dateEditOrdiniSalvatiA->date();
    const QDate d = ordine.Data.date();
    return da <= a && d <= a && da <= d;
}

bool GestioneOrdini::findSavedOrder(const QString &uuid, OrdiniLocal::OrdineLocal *ordine) const
{
    for (int i = 0; i < ui->listWidgetOrdiniUpload->count(); ++i) {
        OrdineUploadItemWidget *c = card(i);
        if (!c)
            continue;
        OrdiniLocal::OrdineLocal copy = c->Ordine();
        if (copy.Uuid == uuid) {
            *ordine = copy;
            return true;
        }
    }
    return false;
}

void GestioneOrdini::inviaOrdine(QString uuid, bool showQueue)
{
    OrdiniLocal::OrdineLocal ordine;
    if (!findSavedOrder(uuid, &ordine))
        return;
    for (const PendingSend &pending : qAsConst(m_pendingSends)) {
        if (pending.ordine.Uuid == uuid)
            return;
    }
    m_pendingSends.append(PendingSend{ordine, showQueue});
    sendNext();
}

// One send at a time: the order goes active behind the queued ones, its file is written and
// the queue takes it; the rest wait for the write's answer.
void GestioneOrdini::sendNext()
{
    if (m_writer->isBusy() || m_pendingSends.isEmpty())
        return;
    PendingSend &next = m_pendingSends.first();
    next.ordine.Attivo = true;
    next.ordine.Priorita = KorvexGlobals::ordineUpload ? KorvexGlobals::ordineUpload->aggiornaPrioritaCodaDownload() : 0;
    if (!m_writer->write(next.ordine, true))
        QMetaObject::invokeMethod(this, &GestioneOrdini::sendNext, Qt::QueuedConnection);
}

void GestioneOrdini::onSendWritten(int outcome, const OrdiniLocal::OrdineLocal &ordine, const QString &error)
{
    if (m_pendingSends.isEmpty())
        return;
    const PendingSend done = m_pendingSends.takeFirst();
    if (outcome == EditedOrderWriter::Saved) {
        if (KorvexGlobals::ordineUpload)
            KorvexGlobals::ordineUpload->startUpload();
        if (done.showQueue && KorvexGlobals::utente)
            ui->listWidget->setCurrentRow(0);
    } else if (outcome == EditedOrderWriter::SentMeanwhile) {
        QMessageBox::information(this, tr("Invia"), tr("L'ordine è già stato inviato nel frattempo."));
        loadSavedOrders();
    } else if (outcome == EditedOrderWriter::RemovedMeanwhile) {
        QMessageBox::information(this, tr("Invia"),
                                 tr("L'ordine non esiste più su questo computer: è stato eliminato nel frattempo."));
        loadSavedOrders();
    } else {
        QMessageBox::warning(this, tr("Invia"), tr("Impossibile inviare l'ordine:\r\n") + error);
        loadSavedOrders();
    }
    Q_UNUSED(ordine)
    sendNext();
}

void GestioneOrdini::modificaOrdine(QString uuid)
{
    OrdiniLocal::OrdineLocal ordine;
    if (!findSavedOrder(uuid, &ordine))
        return;
    const int type = OrdiniLocal().ordineType(ordine);
    const OrdineUploadDialog::ComposerOpener opener =
        (type == 1 || type == 2) ? OrdineUploadDialog::composerOpener(type) : OrdineUploadDialog::ComposerOpener();
    if (!opener) {
        QMessageBox::warning(this, tr("Modifica Ordine"),
                             tr("Impossibile avviare la modifica dell'ordine. Tipologia di ordine sconosciuta"),
                             QMessageBox::Ok);
        return;
    }
    // The composer saves and queues what it made; the card's copy predates it.
    opener(ordine, this);
    loadSavedOrders();
}

void GestioneOrdini::rimuoviOrdine(QString uuid, bool ask)
{
    OrdiniLocal::OrdineLocal ordine;
    if (!findSavedOrder(uuid, &ordine))
        return;
    if (ask
        && QMessageBox::question(this, tr("Rimuovi"), tr("Sicuro di voler rimuovere questo ordine?"),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            != QMessageBox::Yes)
        return;
    if (KorvexGlobals::ordineUpload)
        KorvexGlobals::ordineUpload->removeItem(ordine.Uuid, true);
    OrdiniLocal().DeleteXML(ordine);
    loadSavedOrders();
}

QList<OrdiniLocal::OrdineLocal> GestioneOrdini::getSelectedOrdiniLocal()
{
    QList<OrdiniLocal::OrdineLocal> selected;
    for (const QModelIndex &index : ui->listWidgetOrdiniUpload->selectionModel()->selectedRows(0)) {
        if (OrdineUploadItemWidget *c = card(index.row()))
            selected << c->Ordine();
    }
    return selected;
}

void GestioneOrdini::onListWidgetOrdiniUploadSelectionChanged()
{
    const bool any = ui->listWidgetOrdiniUpload->selectionModel()->hasSelection();
    ui->toolButtonUploadSelected->setEnabled(any);
    ui->toolButtonRemoveSelected->setEnabled(any);
}

void GestioneOrdini::on_toolButtonUploadSelected_clicked()
{
    const QList<OrdiniLocal::OrdineLocal> selected = getSelectedOrdiniLocal();
    if (selected.isEmpty())
        return;
    for (const OrdiniLocal::OrdineLocal &ordine : selected) {
        bool queued = false;
        for (const PendingSend &pending : qAsConst(m_pendingSends))
            queued = queued || pending.ordine.Uuid == ordine.Uuid;
        if (!queued)
            m_pendingSends.append(PendingSend{ordine, false});
    }
    sendNext();
    if (KorvexGlobals::utente)
        ui->listWidget->setCurrentRow(0);
}

void GestioneOrdini::on_toolButtonRemoveSelected_clicked()
{
    const QList<OrdiniLocal::OrdineLocal> selected = getSelectedOrdiniLocal();
    if (selected.isEmpty())
        return;
    if (QMessageBox::question(this, tr("Rimuovi Selezionati"), tr("Sicuro di voler rimuovere gli ordini selezionati?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    for (const OrdiniLocal::OrdineLocal &ordine : selected) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        rimuoviOrdine(ordine.Uuid, false);
        QApplication::restoreOverrideCursor();
    }
}

void GestioneOrdini::on_listWidgetOrdiniUpload_itemDoubleClicked(QListWidgetItem *item)
{
    if (lastWasOtherButtonDoubleClick())
        return;
    lastViewportEvent = ViewportEvent();
    auto *c = item ? qobject_cast<OrdineUploadItemWidget *>(ui->listWidgetOrdiniUpload->itemWidget(item)) : nullptr;
    if (c)
        c->showDetails();
}

void GestioneOrdini::on_lineEditOrdiniSalvatiSearchKeywords_returnPressed()
{
    loadSavedOrders();
}

void GestioneOrdini::on_dateEditOrdiniSalvatiDa_dateChanged(const QDate &)
{
    loadSavedOrders();
}

void GestioneOrdini::on_dateEditOrdiniSalvatiA_dateChanged(const QDate &)
{
    loadSavedOrders();
}

void GestioneOrdini::on_toolButtonOrderStatusInfo_clicked()
{
    QToolTip::showText(QCursor::pos(), ui->toolButtonOrderStatusInfo->toolTip());
}

// ---------------------------------------------------------------------------------------
// Sent orders

void GestioneOrdini::clearSentOrders()
{
    if (ordineTableModel)
        ordineTableModel->removeAll();
    for (Ordine *ordine : m_ordini)
        delete ordine;
    m_ordini.clear();
}

void GestioneOrdini::loadSendedOrders()
{
    if (!KorvexGlobals::utente)
        return;
    ui->frameWaithForUser->hide();
    ui->frameLoading->show();
    ui->frameOrdiniInviati->hide();
    ui->frameEmptyQueue_2->hide();
    ui->labelOrdiniTrovati->hide();
    WaitCursor wait;

    clearSentOrders();

    std::vector<int> stati;
    const int chosen = ui->comboBoxStato->currentData().toInt();
    if (chosen == -1) {
        for (int i = 0; i < ui->comboBoxStato->count(); ++i)
            stati.push_back(ui->comboBoxStato->itemData(i).toInt());
    } else {
        stati.push_back(chosen);
    }

    const std::string username = KorvexGlobals::utente->username;
    const std::string dataDa = ui->dateEditOrdiniInviatiDa->date().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
    const std::string dataA = ui->dateEditOrdiniInviatiA->date().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
    const std::string endUser = ui->lineEditOrdiniInviatiSearchKeywords->text().toUtf8().toStdString();
    try {
        configureOrdersService();
        Ordine query(nullptr);
        m_ordini = query.listaIntestazioni(username, std::string(), 0, 0, dataDa, dataA, stati, 0, 0, endUser);
    } catch (const Ordine::OrdineException &e) {
        wait.restore();
        QMessageBox::warning(this, tr("Errore"),
                             tr("Impossibile ottenere la lista degli ordini!") + QStringLiteral("\r\n\r\n")
                                 + QString::fromStdString(e.message),
                             QMessageBox::Ok);
    } catch (...) {
        wait.restore();
        QMessageBox::warning(this, tr("Errore"), tr("Impossibile ottenere la lista degli ordini!"), QMessageBox::Ok);
    }
    ordineTableModel->SetVector(m_ordini);

    ui->frameLoading->hide();
    const int n = ordineTableModel->rowCount();
    if (n == 0) {
        ui->frameEmptyQueue_2->show();
        ui->labelOrdiniTrovati->hide();
        ui->frameOrdiniInviati->hide();
    } else {
        ui->frameOrdiniInviati->show();
        ui->labelOrdiniTrovati->show();
        ui->labelOrdiniTrovati->setText(n == 1 ? tr("Trovato <b>%1</b> ordine").arg(1) : tr("Trovati <b>%1</b> ordini").arg(n));
        ui->frameEmptyQueue_2->hide();
        // The columns keep their widths, growing where a title or a value would be cut.
        QTableView *table = ui->tableViewOrdiniInviati;
        for (int column = 0; column < proxyModel->columnCount(); ++column) {
            if (table->isColumnHidden(column))
                continue;
            const int width = table->columnWidth(column);
            table->resizeColumnToContents(column);
            if (table->columnWidth(column) < width)
                table->setColumnWidth(column, width);
        }
    }
}

void GestioneOrdini::on_pushButtonCerca_clicked()
{
    loadSendedOrders();
}

void GestioneOrdini::on_lineEditOrdiniInviatiSearchKeywords_returnPressed()
{
    loadSendedOrders();
}

void GestioneOrdini::on_dateEditOrdiniInviatiDa_dateChanged(const QDate &)
{
}

void GestioneOrdini::on_dateEditOrdiniInviatiA_dateChanged(const QDate &)
{
}

void GestioneOrdini::on_comboBoxStato_currentIndexChanged(int)
{
}

Ordine *GestioneOrdini::getSelectedOrdine()
{
    const QModelIndex current = ui->tableViewOrdiniInviati->selectionModel()->currentIndex();
    if (current.row() < 0)
        return nullptr;
    const QModelIndex source = proxyModel->mapToSource(current);
    const std::vector<Ordine *> ordini = ordineTableModel->GetVector();
    if (source.row() < 0 || size_t(source.row()) >= ordini.size())
        return nullptr;
    return ordini[size_t(source.row())];
}

void GestioneOrdini::on_tableViewOrdiniInviati_doubleClicked(const QModelIndex &)
{
    if (lastWasOtherButtonDoubleClick())
        return;
    lastViewportEvent = ViewportEvent();
    if (ui->tableViewOrdiniInviati->currentIndex().row() < 0)
        return;

    WaitCursor wait;
    Ordine *ordine = getSelectedOrdine();
    if (!ordine)
        return;
    bool found = false;
    try {
        configureOrdersService();
        found = ordine->init(ordine->Getguid());
    } catch (const Ordine::OrdineException &e) {
        wait.restore();
        QMessageBox::warning(this, windowTitle(),
                             tr("Impossibile caricare le informazioni dell'ordine:\r\n") + QString::fromStdString(e.message),
                             QMessageBox::Ok);
        return;
    } catch (...) {
        wait.restore();
        QMessageBox::critical(this, windowTitle(), tr("Errore imprevisto:\r\nImpossibile caricare le informazioni dell'ordine."),
                              QMessageBox::Ok);
        return;
    }
    wait.restore();
    if (!found) {
        QMessageBox::warning(this, windowTitle(),
                             tr("Impossibile caricare le informazioni dell'ordine:\r\n")
                                 + tr("l'ordine non è stato trovato sul server."),
                             QMessageBox::Ok);
        return;
    }
    auto *details = new OrdineDetails(ordine, this);
    details->setReadOnly(true);
    details->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    details->exec();
    delete details;
    ui->tableViewOrdiniInviati->setFocus(Qt::OtherFocusReason);
}

void GestioneOrdini::on_actionOrdiniInviatiDettaglio_triggered()
{
    on_tableViewOrdiniInviati_doubleClicked(ui->tableViewOrdiniInviati->currentIndex());
}
