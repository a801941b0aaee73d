#include "ordineuploadthread.h"

#include <algorithm>
#include <exception>
#include <mutex>

#include <QDebug>
#include <QDir>
#include <QMutexLocker>
#include <QScopeGuard>

#include "file.h"
#include "ftpcourier.h"
#include "impostazione.h"
#include "korvex2.h"
#include "korvex2exception.h"
#include "korvexglobals.h"
#include "ordine.h"
#include "ordinefile.h"
#include "ordini.h"
#include "ordinerigafile.h"
#include "ordinerigastampa.h"
#include "printimagerenderer.h"
#include "prodotti.h"
#include "stampa.h"
#include "utente.h"
#include "wssettingslock.h"

namespace {

constexpr int uploadAttempts = 5;
constexpr unsigned long firstRetryPauseMs = 500;

// Thrown inside the run when a stop was asked for; ends it with uploadStopped.
struct StopRequest
{
};

// Thrown when an unsent row's file has gone from the disk; ends the run with filesNotFound.
struct FilesMissing
{
};

// Thrown when the order's own file has gone before the laboratory holds the order: another
// program removed it (this one's queue stops a worker before it removes that worker's order
// file), most likely because it sent the order. Ends the run with the order skipped.
struct OrderFileRemoved
{
};

QString fromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), int(text.size()));
}

std::string toUtf8(const QString &text)
{
    return text.toUtf8().toStdString();
}

std::string prefixed(const QString &prefix, const std::string &message)
{
    return toUtf8(prefix + fromUtf8(message));
}

QString unknownServiceError()
{
    // The libraries' own text for a service call that did not succeed.
    return QStringLiteral("Si è verificato un errore sconosciuto sul webservice");
}

} // namespace

OrdineUploadThread::OrdineUploadThread(OrdiniLocal::OrdineLocal &ordine, QObject *parent)
    : QThread(parent),
      ordineLocal(ordine),
      m_uuid(ordine.Uuid),
      m_endpoint(toUtf8(KorvexGlobals::WsEndpoint)),
      m_ordersFolder(KorvexGlobals::ordersQueuePath()),
      m_ftpBufferSize(KorvexGlobals::FTPBufferSize),
      m_jpegQuality(KorvexGlobals::JpegCompressionQuality),
      m_iccProfilePath(KorvexGlobals::iccColorProfileLocation),
      m_catalogueFile(KorvexGlobals::SqlDbHost)
{
    if (KorvexGlobals::utente) {
        m_utente = std::make_unique<Utente>();
        *m_utente = *KorvexGlobals::utente;
    }
    m_renderPool.setMaxThreadCount(1);
    m_renderPool.setExpiryTimeout(-1);
    qRegisterMetaType<QFileInfo>("QFileInfo");
    qRegisterMetaType<QList<QFileInfo>>("QList<QFileInfo>");
}

OrdineUploadThread::~OrdineUploadThread()
{
    // The queue releases a worker only once its thread has ended.
    Q_ASSERT(!isRunning());
    dropFtpCourier();
}

QString OrdineUploadThread::uuid() const
{
    return m_uuid;
}

bool OrdineUploadThread::ordineInviato() const
{
    return m_ordineInviato.load();
}

bool OrdineUploadThread::recordingOrder() const
{
    return m_recordingOrder.load();
}

void OrdineUploadThread::requestStop()
{
    {
        QMutexLocker pauseLock(&m_pauseMutex);
        m_stopRequested.store(true);
        m_pauseCondition.wakeAll();
    }
    QMutexLocker ftpLock(&m_ftpMutex);
    if (ftpCourier)
        ftpCourier->abort();
}

bool OrdineUploadThread::stopRequested() const
{
    return m_stopRequested.load();
}

void OrdineUploadThread::throwIfStopRequested() const
{
    if (m_stopRequested.load())
        throw StopRequest();
}

