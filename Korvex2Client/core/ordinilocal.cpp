#include "ordinilocal.h"

#include <QCoreApplication>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QThreadStorage>
#include <QVariant>

#include "korvex2exception.h"
#include "korvexglobals.h"

namespace {

void throwEmptyCode(const QString &message)
{
    throw Korvex2Exception(std::string(), message.toUtf8().toStdString());
}

bool usable(const QSqlDatabase &database)
{
    return database.isOpen() && !database.isOpenError();
}

QAtomicInt nextConnectionNumber(1);

// A connection may only be used by the thread that made it. The shared connection belongs
// to the application's thread (the GUI thread); any other thread, such as the upload
// worker's, reads the catalogue through a connection of its own, closed and removed when
// the thread ends, on the file the thread named (setThreadCatalogueFile) or else on the
// file of the settings.
class ThreadConnection
{
public:
    ThreadConnection()
        : m_name(QStringLiteral("KORVEX2_DB_CONNECTION_THREAD_%1").arg(nextConnectionNumber.fetchAndAddRelaxed(1)))
    {
    }
    ~ThreadConnection()
    {
        if (!QSqlDatabase::contains(m_name))
            return;
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    Q_DISABLE_COPY(ThreadConnection)

    void setFile(const QString &path) { m_file = path; }

    QSqlDatabase database()
    {
        const QString file = m_file.isEmpty() ? KorvexGlobals::SqlDbHost : m_file;
        QSqlDatabase connection = QSqlDatabase::contains(m_name)
                                      ? QSqlDatabase::database(m_name, false)
                                      : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        if (connection.databaseName() != file || !usable(connection)) {
            connection.close();
            connection.setDatabaseName(file);
            connection.open();
        }
        return connection;
    }

private:
    const QString m_name;
    QString m_file;
};

QThreadStorage<ThreadConnection *> threadConnections;

// KorvexGlobals::db is the application thread's: only that thread reads or replaces it. Any
// other thread tells from the application object alone that it is not that thread: reading
// the handle while the GUI thread replaces it would be a race on its reference count.
bool onSharedConnectionThread()
{
    if (const QCoreApplication *application = QCoreApplication::instance())
        return application->thread() == QThread::currentThread();
    // No application: whichever thread opened the shared connection owns it.
    return !KorvexGlobals::db.isValid() || KorvexGlobals::db.driver()->thread() == QThread::currentThread();
}

ThreadConnection &threadConnection()
{
    if (!threadConnections.hasLocalData())
        threadConnections.setLocalData(new ThreadConnection);
    return *threadConnections.localData();
}

OrdiniLocal::FormatoLocal formatoFromRecord(const QSqlQuery &query)
{
    OrdiniLocal::FormatoLocal formato;
    formato.id = query.value(0).toInt();
    formato.colonna1 = query.value(1).toString();
    formato.colonna2 = query.value(2).toString();
    formato.colonna3 = query.value(3).toInt();
    formato.colonna4 = query.value(4).toInt();
    formato.colonna5 = query.value(5).toInt();
    return formato;
}

OrdiniLocal::CartaLocal cartaFromRecord(const QSqlQuery &query)
{
    OrdiniLocal::CartaLocal carta;
    carta.id = query.value(0).toInt();
    carta.colonna1 = query.value(1).toString();
    carta.colonna2 = query.value(2).toString();
    return carta;
}

QString driverText(const QSqlQuery &query)
{
    const QString text = query.lastError().text();
    return text.isEmpty() ? QString() : QStringLiteral("\r\n") + text;
}

} // namespace

OrdiniLocal::OrdiniLocal()
{
    initDb();
}

OrdiniLocal::~OrdiniLocal() = default;

void OrdiniLocal::initOrdineLocal(OrdineLocal &ordine)
{
    ordine.Uuid.clear();
    ordine.Attivo = false;
    ordine.Utente = 0;
    ordine.WsId.clear();
    ordine.Data = QDateTime::currentDateTime();
    ordine.DataUltimaModifica = QDateTime::currentDateTime();
    ordine.Inviato = false;
    ordine.righeFile.clear();
    ordine.righeStampa.clear();
    ordine.Note.clear();
    ordine.ClienteFinale.clear();
    ordine.Priorita = -1;
    ordine.Spedizione = 0;
}

void OrdiniLocal::initOrdineRigaStampaLocal(OrdineRigaStampaLocal &riga)
{
    riga.WsFileId.clear();
    riga.Codice.clear();
    riga.Descrizione.clear();
    riga.Prezzo = 0;
    riga.TipoRiga = 2;
    riga.FilePath.clear();
    riga.FileSize = 0;
    riga.IdStampa = 0;
    initStampaLocalTransformation(riga.Transformation);
    riga.FormatoDesc.clear();
    riga.CartaDesc.clear();
    riga.Qta = 1;
    riga.Inviata = false;
}

void OrdiniLocal::initStampaLocalTransformation(StampaLocalTransformation &transformation)
{
    transformation.Type = 0;
    transformation.CropRect = QRectF(0, 0, 0, 0);
}

int OrdiniLocal::ordineType(OrdineLocal ordine)
{
    if (!ordine.righeFile.isEmpty())
        return 1;
    if (!ordine.righeStampa.isEmpty())
        return 2;
    return 0;
}

double OrdiniLocal::ordineTotalPrice(OrdineLocal ordine)
{
    double total = 0;
    for (const OrdineRigaStampaLocal &riga : qAsConst(ordine.righeStampa))
        total += riga.Prezzo * static_cast<double>(riga.Qta);
    if (total > 0)
        total += ordine.Spedizione;
    return total;
}

void OrdiniLocal::initDb()
{
    if (!onSharedConnectionThread()) {
        db = threadConnection().database();
        return;
    }
    if (usable(KorvexGlobals::db)) {
        db = KorvexGlobals::db;
        return;
    }
    // The default connection, reused when it is registered already: adding it again would
    // only replace it.
    const QString name = QLatin1String(QSqlDatabase::defaultConnection);
    QSqlDatabase connection;
    if (QSqlDatabase::contains(name))
        connection = QSqlDatabase::database(name, false);
    if (connection.isValid())
        connection.close();
    else
        connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    KorvexGlobals::db = connection;
    KorvexGlobals::db.setDatabaseName(KorvexGlobals::SqlDbHost);
    KorvexGlobals::db.open();
    db = KorvexGlobals::db;
}

void OrdiniLocal::setThreadCatalogueFile(const QString &path)
{
    if (!onSharedConnectionThread())
        threadConnection().setFile(path);
}

void OrdiniLocal::revalidateDb()
{
    // A handle on a closed connection, or made on another thread, is replaced.
    if (!usable(db) || db.driver()->thread() != QThread::currentThread())
        initDb();
}

OrdiniLocal::StampaLocal OrdiniLocal::StampaLocalFromDb(int idStampa)
{
    StampaLocal stampa;
    initStampaLocal(stampa);
    if (idStampa < 1)
        throwEmptyCode(QObject::tr("E' necessario specificare un id valido per recuperare le informazioni "
                                   "della stampa richiesta"));
    revalidateDb();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT * FROM stampe WHERE id = :IdStampa LIMIT 0,1"));
    query.bindValue(QStringLiteral(":IdStampa"), idStampa);
    if (!query.exec())
        throwEmptyCode(QObject::tr("Impossibile caricare le informazione della Stampa richiesta:\n")
                       + query.lastError().text());
    if (query.next()) {
        stampa.id = query.value(0).toInt();
        stampa.codice = query.value(1).toString();
        const int idFormato = query.value(2).toInt();
        const int idCarta = query.value(3).toInt();
        stampa.colonna4 = query.value(4).toString();
        stampa.descrizione = query.value(5).toString();
        stampa.prezzo = query.value(6).toDouble();
        query.finish();
        stampa.formato = FormatoLocalFromDb(idFormato);
        stampa.carta = CartaLocalFromDb(idCarta);
    }
    return stampa;
}

OrdiniLocal::FormatoLocal OrdiniLocal::FormatoLocalFromDb(int idFormato)
{
    FormatoLocal formato;
    initFormatoLocal(formato);
    if (idFormato < 1)
        throwEmptyCode(QObject::tr("E' necessario specificare un ID valido per recuperare le informazioni "
                                   "del formato richiesto"));
    revalidateDb();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT * FROM formati WHERE id = :IdFormato LIMIT 0,1"));
    query.bindValue(QStringLiteral(":IdFormato"), idFormato);
    if (!query.exec())
        throwEmptyCode(QObject::tr("Impossibile caricare le informazione del Frmato richiesto:\n")
                       + query.lastError().text());
    if (query.next())
        formato = formatoFromRecord(query);
    return formato;
}

OrdiniLocal::CartaLocal OrdiniLocal::CartaLocalFromDb(int idCarta)
{
    CartaLocal carta;
    initCartaLocal(carta);
    if (idCarta < 1)
        throwEmptyCode(QObject::tr("E' necessario specificare un ID valido per recuperare le informazioni "
                                   "della carta richiesta"));
    revalidateDb();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT * FROM carte WHERE id = :IdCarta LIMIT 0,1"));
    query.bindValue(QStringLiteral(":IdCarta"), idCarta);
    if (!query.exec())
        throwEmptyCode(QObject::tr("Impossibile caricare le informazione della carta richiesta:\n")
                       + query.lastError().text());
    if (query.next())
        carta = cartaFromRecord(query);
    return carta;
}

OrdiniLocal::StampaLocal OrdiniLocal::GetStampaByFormatoCarta(int idFormato, int idCarta)
{
    StampaLocal stampa;
    initStampaLocal(stampa);
    if (idFormato < 1 || idCarta < 1)
        throwEmptyCode(QObject::tr("E' necessario specificare un ID valido per il formato e la carta al fine "
                                   "di recuperare le informazioni della stampa richiesta"));
    revalidateDb();
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "SELECT * FROM stampe WHERE formato = :IdFormato AND carta = :IdCarta LIMIT 0,1"));
    query.bindValue(QStringLiteral(":IdFormato"), idFormato);
    query.bindValue(QStringLiteral(":IdCarta"), idCarta);
    if (!query.exec())
        throwEmptyCode(QObject::tr("Impossibile caricare le informazione della stampa richiesta:\n")
                       + query.lastError().text());
    if (query.next()) {
        stampa.id = query.value(0).toInt();
        stampa.codice = query.value(1).toString();
        const int formatoRiga = query.value(2).toInt();
        const int cartaRiga = query.value(3).toInt();
        stampa.colonna4 = query.value(4).toString();
        stampa.descrizione = query.value(5).toString();
        stampa.prezzo = query.value(6).toDouble();
        query.finish();
        stampa.formato = FormatoLocalFromDb(formatoRiga);
        stampa.carta = CartaLocalFromDb(cartaRiga);
    }
    return stampa;
}

