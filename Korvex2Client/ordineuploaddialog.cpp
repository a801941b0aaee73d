#include "ordineuploaddialog.h"

#include "ui_ordineuploaddialog.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QMutexLocker>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "korvexglobals.h"
#include "ordinefile.h"
#include "ordineupload.h"
#include "ordineuploaditemwidget.h"

namespace {

// The bars count in thousandths: byte counts of 2 GiB and more do not fit an int.
constexpr int progressRange = 1000;

const QString listItemStyleSheet = QStringLiteral(
    "#listWidgetOrdiniUpload::item {    border:0px transparent;}"
    "#listWidgetOrdiniUpload::item:hover {    border:1px solid;    border-color: rgb(98, 146, 255);    "
    "background-color: qlineargradient(spread:pad, x1:0.5, y1:1, x2:0.5, y2:0.011, stop:0 rgba(208, 208, 208, 255), "
    "stop:1 rgba(255, 255, 255, 255));}"
    "#listWidgetOrdiniUpload::item:selected {    border:1px solid;    border-color: rgb(98, 146, 255);\t    "
    "background-color: qlineargradient(spread:pad, x1:0.5, y1:0, x2:0.5, y2:1, stop:0 rgba(208, 208, 208, 255), "
    "stop:1 rgba(255, 255, 255, 255));}");

// A message of the worker is plain text: a file name or a fault may hold "<" or "&".
QString asHtml(const QString &message)
{
    QString html = message.toHtmlEscaped();
    html.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
    html.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    return html;
}

OrdineUpload *queue()
{
    return KorvexGlobals::ordineUpload;
}

} // namespace

// Counts a handler of this window (or a details window it opened) while it runs.
class OrdineUploadDialog::Handling
{
public:
    explicit Handling(OrdineUploadDialog *window) : m_window(window) { ++m_window->m_handling; }
    ~Handling()
    {
        if (--m_window->m_handling == 0 && m_window->m_reloadPending)
            m_window->m_reloadTimer->start();
    }
    Q_DISABLE_COPY(Handling)

private:
    OrdineUploadDialog *m_window;
};

OrdineUploadDialog::OrdineUploadDialog(QWidget *parent)
    : QDialog(parent), ui(new Ui::OrdineUploadDialog)
{
    ui->setupUi(this);
    ui->listWidgetOrdiniUpload->setAttribute(Qt::WA_MacShowFocusRect, false);
    setStyleSheet(styleSheet() + KorvexGlobals::QToolButtonStyleSheet + KorvexGlobals::QToolButtonFocusStyleSheet
                  + listItemStyleSheet);
    controlButtonsVisible = true;
    autoClose = true;

    // A rebuild asked for while cards are busy is tried again from the event loop.
    m_reloadTimer = new QTimer(this);
    m_reloadTimer->setSingleShot(true);
    m_reloadTimer->setInterval(20);
    connect(m_reloadTimer, &QTimer::timeout, this, &OrdineUploadDialog::reloadWhenSafe);

    loadQueue();
    updateControls();
    ui->listWidgetOrdiniUpload->viewport()->installEventFilter(this);

    OrdineUpload *q = queue();
    connect(q, &OrdineUpload::queueChanged, this, &OrdineUploadDialog::onQueueChanged);
    connect(q, &OrdineUpload::finishedProcessingQueue, this, &OrdineUploadDialog::onQueueFinished);
    connect(q, &OrdineUpload::startProcessingQueue, this, &OrdineUploadDialog::onStartProcessingQueue);
    connect(q, &OrdineUpload::stopProcessingQueue, this, &OrdineUploadDialog::updateControls);
    connect(q, &OrdineUpload::orderTerminated, this, &OrdineUploadDialog::onOrderTerminated);
    connect(q, &OrdineUpload::CurrentOrderGlobalFileProgress, this, &OrdineUploadDialog::onOrderProgress,
            Qt::UniqueConnection);
    connect(q, &OrdineUpload::CurrentOrderCurrentFileProgress, this, &OrdineUploadDialog::onFileProgress,
            Qt::UniqueConnection);
    connect(q, &OrdineUpload::errorOccurred, this, &OrdineUploadDialog::onOrderUploadError);
    connect(q, &OrdineUpload::filesNotFound, this, &OrdineUploadDialog::onOrderFilesNotFound);
    connect(q, &OrdineUpload::currentProcessingFileChanged, this,
            &OrdineUploadDialog::onOrderCurrentProcessingFileChanged);
}