qint64 OrdineUploadThread::calucaleTotalFilesSize()
{
    qint64 total = 0;
    for (const OrdiniLocal::OrdineRigaFileLocal &riga : qAsConst(ordineLocal.righeFile))
        total += QFileInfo(riga.FilePath).size();
    for (const OrdiniLocal::OrdineRigaStampaLocal &riga : qAsConst(ordineLocal.righeStampa))
        total += QFileInfo(riga.FilePath).size();
    return total;
}

QList<QFileInfo> OrdineUploadThread::missingFiles() const
{
    QList<QFileInfo> missing;
    for (const OrdiniLocal::OrdineRigaFileLocal &riga : ordineLocal.righeFile) {
        if (!QFileInfo::exists(riga.FilePath))
            missing.append(QFileInfo(riga.FilePath));
    }
    for (const OrdiniLocal::OrdineRigaStampaLocal &riga : ordineLocal.righeStampa) {
        if (!QFileInfo::exists(riga.FilePath))
            missing.append(QFileInfo(riga.FilePath));
    }
    return missing;
}

bool OrdineUploadThread::checkFiles()
{
    const QList<QFileInfo> missing = missingFiles();
    if (missing.isEmpty())
        return true;
    finish(Outcome::FilesMissing, QString(), missing);
    return false;
}

void OrdineUploadThread::finish(Outcome outcome, const QString &message,
                                const QList<QFileInfo> &files)
{
    if (m_outcome != Outcome::None)
        return;
    m_outcome = outcome;
    switch (outcome) {
    case Outcome::Sent:
    case Outcome::Skipped:
        m_ordineInviato.store(outcome == Outcome::Sent);
        emit orderTerminated();
        break;
    case Outcome::Error:
        qDebug().noquote() << tr("Ordine n: %1 - Errore: %2").arg(m_uuid, message);
        emit errorOccurred(message);
        break;
    case Outcome::FilesMissing:
        emit filesNotFound(m_uuid, files);
        break;
    case Outcome::Stopped:
        emit uploadStopped();
        break;
    case Outcome::None:
        break;
    }
}

void OrdineUploadThread::run()
{
    // The catalogue as it was named when the worker was made, whatever the settings say now.
    OrdiniLocal::setThreadCatalogueFile(m_catalogueFile);
    try {
        runOrder();
    } catch (const StopRequest &) {
        finish(Outcome::Stopped);
    } catch (const FilesMissing &) {
        finish(Outcome::FilesMissing, QString(), missingFiles());
    } catch (const OrderFileRemoved &) {
        qDebug().noquote() << tr("Ordine n: %1 - Saltato (%2)").arg(m_uuid, QStringLiteral("file dell'ordine rimosso"));
        finish(Outcome::Skipped);
    } catch (const Korvex2Exception &e) {
        finish(m_stopRequested.load() ? Outcome::Stopped : Outcome::Error, fromUtf8(e.message));
    } catch (...) {
        finish(m_stopRequested.load() ? Outcome::Stopped : Outcome::Error,
               tr("Errore imprevisto:\r\nImpossibile aggiungere l'articolo all'ordine."));
    }
    // A run that stopped without any report (it cannot, but the queue relies on one).
    finish(Outcome::Error, tr("Impossibile inviare l'ordine in seguito ad un errore sconosciuto."));
    dropNextRender();
    dropFtpCourier();
}

void OrdineUploadThread::throwIfOrderFileRemoved() const
{
    if (!QFileInfo::exists(OrdineFile::path(m_ordersFolder, m_uuid)))
        throw OrderFileRemoved();
}