bool OrdiniLocal::StampaLocalExistInDb(int idStampa)
{
    revalidateDb();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM stampe WHERE id = :IdStampa"));
    query.bindValue(QStringLiteral(":IdStampa"), idStampa);
    if (!query.exec() || !query.next())
        return false;
    return query.value(0).toInt() > 0;
}

QList<OrdiniLocal::CartaLocal> OrdiniLocal::GetCarteByFormato(FormatoLocal formato)
{
    QList<CartaLocal> carte;
    revalidateDb();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT carte.* FROM stampe INNER JOIN carte ON carte.id = stampe.carta "
                                 "WHERE stampe.formato = :idFormato ORDER BY carte.nome "));
    query.bindValue(QStringLiteral(":idFormato"), formato.id);
    if (!query.exec())
        throwEmptyCode(QObject::tr("Impossibile caricare le carte disponibili in base al formato "
                                   "specificato (id:%1)")
                           .arg(formato.id));
    while (query.next())
        carte.append(cartaFromRecord(query));
    return carte;
}

QList<OrdiniLocal::FormatoLocal> OrdiniLocal::GetFormatiByCarta(CartaLocal carta)
{
    QList<FormatoLocal> formati;
    revalidateDb();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT formati.* FROM stampe INNER JOIN formati ON formati.id = "
                                 "stampe.formato WHERE stampe.carta = :idCarta ORDER BY formati.nome "));
    query.bindValue(QStringLiteral(":idCarta"), carta.id);
    if (!query.exec())
        throwEmptyCode(QObject::tr("Impossibile caricare i formati disponibili in base alla carta "
                                   "specificata (id:%1)")
                           .arg(carta.id));
    while (query.next())
        formati.append(formatoFromRecord(query));
    return formati;
}

