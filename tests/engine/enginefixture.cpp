#include "enginefixture.h"

#include <mutex>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>

#include "anagrafica.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "ordinefile.h"
#include "testhome.h"
#include "testphotos.h"
#include "utente.h"
#include "wssettingslock.h"

EngineFixture::EngineFixture()
    : m_home(std::make_unique<TestHome>())
{
    if (!m_home->isValid()) {
        m_error = QStringLiteral("no temporary home folder");
        return;
    }
    KorvexGlobals::appDataPath = m_home->path() + QStringLiteral("/.Korvex2");
    QDir().mkpath(KorvexGlobals::appDataPath);
    QDir().mkpath(filesFolder());
    KorvexGlobals::SqlDbHost = KorvexGlobals::appDataPath + QStringLiteral("/korvex.s3db");
    if (!QFile::copy(QStringLiteral(KORVEX_BUILT_SEED_DATABASE), KorvexGlobals::SqlDbHost)) {
        m_error = QStringLiteral("cannot copy the seed database ") + QStringLiteral(KORVEX_BUILT_SEED_DATABASE);
        return;
    }
    KorvexGlobals::iccColorProfileLocation = QStringLiteral(KORVEX_BUILT_COLOR_PROFILE);
    KorvexGlobals::JpegCompressionQuality = 90;
    KorvexGlobals::FTPBufferSize = 16384;
    KorvexGlobals::WsEndpoint.clear();
}

EngineFixture::~EngineFixture()
{
    logout();
    if (m_lab)
        m_lab->stop();
}

bool EngineFixture::startLab()
{
    m_lab = std::make_unique<LabSimulator>();
    if (!m_lab->start()) {
        m_error = QStringLiteral("the laboratory simulator did not start: ") + m_lab->errorString();
        return false;
    }
    KorvexGlobals::WsEndpoint = m_lab->baseUrl();
    return login();
}

Utente *EngineFixture::customer() const
{
    return KorvexGlobals::utente;
}

void EngineFixture::logout()
{
    delete KorvexGlobals::utente;
    KorvexGlobals::utente = nullptr;
}

bool EngineFixture::login()
{
    logout();
    {
        std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
        Anagrafica::WsEndpoint = KorvexGlobals::WsEndpoint.toStdString();
        Anagrafica::WsUsername.clear();
        Anagrafica::WsPassword.clear();
        Anagrafica::WsOperatorAuth = false;
    }
    auto *utente = new Utente();
    try {
        if (!utente->login(LabSimulator::DemoUser, LabSimulator::DemoPassword)) {
            delete utente;
            m_error = QStringLiteral("the demo customer's login was refused");
            return false;
        }
    } catch (const Korvex2Exception &e) {
        delete utente;
        m_error = QStringLiteral("login failed: ") + QString::fromStdString(e.message);
        return false;
    }
    // The credentials the program keeps for the customer's later calls.
    utente->username = LabSimulator::DemoUser;
    utente->password = LabSimulator::DemoPassword;
    KorvexGlobals::utente = utente;
    return true;
}

QString EngineFixture::homePath() const
{
    return m_home->path();
}

QString EngineFixture::filesFolder() const
{
    return m_home->path() + QStringLiteral("/Immagini");
}

QString EngineFixture::photo(const QString &name, const QSize &size, int seed)
{
    const QString path = filesFolder() + QLatin1Char('/') + name;
    return testphotos::writePhoto(path, size, seed) ? path : QString();
}

QString EngineFixture::bytesFile(const QString &name, qint64 size, int seed)
{
    const QString path = filesFolder() + QLatin1Char('/') + name;
    return testphotos::writeBytes(path, size, seed) ? path : QString();
}

OrdiniLocal::OrdineLocal EngineFixture::order()
{
    OrdiniLocal::OrdineLocal ordine;
    OrdiniLocal().initOrdineLocal(ordine);
    ordine.Attivo = true;
    ordine.Note = QStringLiteral("Consegna in negozio, grazie è tutto");
    ordine.ClienteFinale = QStringLiteral("Studio Àlfa & C.");
    return ordine;
}

OrdiniLocal::OrdineRigaStampaLocal EngineFixture::printRow(const QString &path, int idStampa,
                                                           int transformation)
{
    OrdiniLocal::OrdineRigaStampaLocal riga;
    OrdiniLocal().initOrdineRigaStampaLocal(riga);
    OrdiniLocal catalogue;
    const OrdiniLocal::StampaLocal stampa = catalogue.StampaLocalFromDb(idStampa);
    riga.Codice = stampa.codice;
    riga.Descrizione = stampa.descrizione;
    riga.Prezzo = stampa.prezzo;
    riga.IdStampa = idStampa;
    riga.FilePath = path;
    riga.FileSize = QFileInfo(path).size();
    riga.Transformation.Type = transformation;
    riga.FormatoDesc = stampa.formato.colonna2;
    riga.CartaDesc = stampa.carta.colonna2;
    riga.Qta = 2;
    return riga;
}

OrdiniLocal::OrdineRigaFileLocal EngineFixture::fileRow(const QString &path)
{
    OrdiniLocal::OrdineRigaFileLocal riga;
    riga.Codice = QStringLiteral("artfile");
    riga.Descrizione = QFileInfo(path).fileName();
    riga.TipoRiga = 1;
    riga.FilePath = path;
    riga.FileSize = QFileInfo(path).size();
    return riga;
}