void OrdineUploadThread::runOrder()
{
    // An order whose file has gone is nobody's to send any more.
    throwIfOrderFileRemoved();

    // 1. Every row's file must be there, also for an order that is then skipped.
    if (!checkFiles())
        return;

    // 2. Orders that are not this customer's to send.
    QString reason;
    if (!ordineLocal.Attivo)
        reason = QStringLiteral("Non attivo");
    else if (ordineLocal.Inviato)
        reason = QStringLiteral("Già inviato");
    else if (!m_utente)
        reason = QStringLiteral("Id utente non valido");
    else if (ordineLocal.Utente != 0 && ordineLocal.Utente != m_utente->Getid())
        reason = QStringLiteral("Id utente non valido");
    if (!reason.isEmpty()) {
        qDebug().noquote() << tr("Ordine n: %1 - Saltato (%2)").arg(m_uuid, reason);
        // An order sent by an earlier run counts as sent: its file may go.
        finish(ordineLocal.Inviato && ordineLocal.Attivo ? Outcome::Sent : Outcome::Skipped);
        return;
    }

    throwIfStopRequested();
    totalFilesSize.store(calucaleTotalFilesSize());
    // The first print to send is rendered while the run asks for the FTP server and registers
    // the first rows.
    renderNextStampa(-1);

    // 4. Connection settings of the libraries this run calls.
    {
        std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
        Ordini::WsEndpoint = m_endpoint;
        Ordini::WsOperatorAuth = false;
        Prodotti::WsEndpoint = m_endpoint;
        Prodotti::WsOperatorAuth = false;
        korvex2::WsEndpoint = m_endpoint;
        korvex2::WsOperatorAuth = false;
        Ordini::WsUsername = m_utente->username;
        Ordini::WsPassword = m_utente->password;
        Prodotti::WsUsername = m_utente->username;
        Prodotti::WsPassword = m_utente->password;
        korvex2::WsUsername = m_utente->username;
        korvex2::WsPassword = m_utente->password;
    }

    // 5. The FTP server.
    try {
        Impostazione impostazione;
        const ImpostazioniServerFTPItem ftp = impostazione.ottieniImpostazioniServerFTP();
        ftpUsername = fromUtf8(ftp.username);
        ftpPassword = fromUtf8(ftp.password);
        ftpHost = fromUtf8(ftp.host);
        ftpPort = ftp.porta;
        ftpWorkingDir = fromUtf8(ftp.cartella);
        if (!ftpWorkingDir.endsWith(QLatin1Char('/')))
            ftpWorkingDir += QLatin1Char('/');
        ftpUploadFlag = ftp.sovrascrivi;
    } catch (const Korvex2Exception &e) {
        throwIfStopRequested();
        QString text = tr("Impossibile ottenere le impostazioni del server FTP");
        if (!e.message.empty())
            text += QStringLiteral("\n\n") + fromUtf8(e.message);
        finish(Outcome::Error, text);
        return;
    }
    throwIfStopRequested();

    // 6. The order record, with its own copy of the customer.
    std::unique_ptr<Ordine> ordine = std::make_unique<Ordine>(nullptr);
    ordine->stato = 2;
    ordine->note = toUtf8(ordineLocal.Note);
    *ordine->utente = *m_utente;
    ordine->cliente_finale = toUtf8(ordineLocal.ClienteFinale);
    if (ordineLocal.Data.isValid())
        ordine->data = time_t(quint32(ordineLocal.Data.toSecsSinceEpoch()));
    if (ordineLocal.DataUltimaModifica.isValid())
        ordine->data_ultima_modifica = time_t(quint32(ordineLocal.DataUltimaModifica.toSecsSinceEpoch()));

    // 7. to 9. The FTP client and the rows.
    createFtpCourier();
    uploadOrdineRigaFile(ordine.get());
    uploadOrdineRigaStampa(ordine.get());

    // 10. Nothing to send.
    if (ordine->righe.empty()) {
        finish(Outcome::Error, tr("Impossibile inviare l'ordine in seguito ad un errore sconosciuto."));
        return;
    }

    throwIfStopRequested();
    // 11. The order record on the service.
    sendOrderRecord(ordine.get());
}