OrdineUploadDialog::~OrdineUploadDialog()
{
    if (m_stopping)
        QGuiApplication::restoreOverrideCursor();
    clearQueue();
}

QHash<int, OrdineUploadDialog::ComposerOpener> &OrdineUploadDialog::composerOpeners()
{
    static QHash<int, ComposerOpener> openers;
    return openers;
}

void OrdineUploadDialog::setComposerOpener(int ordineType, ComposerOpener opener)
{
    if (opener)
        composerOpeners().insert(ordineType, std::move(opener));
    else
        composerOpeners().remove(ordineType);
}

bool OrdineUploadDialog::hasComposer(int ordineType)
{
    return composerOpeners().contains(ordineType);
}

OrdineUploadDialog::ComposerOpener OrdineUploadDialog::composerOpener(int ordineType)
{
    return composerOpeners().value(ordineType);
}

// ---------------------------------------------------------------------------------------
// The list of cards

OrdineUploadItemWidget *OrdineUploadDialog::card(int row) const
{
    QListWidgetItem *item = ui->listWidgetOrdiniUpload->item(row);
    return item ? qobject_cast<OrdineUploadItemWidget *>(ui->listWidgetOrdiniUpload->itemWidget(item)) : nullptr;
}

void OrdineUploadDialog::loadQueue()
{
    OrdineUpload *q = queue();
    const int n = q->queueSize();
    const QList<OrdiniLocal::OrdineLocal> orders = q->items();
    for (int i = 0; i < n && i < orders.size(); ++i) {
        OrdiniLocal::OrdineLocal ordine = orders.at(i);
        auto *item = new QListWidgetItem(ui->listWidgetOrdiniUpload);
        auto *widget = new OrdineUploadItemWidget(ordine, nullptr);
        item->setSizeHint(QSize(widget->size().width() - 70, widget->size().height()));
        ui->listWidgetOrdiniUpload->setItemWidget(item, widget);
        connect(widget, &OrdineUploadItemWidget::stopOrderRequest, this, &OrdineUploadDialog::onStopOrderRequest);
        connect(widget, &OrdineUploadItemWidget::removeOrderRequest, this, &OrdineUploadDialog::onRemoveOrderRequest);
    }

    const bool any = n >= 1;
    ui->frameQueueProgress->setVisible(any);
    ui->frame->setVisible(any);
    ui->toolButtonStart->setVisible(any);
    ui->toolButtonStop->setVisible(any);
    controlButtonsVisible = any;
    ui->frameEmptyQueue->setVisible(!any);

    ui->labelOrdiniUploadCount->setText(n == 1 ? tr("<b>1</b> Ordine in coda")
                                               : tr("<b>%1</b> Ordini in coda").arg(n));
}

void OrdineUploadDialog::clearQueue()
{
    QListWidget *list = ui->listWidgetOrdiniUpload;
    while (list->count() > 0) {
        QListWidgetItem *item = list->item(0);
        QWidget *widget = list->itemWidget(item);
        list->removeItemWidget(item);
        delete widget;
        delete list->takeItem(0);
    }
    ui->frameQueueProgress->hide();
    ui->frame->hide();
    ui->toolButtonStart->hide();
    ui->toolButtonStop->hide();
    controlButtonsVisible = false;
    ui->frameEmptyQueue->show();
}

bool OrdineUploadDialog::safeToReload() const
{
    if (m_handling > 0)
        return false;
    for (int i = 0; i < ui->listWidgetOrdiniUpload->count(); ++i) {
        const OrdineUploadItemWidget *c = card(i);
        if (c && c->isBusy())
            return false;
    }
    return true;
}

void OrdineUploadDialog::reloadWhenSafe()
{
    if (!safeToReload()) {
        m_reloadPending = true;
        m_reloadTimer->start();
        return;
    }
    m_reloadPending = false;
    reload();
}

void OrdineUploadDialog::reload()
{
    QScrollBar *scroll = ui->listWidgetOrdiniUpload->verticalScrollBar();
    const int position = scroll->value();
    clearQueue();
    loadQueue();
    scroll->setValue(position);
    showStartOrStop();
    selectFirst();
}

void OrdineUploadDialog::onQueueChanged(int queueSize)
{
    Q_UNUSED(queueSize)
    reloadWhenSafe();
}