QList<OrdiniLocal::CartaLocal> OrdiniLocal::GetCarte()
{
    QList<CartaLocal> carte;
    revalidateDb();
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT DISTINCT carte.* FROM stampe INNER JOIN carte ON carte.id = "
                                   "stampe.carta ORDER BY carte.nome ")))
        throwEmptyCode(QObject::tr("Impossibile caricare le carte disponibili%1").arg(driverText(query)));
    while (query.next())
        carte.append(cartaFromRecord(query));
    return carte;
}

QList<OrdiniLocal::FormatoLocal> OrdiniLocal::GetFormati()
{
    QList<FormatoLocal> formati;
    revalidateDb();
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral(
            "SELECT DISTINCT formati.* FROM stampe INNER JOIN formati ON formati.id = stampe.formato "
            "ORDER BY (formati.altezza * 2.54 / formati.dpi), (formati.larghezza * 2.54 / formati.dpi)")))
        throwEmptyCode(QObject::tr("Impossibile caricare i formati disponibili%1").arg(driverText(query)));
    while (query.next())
        formati.append(formatoFromRecord(query));
    return formati;
}

void OrdiniLocal::initStampaLocal(StampaLocal &stampa)
{
    stampa.id = 0;
    stampa.codice.clear();
    initFormatoLocal(stampa.formato);
    initCartaLocal(stampa.carta);
    stampa.colonna4.clear();
    stampa.descrizione.clear();
    stampa.prezzo = 0;
}

void OrdiniLocal::initFormatoLocal(FormatoLocal &formato)
{
    formato.id = 0;
    formato.colonna1.clear();
    formato.colonna2.clear();
    formato.colonna3 = 0;
    formato.colonna4 = 0;
    formato.colonna5 = 0;
}

void OrdiniLocal::initCartaLocal(CartaLocal &carta)
{
    carta.id = 0;
    carta.colonna1.clear();
    carta.colonna2.clear();
}