void OrdineUploadThread::sendOrderRecord(Ordine *ordine)
{
    // The last look before the laboratory takes the order.
    throwIfOrderFileRemoved();
    // Marked before the last look at a stop: a program that ends sees either no record begun or
    // this mark, and waits for the record's answer.
    m_recordingOrder.store(true);
    const auto recorded = qScopeGuard([this] { m_recordingOrder.store(false); });
    throwIfStopRequested();
    const QString prefix = tr("Impossibile inserire l'ordine:\r\n");
    try {
        bool accepted = false;
        if (ordineLocal.WsId.isEmpty()) {
            accepted = ordine->inserisci();
        } else {
            // The service's copy only tells whether the order can still be changed; what is
            // sent is the order as it stands now, with this run's rows.
            Ordine remote(nullptr);
            if (remote.init(toUtf8(ordineLocal.WsId)) && remote.stato == 1) {
                ordine->Setguid(remote.Getguid());
                ordine->numero = remote.numero;
                accepted = ordine->modifica();
            } else {
                accepted = ordine->inserisci();
            }
        }
        if (!accepted || ordine->Getguid().empty())
            throw Ordine::OrdineException(std::string(), toUtf8(unknownServiceError()));
    } catch (const Korvex2Exception &e) {
        finish(Outcome::Error, prefix + fromUtf8(e.message));
        return;
    }

    // Recorded at once: the window in which the laboratory holds the order and the order file
    // does not say so is this one save.
    ordineLocal.Utente = m_utente->Getid();
    ordineLocal.WsId = fromUtf8(ordine->Getguid());
    ordineLocal.Inviato = true;
    m_orderRecorded = true;
    try {
        saveProgress();
    } catch (const Korvex2Exception &e) {
        // The order is on the service: the queue removes its file all the same.
        qWarning().noquote() << fromUtf8(e.message);
    }
    m_recordingOrder.store(false);
    qDebug().noquote() << tr("Ordine n: %1 - Inserito! WsID: %2").arg(m_uuid, ordineLocal.WsId);
    finish(Outcome::Sent);
}

void OrdineUploadThread::uploadOrdineRigaFile(Ordine *ordine)
{
    uploadRows(ordine, RowKind::File);
}

void OrdineUploadThread::uploadOrdineRigaStampa(Ordine *ordine)
{
    uploadRows(ordine, RowKind::Stampa);
}