bool EngineFixture::save(OrdiniLocal::OrdineLocal &ordine) const
{
    return OrdiniLocal().SaveXML(ordine);
}

bool EngineFixture::load(const QString &uuid, OrdiniLocal::OrdineLocal &ordine) const
{
    OrdiniLocal store;
    return OrdineFile::read(OrdineFile::path(KorvexGlobals::ordersQueuePath(), uuid), store, ordine);
}

bool EngineFixture::orderFileExists(const QString &uuid) const
{
    return QFileInfo::exists(OrdineFile::path(KorvexGlobals::ordersQueuePath(), uuid));
}

QStringList EngineFixture::orderFiles() const
{
    return QDir(KorvexGlobals::ordersQueuePath()).entryList({QStringLiteral("*.kv2")}, QDir::Files);
}

EngineFixture::LabState EngineFixture::labState() const
{
    LabState state;
    const QJsonObject status = m_lab->status();
    if (status.isEmpty())
        return state;
    const QJsonObject data = status.value(QStringLiteral("data")).toObject();
    for (const QJsonValue &value : data.value(QStringLiteral("fileRecords")).toArray()) {
        const QJsonObject o = value.toObject();
        LabFile file;
        file.id = o.value(QStringLiteral("id")).toString();
        file.dimensione = qint64(o.value(QStringLiteral("dimensione")).toDouble());
        file.nomeFile = o.value(QStringLiteral("nome_file")).toString();
        state.files.insert(file.id, file);
    }
    for (const QJsonValue &value : data.value(QStringLiteral("rows")).toArray()) {
        const QJsonObject o = value.toObject();
        LabRow row;
        row.id = o.value(QStringLiteral("id")).toString();
        row.idOrdine = o.value(QStringLiteral("id_ordine")).toString();
        row.tipoRiga = o.value(QStringLiteral("tipo_riga")).toInt();
        row.codiceArticolo = o.value(QStringLiteral("codice_articolo")).toString();
        row.quantita = o.value(QStringLiteral("quantita")).toInt();
        row.idFile = o.value(QStringLiteral("id_file")).toString();
        state.rows.append(row);
    }
    for (const QJsonValue &value : data.value(QStringLiteral("orders")).toArray()) {
        const QJsonObject o = value.toObject();
        LabOrder order;
        order.id = o.value(QStringLiteral("id")).toString();
        order.stato = o.value(QStringLiteral("stato")).toInt();
        order.note = o.value(QStringLiteral("note")).toString();
        order.clienteFinale = o.value(QStringLiteral("cliente_finale")).toString();
        order.idUtente = o.value(QStringLiteral("id_utente")).toInt();
        for (const LabRow &row : qAsConst(state.rows)) {
            if (row.idOrdine == order.id)
                order.rows.append(row);
        }
        state.orders.append(order);
    }
    for (const QJsonValue &value : status.value(QStringLiteral("ftpFiles")).toArray()) {
        const QJsonObject o = value.toObject();
        state.ftpFiles.insert(o.value(QStringLiteral("path")).toString(),
                              qint64(o.value(QStringLiteral("size")).toDouble()));
    }
    state.valid = true;
    return state;
}

QString EngineFixture::ftpPath(const QString &fileId) const
{
    const QJsonObject settings = m_lab->status().value(QStringLiteral("ftpSettings")).toObject();
    QString folder = settings.value(QStringLiteral("folder")).toString();
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    if (folder.startsWith(QLatin1Char('/')))
        folder.remove(0, 1);
    return folder + fileId;
}

QString EngineFixture::ftpLocalPath(const QString &fileId) const
{
    return m_lab->ftpRoot() + QLatin1Char('/') + ftpPath(fileId);
}

QString EngineFixture::checkNoDuplicateOrOrphan() const
{
    const LabState state = labState();
    if (!state.valid)
        return QStringLiteral("no state from the simulator");
    QSet<QString> referenced;
    for (const LabRow &row : state.rows) {
        if (row.idFile.isEmpty())
            continue;
        if (referenced.contains(row.idFile))
            return QStringLiteral("file record %1 is used by two rows").arg(row.idFile);
        referenced.insert(row.idFile);
        if (!state.files.contains(row.idFile))
            return QStringLiteral("row %1 names the missing file record %2").arg(row.id, row.idFile);
    }
    for (const LabFile &file : state.files) {
        if (!referenced.contains(file.id))
            return QStringLiteral("file record %1 (%2) belongs to no row").arg(file.id, file.nomeFile);
    }
    for (auto it = state.ftpFiles.cbegin(); it != state.ftpFiles.cend(); ++it) {
        const QString id = QFileInfo(it.key()).fileName();
        if (!referenced.contains(id) || ftpPath(id) != it.key())
            return QStringLiteral("FTP file %1 belongs to no row").arg(it.key());
    }
    for (const QString &id : qAsConst(referenced)) {
        if (!state.ftpFiles.contains(ftpPath(id)))
            return QStringLiteral("file record %1 has no file on the FTP server").arg(id);
    }
    return QString();
}

int EngineFixture::sentRows(const QString &uuid) const
{
    OrdiniLocal::OrdineLocal onDisk;
    if (!load(uuid, onDisk))
        return -1;
    int sent = 0;
    for (const auto &riga : qAsConst(onDisk.righeFile))
        sent += riga.Inviata ? 1 : 0;
    for (const auto &riga : qAsConst(onDisk.righeStampa))
        sent += riga.Inviata ? 1 : 0;
    return sent;
}
