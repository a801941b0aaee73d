#include "mainwindow.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QListWidgetItem>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>

#include "aboutdialog.h"
#include "impostazioni.h"
#include "updateinstaller.h"
#include "updateswaitingdialog.h"
#include "updateswatcher.h"
#include "articoloinviofilecomposer.h"
#include "articolostampafotograficacomposer.h"
#include "articolowidget.h"
#include "enterkeyfilter.h"
#include "gestioneordini.h"
#include "korvexglobals.h"
#include "localdatabase.h"
#include "logindialog.h"
#include "ordinilocal.h"
#include "ordineupload.h"
#include "ordineuploaddialog.h"
#include "paymentpage.h"
#include "session.h"
#include "ui_mainwindow.h"
#include "utente.h"

namespace {

constexpr int heightWithoutStrip = 430;
constexpr int heightWithStrip = 460;
// The upload strip's bar shows per mille of the order's bytes.
constexpr int progressRange = 1000;

const char articoliStyle[] =
    "#listWidgetArticoli::item {border:0px transparent;}"
    "#listWidgetArticoli::item:hover {border:1px solid; border-color: rgb(98, 146, 255); "
    "background-color: qlineargradient(spread:pad, x1:0.5, y1:1, x2:0.5, y2:0.011, stop:0 rgba(208, 208, 208, "
    "255), stop:1 rgba(255, 255, 255, 255));}"
    "#listWidgetArticoli::item:selected {border:1px solid; border-color: rgb(98, 146, 255); "
    "background-color: qlineargradient(spread:pad, x1:0.5, y1:0, x2:0.5, y2:1, stop:0 rgba(208, 208, 208, 255), "
    "stop:1 rgba(255, 255, 255, 255));}";

// Where the keyboard is: the current article (the click clears the selection, so the entry
// style alone shows none) and the banner, whose own sheet would hide the style's mark.
const char articoliFocusStyle[] =
    "#listWidgetArticoli::item:focus {border:1px solid; border-color: rgb(98, 146, 255);}";
const char bannerFocusStyle[] =
    "#pushButtonBanner:focus {border-color: rgb(98, 146, 255); border-bottom-color: rgb(98, 146, 255);}";

// The queue window and the order manager open a local order in the composer of its kind,
// modally; the composer saves and (de)queues its result itself.
template <typename Composer>
void runComposer(const OrdiniLocal::OrdineLocal &ordine, QWidget *parent)
{
    OrdiniLocal::OrdineLocal copy = ordine;
    Composer composer(copy, parent);
    composer.setWindowFlags(Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    composer.exec();
}

void registerComposers()
{
    OrdineUploadDialog::setComposerOpener(1, &runComposer<ArticoloInvioFileComposer>);
    OrdineUploadDialog::setComposerOpener(2, &runComposer<ArticoloStampaFotograficaComposer>);
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::MainWindow>())
{
    ui->setupUi(this);
    registerComposers();

    QString formats;
    const QList<QByteArray> readable = QImageReader::supportedImageFormats();
    for (const QByteArray &format : readable)
        formats += QString::fromLatin1(format) + QStringLiteral(", ");
    formats.chop(2);
    qDebug().noquote() << QStringLiteral("QImageReader can read this formats: %1").arg(formats);

    ui->listWidgetArticoli->setAttribute(Qt::WA_MacShowFocusRect, false);
    setStyleSheet(styleSheet() + KorvexGlobals::QToolButtonStyleSheet + KorvexGlobals::QToolButtonFocusStyleSheet
                  + QLatin1String(articoliStyle) + QLatin1String(articoliFocusStyle));
    ui->pushButtonBanner->setStyleSheet(ui->pushButtonBanner->styleSheet() + QLatin1String(bannerFocusStyle));
    // Enter opens the current article, as a click does.
    auto *enterKey = new EnterKeyFilter(this);
    ui->listWidgetArticoli->installEventFilter(enterKey);
    connect(enterKey, &EnterKeyFilter::activated, this, [this](const QModelIndex &index) {
        on_listWidgetArticoli_itemClicked(ui->listWidgetArticoli->item(index.row()));
    });
    ui->toolButtonCreaDb->hide();
    ui->toolButtonLogout->hide();

    Session::releaseUtente();
    queueWindowOpen = false;

    try {
        KorvexGlobals settings(nullptr);
        settings.loadSettings();
        settings.saveSettings();
    } catch (const Korvex2Exception &e) {
        QMessageBox::critical(this, tr("Impossibile avviare l'applicazione"),
                              tr("Impossibile caricare i dati del servizio") +
                                  QStringLiteral(" (%1).\r\n\r\n").arg(QString::fromStdString(e.message)) +
                                  tr("Una nuova installazione potrebbe risolvere il problema, altrimenti "
                                     "contattare il supporto tecnico"),
                              QMessageBox::Ok);
        m_startFailed = true;
        return;
    }

    articoliIds << 1 << 2;
    articoliTable = QStringLiteral("articoli");
    configTable = QStringLiteral("config");
    layoutTable = QStringLiteral("layout");
    dbPath = KorvexGlobals::SqlDbHost;
    bannerUrl = QString();

    loadArticoli();

    queueStarted = false;
    hideUploadingWidget();
    initOrdineUpload();

    setCustomLayout();
    QCoreApplication::processEvents();
    QTimer::singleShot(1, this, &MainWindow::loginRequest);
}

MainWindow::~MainWindow()
{
    if (updatesWaitingDialog)
        delete updatesWaitingDialog.data();
    releaseUpdatesCheck();
}

bool MainWindow::startFailed() const
{
    return m_startFailed;
}

// ---------------------------------------------------------------------------------------
// Articles and banner

void MainWindow::loadArticoli()
{
    if (!QFileInfo::exists(dbPath))
        return;
    clearArticoli();
    QList<LocalDatabase::Articolo> articoli;
    QString error;
    if (!LocalDatabase::articoli(dbPath, articoliTable, articoliIds, &articoli, &error)) {
        QMessageBox::warning(this, tr("Errore"), error, QMessageBox::Ok);
        return;
    }
    for (const LocalDatabase::Articolo &articolo : qAsConst(articoli)) {
        auto *entry = new ArticoloWidget;
        entry->setArticoloId(articolo.id);
        entry->setArticoloImmagine(articolo.immagine);
        entry->setArticoloTitolo(articolo.titolo);
        entry->setArticoloDescrizione(articolo.descrizione);
        auto *item = new QListWidgetItem(ui->listWidgetArticoli);
        item->setSizeHint(entry->size());
        // The entry is painted by its widget; a screen reader reads the item.
        item->setData(Qt::AccessibleTextRole, articolo.titolo);
        item->setData(Qt::AccessibleDescriptionRole, articolo.descrizione);
        ui->listWidgetArticoli->setItemWidget(item, entry);
    }
}

void MainWindow::clearArticoli()
{
    while (ui->listWidgetArticoli->count() > 0) {
        QListWidgetItem *item = ui->listWidgetArticoli->item(0);
        QWidget *entry = ui->listWidgetArticoli->itemWidget(item);
        ui->listWidgetArticoli->removeItemWidget(item);
        delete entry;
        delete ui->listWidgetArticoli->takeItem(0);
    }
    ui->listWidgetArticoli->clear();
}

void MainWindow::setCustomLayout()
{
    bannerUrl = QString();
    ui->pushButtonBanner->setIcon(QIcon(QStringLiteral(":/Resource/main_window_banner.jpg")));
    if (!QFileInfo::exists(dbPath))
        return;
    LocalDatabase::Banner banner;
    if (!LocalDatabase::banner(dbPath, layoutTable, &banner))
        return;
    ui->pushButtonBanner->setIcon(QIcon(banner.immagine));
    bannerUrl = banner.url;
}

void MainWindow::on_pushButtonBanner_clicked()
{
    if (!bannerUrl.isEmpty())
        QDesktopServices::openUrl(QUrl(bannerUrl, QUrl::TolerantMode));
}

// ---------------------------------------------------------------------------------------
// Window buttons

void MainWindow::on_toolButtonEsci_clicked()
{
    close();
}

void MainWindow::on_listWidgetArticoli_itemClicked(QListWidgetItem *item)
{
    auto *entry = qobject_cast<ArticoloWidget *>(ui->listWidgetArticoli->itemWidget(item));
    ui->listWidgetArticoli->clearSelection();
    if (!entry)
        return;
    OrdiniLocal ordiniLocal;
    OrdiniLocal::OrdineLocal ordine;
    ordiniLocal.initOrdineLocal(ordine);
    switch (entry->id()) {
    case 1:
        showComposer(new ArticoloStampaFotograficaComposer(ordine));
        break;
    case 2:
        showComposer(new ArticoloInvioFileComposer(ordine, nullptr));
        break;
    default:
        break;
    }
}

void MainWindow::showComposer(QDialog *composer)
{
    composer->setAttribute(Qt::WA_DeleteOnClose);
    composer->setWindowFlags(Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    hide();
    composer->show();
    connect(composer, &QDialog::finished, this, &QWidget::show);
}

void MainWindow::on_toolButtonInfo_clicked()
{
    auto *about = new AboutDialog(this);
    about->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    about->exec();
    delete about;
}

void MainWindow::on_toolButtonOrdini_clicked()
{
    auto *window = new GestioneOrdini;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowFlags(Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    hide();
    window->show();
    queueWindowOpen = true;
    connect(window, &QDialog::finished, this, &MainWindow::onGestioneOrdiniClosed);
}

void MainWindow::onGestioneOrdiniClosed()
{
    queueWindowOpen = false;
    show();
}

void MainWindow::on_toolButtonCreaDb_clicked()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Salva Database"), QString(),
                                                      tr("SQLite3 DB (*.s3db)"));
    if (path.isEmpty())
        return;
    // The program's own database stays as it is: its connection is open.
    const QString chosen = QFileInfo(path).absoluteFilePath();
    const QStringList inUse = {QFileInfo(KorvexGlobals::SqlDbHost).absoluteFilePath(),
                               QFileInfo(KorvexGlobals::db.databaseName()).absoluteFilePath()};
    if (inUse.contains(chosen) ||
        (QFileInfo::exists(chosen) &&
         QFileInfo(chosen).canonicalFilePath() == QFileInfo(KorvexGlobals::SqlDbHost).canonicalFilePath())) {
        QMessageBox::warning(this, tr("Errore"),
                             tr("Il file scelto è il database in uso dal programma: scegliere un altro file."),
                             QMessageBox::Ok);
        return;
    }

    dbPath = chosen;
    const QString error = LocalDatabase::create(chosen, configTable, articoliTable);
    if (!error.isEmpty()) {
        QMessageBox::warning(this, tr("Errore"), error, QMessageBox::Ok);
        return;
    }
    loadArticoli();
    try {
        KorvexGlobals settings(nullptr);
        settings.loadSettings();
    } catch (const Korvex2Exception &) {
    }
    loginRequest();
}

// ---------------------------------------------------------------------------------------
// Login and logout

void MainWindow::loginRequest()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    // A second request while the dialog is shown (a double click on the login button lands
    // in the events just processed) brings that dialog forward instead of opening another.
    if (loginDialog && loginDialog->isVisible()) {
        loginDialog->raise();
        loginDialog->activateWindow();
        return;
    }
    auto *dialog = new LoginDialog(nullptr);
    dialog->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    if (!KorvexGlobals::WsUsername.isEmpty() && !KorvexGlobals::WsPassword.isEmpty()) {
        try {
            dialog->validateLogin(KorvexGlobals::WsUsername, KorvexGlobals::WsPassword);
            Session::replaceUtente(dialog->getUtente());
            delete dialog;
            onLoginSucceded();
            return;
        } catch (const Korvex2Exception &e) {
            qDebug() << "Login automatico non riuscito:" << QString::fromStdString(e.message);
        }
    }

    hide();
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowFlags(dialog->windowFlags() | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dialog->show();
    loginDialog = dialog;
    connect(dialog, &QDialog::accepted, this, &MainWindow::onLoginSucceded);
    connect(dialog, &QDialog::rejected, this, &MainWindow::onLoginCancelled);
}

void MainWindow::on_toolButtonLogin_clicked()
{
    loginRequest();
}

void MainWindow::onLoginSucceded()
{
    show();
    raise();
    if (!KorvexGlobals::utente) {
        QMessageBox::warning(this, tr("Errore login"), tr("Login fallito in seguito ad un errore sconosciuto"),
                             QMessageBox::Ok);
        on_toolButtonLogout_clicked();
        return;
    }
    ui->toolButtonLogin->hide();
    ui->toolButtonLogout->show();
    ui->toolButtonLogout->setText(QString::fromStdString(KorvexGlobals::utente->username));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
    if (KorvexGlobals::CheckUpdatesAtStartup && !KorvexGlobals::WsEndpoint.isEmpty())
        checkForUpdates();
    if (programReplaced)
        return;

    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    queue->loadQueue();
    if (queue->queueSize() < 1)
        hideUploadingWidget();
    else
        showUploadingWidget(false);
    if (KorvexGlobals::UploadsAutoStart)
        queue->startUpload();
}

void MainWindow::onLoginCancelled()
{
    if (isHidden())
        show();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
    if (KorvexGlobals::CheckUpdatesAtStartup && !KorvexGlobals::WsEndpoint.isEmpty())
        checkForUpdates();
}

void MainWindow::on_toolButtonLogout_clicked()
{
    const auto answer = QMessageBox::question(this, tr("Disconnetti"),
                                              tr("Sei sicuro di voler disconnettere l'utente corrente?"),
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    // The queue ends while the customer is still set (the payment page may follow).
    KorvexGlobals::ordineUpload->clearUploads();
    KorvexGlobals::WsUsername.clear();
    KorvexGlobals::WsPassword.clear();
    Session::releaseUtente();
    // A worker that was sending has reported its stop by now, which shows the strip idle;
    // the queue is empty, so the strip goes.
    hideUploadingWidget();
    KorvexGlobals settings(nullptr);
    settings.saveSettings();
    ui->toolButtonLogout->hide();
    ui->toolButtonLogout->setText(tr("Username"));
    ui->toolButtonLogin->show();
}

// ---------------------------------------------------------------------------------------
// Upload strip, upload errors and payment page

void MainWindow::initOrdineUpload()
{
    if (!KorvexGlobals::ordineUpload)
        KorvexGlobals::ordineUpload = new OrdineUpload(nullptr);
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    connect(queue, &OrdineUpload::startProcessingQueue, this, &MainWindow::onStartProcessingQueue);
    connect(queue, &OrdineUpload::stopProcessingQueue, this, &MainWindow::on_toolButtonUploadsStop_clicked);
    connect(queue, &OrdineUpload::finishedProcessingQueue, this, &MainWindow::finishProcessQueue);
    connect(queue, &OrdineUpload::CurrentOrderGlobalFileProgress, this, &MainWindow::onUploadGlobalFileProgress);
    connect(queue, &OrdineUpload::orderTerminated, this, &MainWindow::onUploadOrderTerminated);
    connect(queue, &OrdineUpload::queueChanged, this, &MainWindow::onUploadOrderTerminated);
    connect(queue, &OrdineUpload::errorOccurred, this, &MainWindow::onOrderUploadError);
    connect(queue, &OrdineUpload::filesNotFound, this, &MainWindow::onFilesNotFound);
    // Queued: the boxes open from the event loop, never from inside the queue's own work.
    connect(queue, &OrdineUpload::unreadableOrderFiles, this, &MainWindow::onUnreadableOrderFiles,
            Qt::QueuedConnection);
    connect(queue, &OrdineUpload::orderFileNotRemoved, this, &MainWindow::onOrderFileNotRemoved,
            Qt::QueuedConnection);
}

void MainWindow::hideUploadingWidget()
{
    ui->progressBarUploads->setRange(0, 0);
    ui->progressBarUploads->setValue(0);
    ui->ProgressLabelUploads->setText(tr("Invio ordine"));
    ui->widgetUploading->hide();
    ui->toolButtonUploadsStart->show();
    ui->toolButtonUploadsStop->hide();
    setMaximumHeight(heightWithoutStrip);
    setMinimumHeight(heightWithoutStrip);
    resize(width(), heightWithoutStrip);
    ui->centralWidget->setMinimumHeight(heightWithoutStrip);
    ui->centralWidget->setMaximumHeight(heightWithoutStrip);
}

void MainWindow::showUploadingWidget(bool marque)
{
    ui->centralWidget->setMinimumHeight(heightWithStrip);
    ui->centralWidget->setMaximumHeight(heightWithStrip);
    setMaximumHeight(heightWithStrip);
    setMinimumHeight(heightWithStrip);
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    const bool processing = queue && queue->processingUploads();
    // Asked to stop, the worker ends at its next safe point (a service call may take a
    // while): Start comes back once it has ended.
    const bool stopping = queue && queue->isStopping();
    ui->toolButtonUploadsStart->setVisible(!processing);
    ui->toolButtonUploadsStop->setVisible(processing);
    ui->toolButtonUploadsStop->setEnabled(!stopping);
    ui->toolButtonUploadsStop->setToolTip(stopping ? tr("Sospensione in corso: l'invio si ferma appena "
                                                        "finisce l'operazione in corso")
                                                   : tr("Sospendi l'invio degli ordini in coda"));
    ui->progressBarUploads->setMinimum(0);
    if (marque) {
        ui->progressBarUploads->setMaximum(0);
        ui->progressBarUploads->setValue(-1);
    } else {
        ui->progressBarUploads->setMaximum(100);
        ui->progressBarUploads->setValue(0);
    }
    if (stopping)
        ui->ProgressLabelUploads->setText(tr("Sospensione in corso..."));
    else
        ui->ProgressLabelUploads->setText(tr("Invio ordine (%1 in coda) ").arg(queue ? queue->items().size() : 0));
    ui->widgetUploading->show();
}

void MainWindow::onStartProcessingQueue()
{
    queueStarted = true;
    showUploadingWidget(true);
}

void MainWindow::onUploadGlobalFileProgress(qint64 current, qint64 total)
{
    ui->progressBarUploads->setRange(0, progressRange);
    if (total <= 0) {
        ui->progressBarUploads->setValue(0);
        return;
    }
    const double done = std::clamp(static_cast<double>(current) / static_cast<double>(total), 0.0, 1.0);
    ui->progressBarUploads->setValue(static_cast<int>(done * progressRange));
}

void MainWindow::onUploadOrderTerminated(int total)
{
    // While the queue stops the strip says so; the count comes back with the stop.
    if (KorvexGlobals::ordineUpload && KorvexGlobals::ordineUpload->isStopping())
        return;
    ui->ProgressLabelUploads->setText(tr("Invio ordine (%1 in coda) ").arg(total));
}

void MainWindow::on_toolButtonUploadsStop_clicked()
{
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    if (queue->processingUploads())
        queue->terminateUpload();
    ui->toolButtonUploadsStop->hide();
    ui->toolButtonUploadsStart->show();
    showUploadingWidget(false);
}

void MainWindow::on_toolButtonUploadsStart_clicked()
{
    if (!KorvexGlobals::utente)
        return;
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    if (!queue->processingUploads())
        queue->startUpload();
    ui->toolButtonUploadsStop->show();
    ui->toolButtonUploadsStart->hide();
}

void MainWindow::onOrderUploadError(const QString &message)
{
    if (queueWindowOpen)
        return;
    KorvexGlobals::ordineUpload->terminateUpload();
    if (KorvexGlobals::ordineUpload->isStopping())
        showUploadingWidget(false);
    // The worker's message is plain text: a file name or a fault may hold "<" or "&".
    QString text = tr("<h3>Si è verificato un errore in fase di invio degli ordini</h3>");
    if (!message.isEmpty())
        text += message.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    QMessageBox::critical(this, tr("Errore invio ordine"), text, QMessageBox::Ok);
}

void MainWindow::onFilesNotFound(const QString &uuid, const QList<QFileInfo> &files)
{
    Q_UNUSED(uuid)
    Q_UNUSED(files)
    if (queueWindowOpen)
        return;
    KorvexGlobals::ordineUpload->terminateUpload();
    if (KorvexGlobals::ordineUpload->isStopping())
        showUploadingWidget(false);
    QMessageBox box(QMessageBox::Warning, tr("Errore invio ordine"),
                    tr("<h3>Si è verificato un errore in fase di invio degli ordini</h3>") +
                        tr("Uno o più file non sono stati trovati"),
                    QMessageBox::NoButton, this);
    QPushButton *details = box.addButton(tr("Finestra Dettagli"), QMessageBox::AcceptRole);
    box.addButton(tr("Chiudi"), QMessageBox::RejectRole);
    box.setDefaultButton(details);
    box.setEscapeButton(static_cast<QAbstractButton *>(nullptr));
    box.exec();
    if (box.clickedButton() != details)
        return;
    // The restarted worker reports the missing files again, to the queue window. The same run
    // goes on: what it sent before still leads to the payment page.
    KorvexGlobals::ordineUpload->restartUpload();
    openQueueWindow();
}

void MainWindow::on_toolButtonUploadsDetails_clicked()
{
    openQueueWindow();
}

void MainWindow::openQueueWindow()
{
    if (queueWindowOpen)
        return;
    auto *window = new OrdineUploadDialog(this);
    queueWindowOpen = true;
    window->exec();
    delete window;
    queueWindowOpen = false;
}

void MainWindow::finishProcessQueue()
{
    hideUploadingWidget();
    // Cancelling or removing the last queued order also ends the queue: only a run that sent
    // an order leads to the payment page (the queue forgets at each start what went before).
    if (queueStarted && KorvexGlobals::ordineUpload->orderSentThisRun() && KorvexGlobals::utente
        && KorvexGlobals::utente->pagamento == 2)
        openPaymentPage();
    queueStarted = false;
}

void MainWindow::onUnreadableOrderFiles(const QMap<QString, QString> &reasons)
{
    QString list;
    for (auto it = reasons.cbegin(); it != reasons.cend(); ++it) {
        if (m_unreadableTold.contains(it.key()))
            continue;
        m_unreadableTold.insert(it.key());
        list += QStringLiteral("<br><b>%1</b>: %2")
                    .arg(QDir::toNativeSeparators(it.key()).toHtmlEscaped(), it.value().toHtmlEscaped());
    }
    if (list.isEmpty())
        return;
    QMessageBox::warning(this, tr("Ordini non leggibili"),
                         tr("<h3>Impossibile leggere alcuni ordini in coda</h3>")
                             + tr("Questi ordini non saranno inviati; i loro file restano dove sono:") + list,
                         QMessageBox::Ok);
}

void MainWindow::onOrderFileNotRemoved(const QString &uuid, const QString &filePath, const QString &reason)
{
    if (m_notRemovedTold.contains(uuid))
        return;
    m_notRemovedTold.insert(uuid);
    QMessageBox::warning(this, tr("Ordine inviato"),
                         tr("<h3>L'ordine è stato inviato, ma il suo file non si può eliminare</h3>")
                             + tr("Il laboratorio ha ricevuto l'ordine, che non sarà inviato di nuovo. "
                                  "Il file <b>%1</b> resta sul disco (%2): puoi eliminarlo a mano.")
                                   .arg(QDir::toNativeSeparators(filePath).toHtmlEscaped(), reason.toHtmlEscaped()),
                         QMessageBox::Ok);
}

void MainWindow::openPaymentPage()
{
    const QUrl page = PaymentPage::lastOrderOfToday(*KorvexGlobals::utente, KorvexGlobals::WsEndpoint);
    if (!page.isEmpty())
        QDesktopServices::openUrl(page);
}

// ---------------------------------------------------------------------------------------
// Settings window

void MainWindow::on_toolButtonImpostazioni_clicked()
{
    auto *settings = new Impostazioni(nullptr);
    settings->setAttribute(Qt::WA_DeleteOnClose);
    settings->setWindowFlags(settings->windowFlags() | Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
    connect(settings, &Impostazioni::catalogueUpdated, this, [this] {
        setCustomLayout();
        loadArticoli();
    });
    hide();
    settings->show();
    connect(settings, &QDialog::finished, this, &QWidget::show);
}

// ---------------------------------------------------------------------------------------
// Update check after a login

void MainWindow::releaseUpdatesCheck()
{
    ::releaseUpdatesCheck(updatesThread, updatesWatcher);
    updatesThread = nullptr;
    updatesWatcher = nullptr;
}

void MainWindow::checkForUpdates()
{
    releaseUpdatesCheck();
    updatesThread = new QThread(nullptr);
    updatesWatcher = new UpdatesWatcher(nullptr);
    updatesWatcher->moveToThread(updatesThread);
    connect(updatesThread, &QThread::started, updatesWatcher, &UpdatesWatcher::checkForUpdates);
    connect(updatesWatcher, &UpdatesWatcher::newUpdateAvailable, this, &MainWindow::onNewUpdatesAvailable);
    connect(updatesWatcher, &UpdatesWatcher::noUpdatesAvailable, this, &MainWindow::closeUpdatesWaitingDialog);
    connect(updatesWatcher, &UpdatesWatcher::requestTerminated, this, &MainWindow::onUpdatesRequestTerminated);
    connect(updatesWatcher, &UpdatesWatcher::errorOccurred, this, &MainWindow::onUpdatesErrorOccurred);
    pendingUpdateQueries = 2;

    waitForUpdatesCheck(updatesThread);
}

void MainWindow::waitForUpdatesCheck(QThread *threadToStart)
{
    if (updatesWaitingDialog) {
        updatesWaitingDialog->disconnect(this);
        updatesWaitingDialog->close();
        delete updatesWaitingDialog.data();
    }
    auto *dialog = new UpdatesWaitingDialog(this);
    updatesWaitingDialog = dialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::rejected, this, &MainWindow::checkForUpdatesCancel);
    dialog->setWindowFlags(dialog->windowFlags() | Qt::Sheet | Qt::Dialog);
    dialog->setUpdatesThread(threadToStart);
    dialog->exec();
}

void MainWindow::closeUpdatesWaitingDialog()
{
    if (sender() && sender() != updatesWatcher)
        return;
    pendingUpdateQueries = 0;
    if (updatesWaitingDialog) {
        UpdatesWaitingDialog *dialog = updatesWaitingDialog;
        updatesWaitingDialog = nullptr;
        dialog->disconnect(this);
        dialog->accept();
    }
}

void MainWindow::checkForUpdatesCancel()
{
    updatesWaitingDialog = nullptr;
    releaseUpdatesCheck();
}

void MainWindow::onUpdatesRequestTerminated()
{
    if (sender() == updatesWatcher && pendingUpdateQueries > 0)
        --pendingUpdateQueries;
}

void MainWindow::onUpdatesErrorOccurred(const QString &code, const QString &message)
{
    if (sender() != updatesWatcher)
        return;
    qDebug() << "MainWindow::onUpdatesErrorOccurred" << code << message;
    if (pendingUpdateQueries > 0)
        --pendingUpdateQueries;
    // The check's last query failed: nothing more will answer, so the waiting ends.
    if (pendingUpdateQueries == 0)
        closeUpdatesWaitingDialog();
}

void MainWindow::onNewUpdatesAvailable(korvex2__IdComponenteType type)
{
    if (sender() != updatesWatcher || !updatesWatcher)
        return;
    closeUpdatesWaitingDialog();
    const AggiornamentoItem item = updatesWatcher->item;
    const UpdateInstaller::Outcome outcome = UpdateInstaller::offer(this, type, item, [this] {
        setCustomLayout();
        loadArticoli();
    });
    const bool program = type == korvex2__IdComponenteType__InstallatoreProgramma
                         || type == korvex2__IdComponenteType__Programma;
    if (outcome == UpdateInstaller::Outcome::ProgramStarted)
        programReplaced = true;
    if (outcome == UpdateInstaller::Outcome::Declined && program && updatesWatcher) {
        // The data check runs on the check's thread, whose loop is still running. The
        // check goes on until it answers, with the waiting dialog up again: whoever asked
        // for the check (the login) goes on only once the catalogue was offered too.
        pendingUpdateQueries = 1;
        QMetaObject::invokeMethod(updatesWatcher, &UpdatesWatcher::checkForServiceDataUpdates, Qt::QueuedConnection);
        waitForUpdatesCheck(nullptr);
    }
}