void OrdineUploadThread::uploadRows(Ordine *ordine, RowKind kind)
{
    const bool stampa = kind == RowKind::Stampa;
    const int rowCount = stampa ? ordineLocal.righeStampa.size() : ordineLocal.righeFile.size();
    if (rowCount == 0)
        return;
    const int total = ordineLocal.righeFile.size() + ordineLocal.righeStampa.size();

    for (int i = 0; i < rowCount; ++i) {
        throwIfStopRequested();

        // The row as it stands; rows are written back only through setRowState.
        const QString filePath = stampa ? ordineLocal.righeStampa.at(i).FilePath
                                        : ordineLocal.righeFile.at(i).FilePath;
        const QString wsFileId = stampa ? ordineLocal.righeStampa.at(i).WsFileId
                                        : ordineLocal.righeFile.at(i).WsFileId;
        const bool inviata = stampa ? ordineLocal.righeStampa.at(i).Inviata
                                    : ordineLocal.righeFile.at(i).Inviata;
        const OrdiniLocal::OrdineRigaStampaLocal rigaStampa =
            stampa ? ordineLocal.righeStampa.at(i) : OrdiniLocal::OrdineRigaStampaLocal();
        auto setRowState = [&](const QString &id, bool sent) {
            if (stampa) {
                ordineLocal.righeStampa[i].WsFileId = id;
                ordineLocal.righeStampa[i].Inviata = sent;
                m_touchedStampaRows.insert(i);
            } else {
                ordineLocal.righeFile[i].WsFileId = id;
                ordineLocal.righeFile[i].Inviata = sent;
                m_touchedFileRows.insert(i);
            }
        };
        const QString unavailable =
            tr("L'articolo n°%1 associato all'ordine non è disponibile. Si prega di aggiornare il "
               "database dei prodotti.")
                .arg(rigaStampa.Codice);
        const QString position = QString::number(i + 1);

        const QFileInfo fileInfo(filePath);
        emit currentProcessingFileChanged(fileInfo);

        // A row sent by an earlier run whose file record the service still has: rebuilt as an
        // order row, not uploaded again.
        if (inviata) {
            File sent;
            if (sent.init(toUtf8(wsFileId))) {
                sentFilesSize += QFileInfo(filePath).size();
                if (stampa) {
                    auto riga = std::make_unique<OrdineRigaStampa>(ordine);
                    riga->codice_articolo = toUtf8(rigaStampa.Codice);
                    riga->descrizione = toUtf8(rigaStampa.Descrizione);
                    riga->prezzo = float(rigaStampa.Prezzo);
                    riga->quantita = rigaStampa.Qta;
                    riga->file = sent;
                    if (!riga->stampa.init(rigaStampa.IdStampa))
                        throw Stampa::StampaException(std::string(), toUtf8(unavailable));
                    ordine->righe.push_back(riga.release());
                } else {
                    auto riga = std::make_unique<OrdineRigaFile>(ordine);
                    riga->codice_articolo = "artfile";
                    riga->descrizione = toUtf8(tr("Invio File %1").arg(fileInfo.fileName()));
                    riga->prezzo = 0;
                    riga->quantita = 1;
                    riga->file = sent;
                    ordine->righe.push_back(riga.release());
                }
                emit fileTerminated(i + 1, total);
                continue;
            }
        }

        // The print product: from the catalogue service, then from the local catalogue,
        // which gives the format the photograph is rendered to.
        Stampa prodotto;
        OrdiniLocal::FormatoLocal formato;
        if (stampa) {
            if (!prodotto.init(rigaStampa.IdStampa))
                throw Stampa::StampaException(std::string(), toUtf8(unavailable));
            OrdiniLocal catalogue;
            const OrdiniLocal::StampaLocal locale = catalogue.StampaLocalFromDb(rigaStampa.IdStampa);
            if (locale.id < 1 || locale.formato.colonna3 <= 0 || locale.formato.colonna4 <= 0)
                throw Stampa::StampaException(std::string(), toUtf8(unavailable));
            formato = locale.formato;
        }
        throwIfStopRequested();

        // An unsent row needs its file: the order is not sent without it.
        if (!QFileInfo::exists(filePath))
            throw FilesMissing();
        const qint64 fileSize = QFileInfo(filePath).size();
        const std::string fileName = toUtf8(fileInfo.fileName());

        // The file record: the row's own when the service still has it for this same file,
        // else a new one, recorded in the order file before anything is uploaded under it.
        File record;
        try {
            bool reusable = false;
            if (!wsFileId.isEmpty() && record.init(toUtf8(wsFileId)))
                reusable = record.dimensione == fileSize && record.nome_file == fileName;
            if (!reusable) {
                File fresh;
                fresh = record;
                fresh.Setid(std::string());
                fresh.dimensione = fileSize;
                fresh.nome_file = fileName;
                if (!fresh.inserisci() || fresh.Getid().empty())
                    throw File::FileException(std::string(), toUtf8(unknownServiceError()));
                record = fresh;
            }
        } catch (const Korvex2Exception &e) {
            throw File::FileException(
                e.code, prefixed(tr("Impossibile aggiungere le informazioni sul file nel database:\r\n"),
                                 e.message));
        }
        if (record.Getid() == toUtf8(wsFileId)) {
            qDebug().noquote() << tr("Ordine n: %1::Articolo %2 - Modificato riferimento al file nel database")
                                      .arg(m_uuid, position);
        } else {
            setRowState(fromUtf8(record.Getid()), false);
            saveProgress();
            qDebug().noquote() << tr("Ordine n: %1::Articolo %2 - Inserito riferimento al file nel database")
                                      .arg(m_uuid, position);
        }
        throwIfStopRequested();

        // The upload, under the record's id.
        const std::string remoteName = toUtf8(ftpWorkingDir + fromUtf8(record.Getid()));
        try {
            if (stampa) {
                const QString rendered = renderStampa(i, rigaStampa, formato);
                const auto removeRendered = qScopeGuard([&rendered] { QFile::remove(rendered); });
                uploadFileWithRetry(KorvexGlobals::sanitizedFilePath(rendered), remoteName);
            } else {
                try {
                    uploadFileWithRetry(KorvexGlobals::sanitizedFilePath(filePath), remoteName);
                } catch (const OrdineRigaFile::OrdineRigaFileException &e) {
                    throw OrdineRigaFile::OrdineRigaFileException(
                        e.code, prefixed(tr("Impossibile aggiungere l'articolo all'ordine:\r\n"), e.message));
                }
            }
        } catch (const Korvex2Exception &) {
            // A file that went from the disk while it was read is a missing file.
            if (!QFileInfo::exists(filePath))
                throw FilesMissing();
            throw;
        }
        sentFilesSize += fileSize;
        qDebug().noquote() << tr("Ordine n: %1::Articolo %2 - Inviato file sul server FTP").arg(m_uuid, position);

        // The order row, then the row marked sent in the order file.
        if (stampa) {
            auto riga = std::make_unique<OrdineRigaStampa>(ordine);
            riga->codice_articolo = toUtf8(rigaStampa.Codice);
            riga->descrizione = toUtf8(rigaStampa.Descrizione);
            riga->prezzo = float(rigaStampa.Prezzo);
            riga->quantita = rigaStampa.Qta;
            riga->file = record;
            riga->stampa = prodotto;
            ordine->righe.push_back(riga.release());
        } else {
            auto riga = std::make_unique<OrdineRigaFile>(ordine);
            riga->codice_articolo = "artfile";
            riga->descrizione = toUtf8(tr("Invio File %1").arg(fileInfo.fileName()));
            riga->prezzo = 0;
            riga->quantita = 1;
            riga->file = record;
            ordine->righe.push_back(riga.release());
        }
        setRowState(fromUtf8(record.Getid()), true);
        saveProgress();
        qDebug().noquote() << tr("Ordine n: %1::Articolo %2 Articolo aggiunto correttamente all'ordine")
                                  .arg(m_uuid, position);
        emit fileTerminated(i + 1, total);
    }
}