void OrdineUploadDialog::onQueueFinished()
{
    // The queue is empty: no card is left to show.
    reloadWhenSafe();
    if (autoClose)
        close();
}

// ---------------------------------------------------------------------------------------
// Controls and progress

void OrdineUploadDialog::showStartOrStop()
{
    if (!controlButtonsVisible)
        return;
    const bool sending = queue()->processingUploads();
    ui->toolButtonStart->setVisible(!sending);
    ui->toolButtonStop->setVisible(sending);
}

void OrdineUploadDialog::endStopping()
{
    if (!m_stopping || queue()->processingUploads())
        return;
    m_stopping = false;
    QGuiApplication::restoreOverrideCursor();
    ui->toolButtonStart->setEnabled(true);
    ui->toolButtonStop->setEnabled(true);
}

void OrdineUploadDialog::updateControls()
{
    OrdineUpload *q = queue();
    disconnect(q, &OrdineUpload::CurrentOrderGlobalFileProgress, this, &OrdineUploadDialog::onOrderProgress);
    disconnect(q, &OrdineUpload::CurrentOrderCurrentFileProgress, this, &OrdineUploadDialog::onFileProgress);
    endStopping();

    showStartOrStop();
    resetProgressBars(false);
    selectFirst();
    if (q->processingUploads()) {
        connect(q, &OrdineUpload::CurrentOrderGlobalFileProgress, this, &OrdineUploadDialog::onOrderProgress,
                Qt::UniqueConnection);
        connect(q, &OrdineUpload::CurrentOrderCurrentFileProgress, this, &OrdineUploadDialog::onFileProgress,
                Qt::UniqueConnection);
    }
}

void OrdineUploadDialog::resetProgressBars(bool marquee)
{
    for (QProgressBar *bar : {ui->progressBarFile, ui->progressBarOrdine}) {
        bar->setMinimum(0);
        bar->setMaximum(100);
        if (marquee) {
            bar->setMaximum(0);
            bar->setValue(-1);
        } else {
            bar->setMaximum(100);
            bar->setValue(0);
        }
    }
    ui->labelCurrentProcessingFile->setText(QStringLiteral("..."));
}

void OrdineUploadDialog::setBarProgress(QProgressBar *bar, qint64 done, qint64 total)
{
    bar->setRange(0, progressRange);
    if (total <= 0) {
        bar->setValue(0);
        return;
    }
    const double part = std::clamp(static_cast<double>(done) / static_cast<double>(total), 0.0, 1.0);
    bar->setValue(static_cast<int>(part * progressRange));
}

void OrdineUploadDialog::onOrderProgress(qint64 byteTransferred, qint64 totalBytes)
{
    setBarProgress(ui->progressBarOrdine, byteTransferred, totalBytes);
}

void OrdineUploadDialog::onFileProgress(qint64 byteTransferred, qint64 totalBytes)
{
    setBarProgress(ui->progressBarFile, byteTransferred, totalBytes);
}

void OrdineUploadDialog::onStartProcessingQueue()
{
    // A start reads the queue again from the order files: the cards follow.
    reloadWhenSafe();
    updateControls();
    resetProgressBars(true);
}

void OrdineUploadDialog::onOrderTerminated(int total)
{
    Q_UNUSED(total)
    resetProgressBars(false);
}

void OrdineUploadDialog::onOrderCurrentProcessingFileChanged(QFileInfo file)
{
    ui->labelCurrentProcessingFile->setText(file.fileName());
}

void OrdineUploadDialog::setControlButtonsVisible(bool visible)
{
    ui->toolButtonStart->setVisible(visible);
    ui->toolButtonStop->setVisible(visible);
    controlButtonsVisible = visible;
}

void OrdineUploadDialog::setHideButtonVisible(bool visible)
{
    ui->toolButtonHide->setVisible(visible);
}

void OrdineUploadDialog::setAutoClose(bool value)
{
    autoClose = value;
}

void OrdineUploadDialog::on_toolButtonStart_clicked()
{
    if (!queue()->processingUploads())
        queue()->startUpload();
}

void OrdineUploadDialog::on_toolButtonStop_clicked()
{
    OrdineUpload *q = queue();
    if (!q->processingUploads() || m_stopping)
        return;
    // Stopped once the worker's thread has ended (stopProcessingQueue).
    m_stopping = true;
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    ui->toolButtonStart->setEnabled(false);
    ui->toolButtonStop->setEnabled(false);
    q->terminateUpload();
}