void OrdineUploadThread::uploadFileWithRetry(std::string localPath, std::string remoteName)
{
    const qint64 localSize = QFileInfo(QString::fromStdString(localPath)).size();
    for (int attempt = 1; attempt <= uploadAttempts; ++attempt) {
        throwIfStopRequested();
        if (attempt > 1) {
            pauseBeforeAttempt(attempt);
            // Each new attempt talks to the server over a fresh connection.
            createFtpCourier();
        }
        try {
            ftpCourier->uploadFile(localPath, remoteName, ftpUploadFlag);
        } catch (const FtpCourierException &e) {
            throwIfStopRequested();
            if (!e.transient())
                throw;
            qDebug().noquote() << QStringLiteral("FTP: attempt %1 failed: %2").arg(attempt).arg(fromUtf8(e.message));
            continue;
        }
        qint64 remoteSize = -1;
        try {
            remoteSize = ftpCourier->sizeFile(remoteName);
        } catch (const FtpCourierException &e) {
            throwIfStopRequested();
            if (!e.transient() && e.kind != FtpCourierException::Kind::NotFound)
                throw;
        }
        if (remoteSize == localSize)
            return;
        qDebug().noquote() << QStringLiteral("FTP: attempt %1 stored %2 of %3 bytes")
                                  .arg(attempt)
                                  .arg(remoteSize)
                                  .arg(localSize);
    }
    throw OrdineRigaFile::OrdineRigaFileException(
        std::string(), toUtf8(tr("L'invio del file è fallito, riprovare a inviare l'ordine.")));
}

void OrdineUploadThread::pauseBeforeAttempt(int attempt)
{
    const unsigned long pause = firstRetryPauseMs << std::min(attempt - 2, 8);
    QMutexLocker lock(&m_pauseMutex);
    if (!m_stopRequested.load())
        m_pauseCondition.wait(&m_pauseMutex, pause);
    lock.unlock();
    throwIfStopRequested();
}

void OrdineUploadThread::createFtpCourier()
{
    dropFtpCourier();
    auto *courier = new FtpCourier(toUtf8(ftpHost), ftpPort, toUtf8(ftpUsername), toUtf8(ftpPassword));
    connect(courier, &FtpCourier::onFileProgress, this, &OrdineUploadThread::onFtpFileProgress);
    courier->setWorkingDir(toUtf8(ftpWorkingDir));
    if (m_ftpBufferSize >= 0)
        courier->setTransferBufferSize(m_ftpBufferSize);
    courier->setTimeout(30);
    QMutexLocker lock(&m_ftpMutex);
    ftpCourier = courier;
    if (m_stopRequested.load())
        courier->abort();
}

void OrdineUploadThread::dropFtpCourier()
{
    FtpCourier *courier = nullptr;
    {
        QMutexLocker lock(&m_ftpMutex);
        std::swap(courier, ftpCourier);
    }
    if (courier) {
        disconnect(courier, nullptr, this, nullptr);
        delete courier;
    }
}

void OrdineUploadThread::saveProgress()
{
    QMutexLocker lock(&OrdineFile::orderFileMutex());
    OrdiniLocal store;
    const QString filePath = OrdineFile::path(m_ordersFolder, m_uuid);
    OrdiniLocal::OrdineLocal onDisk;
    QString error;
    if (OrdineFile::read(filePath, store, onDisk, &error)) {
        // Only what this run owns changes: others may have written the file since it started
        // (a new priority, the order made inactive).
        auto mergeRows = [](auto &diskRows, const auto &ownRows, const QSet<int> &touched) {
            for (int i : touched) {
                const auto &own = ownRows.at(i);
                int target = -1;
                if (i < diskRows.size() && diskRows.at(i).FilePath == own.FilePath) {
                    target = i;
                } else {
                    for (int j = 0; j < diskRows.size() && target < 0; ++j) {
                        if (diskRows.at(j).FilePath == own.FilePath)
                            target = j;
                    }
                }
                if (target >= 0) {
                    diskRows[target].WsFileId = own.WsFileId;
                    diskRows[target].Inviata = own.Inviata;
                }
            }
        };
        mergeRows(onDisk.righeFile, ordineLocal.righeFile, m_touchedFileRows);
        mergeRows(onDisk.righeStampa, ordineLocal.righeStampa, m_touchedStampaRows);
        if (m_orderRecorded) {
            onDisk.Utente = ordineLocal.Utente;
            onDisk.WsId = ordineLocal.WsId;
            onDisk.Inviato = ordineLocal.Inviato;
        }
    } else if (!QFileInfo::exists(filePath)) {
        // The order was deleted meanwhile: it is not brought back. Unless the laboratory holds
        // it already, the run ends here.
        qDebug().noquote() << QStringLiteral("Ordine n: %1 - file dell'ordine rimosso, non salvato").arg(m_uuid);
        if (!m_orderRecorded)
            throw OrderFileRemoved();
        return;
    } else {
        qWarning().noquote() << QStringLiteral("Ordine n: %1 - file dell'ordine illeggibile (%2), riscritto")
                                    .arg(m_uuid, error);
        onDisk = ordineLocal;
    }
    onDisk.Uuid = m_uuid;
    if (!store.SaveXML(onDisk, m_ordersFolder))
        throw Korvex2Exception(std::string(), toUtf8(tr("Impossibile salvare il file dell'ordine.")));
}