void OrdineUploadDialog::on_toolButtonHide_clicked()
{
    close();
}

// ---------------------------------------------------------------------------------------
// Selection and details

void OrdineUploadDialog::selectFirst()
{
    if (m_selecting)
        return;
    m_selecting = true;
    QListWidget *list = ui->listWidgetOrdiniUpload;
    if (queue()->processingUploads() && list->count() > 0) {
        list->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    } else if (list->selectionModel()) {
        list->selectionModel()->clear();
    }
    m_selecting = false;
}

void OrdineUploadDialog::on_listWidgetOrdiniUpload_itemSelectionChanged()
{
    selectFirst();
}

bool OrdineUploadDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->listWidgetOrdiniUpload->viewport()) {
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
        // While the queue sends, the selection rule moves the current row back to the head at
        // the press, and the list then reports no double click on a waiting order: the window
        // takes the double click itself, once the event has been delivered.
        if (event->type() == QEvent::MouseButtonDblClick) {
            QListWidgetItem *item = ui->listWidgetOrdiniUpload->itemAt(static_cast<QMouseEvent *>(event)->pos());
            const OrdineUploadItemWidget *clicked = item ? card(ui->listWidgetOrdiniUpload->row(item)) : nullptr;
            const QString uuid = clicked ? clicked->Ordine().Uuid : QString();
            const ViewportEvent last = lastViewportEvent;
            // The cards may have been rebuilt meanwhile: the order is found again by its Uuid.
            QTimer::singleShot(0, this, [this, uuid, last] {
                for (int row = 0; !uuid.isEmpty() && row < ui->listWidgetOrdiniUpload->count(); ++row) {
                    OrdineUploadItemWidget *c = card(row);
                    if (c && c->Ordine().Uuid == uuid) {
                        lastViewportEvent = last;
                        on_listWidgetOrdiniUpload_itemDoubleClicked(ui->listWidgetOrdiniUpload->item(row));
                        return;
                    }
                }
            });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void OrdineUploadDialog::on_listWidgetOrdiniUpload_itemDoubleClicked(QListWidgetItem *item)
{
    if (lastViewportEvent.type == QEvent::MouseButtonDblClick && lastViewportEvent.button != Qt::LeftButton)
        return;
    lastViewportEvent = ViewportEvent();
    auto *c = item ? qobject_cast<OrdineUploadItemWidget *>(ui->listWidgetOrdiniUpload->itemWidget(item)) : nullptr;
    if (!c)
        return;
    Handling handling(this);
    c->showDetails();
}

// ---------------------------------------------------------------------------------------
// Cancelling and removing orders

bool OrdineUploadDialog::saveInactive(const QString &uuid, QString *error)
{
    // As the worker does, only the field this window owns changes, on the file as it is now:
    // the rows sent and the order's id recorded meanwhile stay.
    QMutexLocker lock(&OrdineFile::orderFileMutex());
    OrdiniLocal store;
    const QString path = OrdineFile::path(KorvexGlobals::ordersQueuePath(), uuid);
    OrdiniLocal::OrdineLocal onDisk;
    QString reason;
    if (!OrdineFile::read(path, store, onDisk, &reason)) {
        *error = tr("Impossibile leggere il file %1: %2")
                     .arg(QDir::toNativeSeparators(path), reason.isEmpty() ? tr("il file non esiste") : reason);
        return false;
    }
    onDisk.Uuid = uuid;
    onDisk.Attivo = false;
    return store.SaveXML(onDisk, QString(), error);
}

void OrdineUploadDialog::onStopOrderRequest(QString uuid)
{
    Handling handling(this);
    OrdineUpload *q = queue();
    const OrdiniLocal::OrdineLocal ordine = q->ordineAtIndex(q->index(uuid));
    if (ordine.Uuid.isEmpty())
        return;
    if (QMessageBox::question(this, tr("Annulla invio ordine"),
                              tr("Sei sicuro di voler annullare l'invio dell'ordine corrente?\r\n"
                                 "Gli ordini annullati verranno comunque salvati localmente"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    // The queue went on while the question was open: the order may have gone meanwhile.
    if (q->index(uuid) < 0)
        return;
    QString error;
    if (!saveInactive(uuid, &error)) {
        QMessageBox::warning(this, tr("Annulla invio ordine"),
                             tr("Impossibile annullare l'invio dell'ordine, che resta in coda:\n%1").arg(error));
        return;
    }
    // Stops a worker sending the order and goes on with the next.
    q->removeItem(uuid, false);
}

void OrdineUploadDialog::onRemoveOrderRequest(QString uuid)
{
    Handling handling(this);
    OrdineUpload *q = queue();
    const OrdiniLocal::OrdineLocal ordine = q->ordineAtIndex(q->index(uuid));
    if (ordine.Uuid.isEmpty())
        return;
    if (QMessageBox::question(this, tr("Elimina"), tr("Sicuro di voler eliminare questo ordine?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    q->removeItem(uuid, true);
}

// ---------------------------------------------------------------------------------------
// Failures of the queue

void OrdineUploadDialog::onOrderUploadError(QString message)
{
    Handling handling(this);
    queue()->terminateUpload();
    QMessageBox::critical(this, tr("Errore invio ordine"),
                          tr("<h3>Si è verificato un errore in fase di invio degli ordini</h3>") + asHtml(message),
                          QMessageBox::Ok);
}

void OrdineUploadDialog::onOrderFilesNotFound(QString uuid, QList<QFileInfo> files)
{
    Handling handling(this);
    OrdineUpload *q = queue();
    q->terminateUpload();

    QString details = tr("I seguenti file non sono stati trovati") + QStringLiteral("\r\n");
    for (const QFileInfo &file : qAsConst(files))
        details += QStringLiteral("\r\n") + file.fileName();

    const OrdiniLocal::OrdineLocal ordine = q->ordineAtIndex(q->index(uuid));
    const bool editable = !ordine.Uuid.isEmpty() && hasComposer(OrdiniLocal().ordineType(ordine));

    QMessageBox box(QMessageBox::Warning, tr("Errore invio ordine"),
                    tr("<h3>Si è verificato un errore in fase di invio degli ordini</h3>")
                        + tr("Uno o più file non sono stati trovati, modifica l'ordine per correggere il problema "
                             "oppure annulla l'invio"),
                    QMessageBox::NoButton, this);
    box.setDetailedText(details);
    QPushButton *modifica = editable ? box.addButton(tr("Modifica Ordine"), QMessageBox::AcceptRole) : nullptr;
    QPushButton *annulla = box.addButton(tr("Annulla Invio"), QMessageBox::RejectRole);
    box.setEscapeButton(annulla);
    box.exec();

    if (modifica && box.clickedButton() == modifica)
        modificaOrdine(uuid);
    else
        onStopOrderRequest(uuid);

    QCoreApplication::processEvents();
    // The same run goes on with the next order.
    q->restartUpload();
}

bool OrdineUploadDialog::modificaOrdine(QString uuid)
{
    Handling handling(this);
    bool shown = false;
    for (int i = 0; i < ui->listWidgetOrdiniUpload->count() && !shown; ++i) {
        OrdineUploadItemWidget *c = card(i);
        shown = c && c->Ordine().Uuid == uuid;
    }
    if (!shown)
        return false;

    // The card's copy predates the rows sent since: the composer gets the order file.
    OrdiniLocal::OrdineLocal ordine;
    QString reason;
    bool read = false;
    {
        QMutexLocker lock(&OrdineFile::orderFileMutex());
        OrdiniLocal store;
        read = OrdineFile::read(OrdineFile::path(KorvexGlobals::ordersQueuePath(), uuid), store, ordine, &reason);
    }
    if (!read) {
        QMessageBox::warning(this, tr("Modifica Ordine"),
                             tr("Impossibile leggere l'ordine da modificare: %1")
                                 .arg(reason.isEmpty() ? tr("il file dell'ordine non esiste") : reason));
        return false;
    }
    ordine.Uuid = uuid;

    const int type = OrdiniLocal().ordineType(ordine);
    if (type == 0) {
        QMessageBox::warning(this, tr("Modifica Ordine"),
                             tr("Impossibile avviare la modifica dell'ordine, tipologia di ordine sconosciuta. "
                                "L'ordine corrente sarà spostato negli ordini salvati per continuare l'invio degli "
                                "altri ordini in coda."),
                             QMessageBox::Ok);
        QString error;
        if (saveInactive(uuid, &error))
            queue()->removeItem(uuid, false);
        else
            QMessageBox::warning(this, tr("Modifica Ordine"), error);
        return false;
    }
    const auto opener = composerOpeners().value(type);
    if (!opener)
        return false;
    opener(ordine, this);
    return true;
}