void OrdineUploadThread::onFtpFileProgress(qint64 fileSize, qint64 bytesTransferred)
{
    const qint64 fileTotal = std::max<qint64>(fileSize, 0);
    const qint64 fileSent = std::clamp<qint64>(bytesTransferred, 0, fileTotal);
    emit fileProgress(fileSent, fileTotal);
    const qint64 orderTotal = totalFilesSize.load();
    const qint64 orderSent = std::clamp<qint64>(sentFilesSize.load() + fileSent, 0, orderTotal);
    emit globalFileProgress(orderSent, orderTotal);
}

OrdineUploadThread::RenderResult OrdineUploadThread::renderInto(const PrintImageRenderer::Job &job)
{
    RenderResult result;
    try {
        result.path = PrintImageRenderer::renderToFile(job);
    } catch (const Korvex2Exception &e) {
        result.failed = true;
        result.code = e.code;
        result.message = e.message;
    } catch (...) {
        result.failed = true;
        result.message = toUtf8(tr("Errore imprevisto:\r\nImpossibile aggiungere l'articolo all'ordine."));
    }
    return result;
}

PrintImageRenderer::Job OrdineUploadThread::renderJob(const OrdiniLocal::OrdineRigaStampaLocal &riga,
                                                      const OrdiniLocal::FormatoLocal &formato) const
{
    PrintImageRenderer::Job job;
    job.imagePath = riga.FilePath;
    job.transformationType = riga.Transformation.Type;
    job.cropRect = riga.Transformation.CropRect;
    job.formatSize = QSize(formato.colonna3, formato.colonna4);
    job.dpi = formato.colonna5;
    job.iccProfilePath = m_iccProfilePath;
    job.jpegQuality = m_jpegQuality;
    return job;
}

std::future<OrdineUploadThread::RenderResult> OrdineUploadThread::queueRender(const PrintImageRenderer::Job &job)
{
    auto task = std::make_shared<std::packaged_task<RenderResult()>>([job] { return renderInto(job); });
    std::future<RenderResult> result = task->get_future();
    m_renderPool.start([task] { (*task)(); });
    return result;
}

QString OrdineUploadThread::renderStampa(int row, const OrdiniLocal::OrdineRigaStampaLocal &riga,
                                         const OrdiniLocal::FormatoLocal &formato)
{
    std::future<RenderResult> rendering;
    if (m_nextRenderRow == row) {
        m_nextRenderRow = -1;
        rendering = std::move(m_nextRender);
    } else {
        // Also on the rendering thread: the image library keeps its worker threads per
        // calling thread, and one caller keeps them warm.
        rendering = queueRender(renderJob(riga, formato));
    }
    // The rendering thread goes from this print to the next without waiting for this row.
    renderNextStampa(row);
    const RenderResult result = rendering.get();
    if (result.failed)
        throw Korvex2Exception(result.code, result.message);
    return result.path;
}

void OrdineUploadThread::renderNextStampa(int after)
{
    // While a row goes over the network, the next print to send is rendered on another
    // thread; only one rendering is queued ahead.
    if (m_nextRenderRow >= 0)
        return;
    for (int j = after + 1; j < ordineLocal.righeStampa.size(); ++j) {
        const OrdiniLocal::OrdineRigaStampaLocal &riga = ordineLocal.righeStampa.at(j);
        if (riga.Inviata)
            continue;
        if (!QFileInfo::exists(riga.FilePath))
            return;
        OrdiniLocal catalogue;
        OrdiniLocal::StampaLocal locale;
        try {
            locale = catalogue.StampaLocalFromDb(riga.IdStampa);
        } catch (const Korvex2Exception &) {
            return; // reported when the row's turn comes
        }
        if (locale.id < 1 || locale.formato.colonna3 <= 0 || locale.formato.colonna4 <= 0)
            return;
        m_nextRender = queueRender(renderJob(riga, locale.formato));
        m_nextRenderRow = j;
        return;
    }
}

void OrdineUploadThread::dropNextRender()
{
    if (m_nextRenderRow < 0)
        return;
    m_nextRenderRow = -1;
    const RenderResult result = m_nextRender.get();
    if (!result.path.isEmpty())
        QFile::remove(result.path);
}
