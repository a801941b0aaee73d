#include "korvexglobals.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "korvex2exception.h"

namespace {

const QString databaseFileName = QStringLiteral("korvex.s3db");
const QString connectionName = QStringLiteral("KORVEX2_DB_CONNECTION");
const QString mainApplicationName = QStringLiteral("Korvex2");
const QString httpPrefix = QStringLiteral("http://");
const QString httpsPrefix = QStringLiteral("https://");

bool startsWithScheme(const QString &text)
{
    return text.startsWith(httpPrefix, Qt::CaseInsensitive)
           || text.startsWith(httpsPrefix, Qt::CaseInsensitive);
}

// A host that no domain suffix can complete: an IP address, localhost, or any host given
// with a port. `text` is an endpoint without its trailing "/".
bool isLiteralHost(const QString &text)
{
    QString host = text;
    const int schemeEnd = host.indexOf(QLatin1String("://"));
    if (schemeEnd >= 0 && startsWithScheme(host))
        host = host.mid(schemeEnd + 3);
    host = host.section(QLatin1Char('/'), 0, 0);

    static const QRegularExpression withPort(QStringLiteral("^(\\[[^\\]]*\\]|[^:\\[\\]]+):[0-9]+$"));
    static const QRegularExpression ipv4(QStringLiteral("^[0-9]{1,3}(\\.[0-9]{1,3}){3}$"));
    return withPort.match(host).hasMatch() || ipv4.match(host).hasMatch()
           || host.startsWith(QLatin1Char('[')) // bracketed IPv6 literal
           || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
}

void throwEmptyCode(const QString &message)
{
    throw Korvex2Exception(std::string(), message.toUtf8().toStdString());
}

// Opens KorvexGlobals::db as the program's connection on SqlDbHost, reusing the registered
// connection of that name when there is one.
bool openSharedConnection()
{
    if (QSqlDatabase::contains(connectionName)) {
        KorvexGlobals::db = QSqlDatabase::database(connectionName, false);
        KorvexGlobals::db.close();
    } else {
        KorvexGlobals::db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    }
    KorvexGlobals::db.setDatabaseName(KorvexGlobals::SqlDbHost);
    return KorvexGlobals::db.open();
}

bool sharedConnectionUsable()
{
    return KorvexGlobals::db.isOpen() && !KorvexGlobals::db.isOpenError();
}

// A copied database must stay writable by its owner, whatever the source's permissions.
void copyDatabase(const QString &source, const QString &target)
{
    if (!QFile::exists(source))
        return;
    if (QFile::copy(source, target))
        QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
}

// The settings file holds the remembered password: it is created readable by its owner
// only, and the settings store keeps the permissions of the file it rewrites.
void restrictToOwner(const QString &fileName)
{
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (!QFile::exists(fileName)) {
        QDir().mkpath(QFileInfo(fileName).absolutePath());
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.setPermissions(ownerOnly);
        file.close();
    }
    QFile::setPermissions(fileName, ownerOnly);
}

} // namespace

const QString KorvexGlobals::laboratoryDomainSuffix = QStringLiteral(".kvx2.test");

const QString KorvexGlobals::QToolButtonStyleSheet = QStringLiteral(
    "QToolButton {"
    "        border: 1px transparent;"
    "        background-color: none;"
    "        border-radius: 6px;"
    "        padding: 3px;"
    "}"
    "QToolButton[popupMode=\"1\"] {"
    "        padding-right: 12px;"
    "}"
    "QToolButton::menu-button {"
    "         border: 1px transparent;"
    "         width: 12px;"
    "}"
    "QToolButton::menu-button:hover {"
    "         border: 1px solid gray;"
    "         border-top-right-radius: 6px;"
    "         border-bottom-right-radius: 6px;"
    "}"
    "QToolButton:hover {"
    "        border: 1px solid;"
    "        border-color: #999999;"
    "        background-color: qlineargradient(spread:pad, x1:0.5, y1:0, x2:0.5, y2:1, "
    "stop:0 rgba(208, 208, 208, 255), stop:1 rgba(255, 255, 255, 255));"
    "}");

const QString KorvexGlobals::QToolButtonFocusStyleSheet = QStringLiteral(
    "QToolButton:focus {"
    "        border: 1px solid;"
    "        border-color: rgb(98, 146, 255);"
    "}");

QString KorvexGlobals::SqlDbHost;
const QString KorvexGlobals::WsEndpointDemo =
    QStringLiteral("http://prova") + KorvexGlobals::laboratoryDomainSuffix + QStringLiteral("/");
const QString KorvexGlobals::WsUsernameDemo = QStringLiteral("prova");
const QString KorvexGlobals::WsPasswordDemo = QStringLiteral("tarn");
QString KorvexGlobals::WsEndpoint;
QString KorvexGlobals::WsUsername;
QString KorvexGlobals::WsPassword;
QString KorvexGlobals::appDataPath = QDir::homePath() + QStringLiteral("/.") + mainApplicationName;
const QStringList KorvexGlobals::imageFilters =
    QStringLiteral("*.jpg,*.jpeg,*.png,*.tif,*.bmp").split(QLatin1Char(','), Qt::SkipEmptyParts);
QSqlDatabase KorvexGlobals::db;
QMap<QString, int> KorvexGlobals::statusMap;
QString KorvexGlobals::iccColorProfileLocation = QDir::currentPath() + QStringLiteral("/profiles/sRGB.icm");
int KorvexGlobals::JpegCompressionQuality = 100;
int KorvexGlobals::FTPBufferSize = 0;
bool KorvexGlobals::UploadsAutoStart = false;
bool KorvexGlobals::CheckUpdatesAtStartup = false;
int KorvexGlobals::ServiceDataDbVersion = 0;
Utente *KorvexGlobals::utente = nullptr;
OrdineUpload *KorvexGlobals::ordineUpload = nullptr;

KorvexGlobals::KorvexGlobals(QObject *parent)
    : QObject(parent)
{
}

void KorvexGlobals::loadSettings()
{
    const QString defaultDbPath = appDataPath + QLatin1Char('/') + databaseFileName;

    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                           QCoreApplication::organizationName(), QCoreApplication::applicationName());
        WsUsername = settings.value(QStringLiteral("WsUsername"), QString()).toString();
        WsPassword = settings.value(QStringLiteral("WsPassword"), QString()).toString();
        UploadsAutoStart = settings.value(QStringLiteral("UploadsAutoStart"), false).toBool();
        FTPBufferSize = settings.value(QStringLiteral("FTPBufferSize"), 16384).toInt();
        SqlDbHost = settings.value(QStringLiteral("SqlDbHost"), defaultDbPath).toString();
        CheckUpdatesAtStartup = settings.value(QStringLiteral("CheckUpdatesAtStartup"), true).toBool();
        JpegCompressionQuality = settings.value(QStringLiteral("JpegCompressionQuality"), 100).toInt();
    }

    ServiceDataDbVersion = 0;

    if (!QDir(appDataPath).exists())
        QDir().mkpath(appDataPath);

    if (!QFile::exists(SqlDbHost))
        copyDatabase(QCoreApplication::applicationDirPath() + QLatin1Char('/') + databaseFileName, SqlDbHost);

    if (!QFile::exists(SqlDbHost) && QCoreApplication::applicationName() != mainApplicationName) {
        if (!QDir(appDataPath).exists())
            QDir().mkpath(appDataPath);
        copyDatabase(QDir::homePath() + QStringLiteral("/.") + mainApplicationName + QLatin1Char('/')
                         + databaseFileName,
                     SqlDbHost);
    }

    if (!QFile::exists(SqlDbHost))
        throwEmptyCode(tr("Il file contenente il database non esiste"));

    if (!sharedConnectionUsable() && !openSharedConnection())
        throwEmptyCode(tr("Impossibile aprire il database delle impostazioni:\n") + db.lastError().text());

    QSqlQuery config(db);
    if (!config.exec(QStringLiteral("SELECT chiave,valore FROM config")))
        throwEmptyCode(tr("Impossibile ottenere tutti i parametri di configurazione necessari:\n")
                       + config.lastError().text());
    while (config.next()) {
        const QString key = config.value(0).toString();
        if (key == QLatin1String("wsendpoint"))
            WsEndpoint = config.value(1).toString();
        else if (key == QLatin1String("dbVersion"))
            ServiceDataDbVersion = config.value(1).toString().toInt(nullptr, 10);
    }
    config.finish();

    statusMap.clear();
    QSqlQuery states(db);
    if (states.exec(QStringLiteral("SELECT stato,label FROM stati_ordine"))) {
        while (states.next())
            statusMap.insert(states.value(1).toString(), states.value(0).toInt());
    }
}

void KorvexGlobals::saveSettings()
{
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                           QCoreApplication::organizationName(), QCoreApplication::applicationName());
        restrictToOwner(settings.fileName());
        settings.setValue(QStringLiteral("WsUsername"), WsUsername);
        settings.setValue(QStringLiteral("WsPassword"), WsPassword);
        settings.setValue(QStringLiteral("SqlDbHost"), SqlDbHost);
        settings.setValue(QStringLiteral("UploadsAutoStart"), UploadsAutoStart);
        settings.setValue(QStringLiteral("FTPBufferSize"), FTPBufferSize);
        settings.setValue(QStringLiteral("CheckUpdatesAtStartup"), CheckUpdatesAtStartup);
        settings.setValue(QStringLiteral("JpegCompressionQuality"), JpegCompressionQuality);
        settings.sync();
        restrictToOwner(settings.fileName());
    }

    if (!sharedConnectionUsable() && !openSharedConnection())
        return;

    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE config SET valore = :valore WHERE chiave = 'wsendpoint'"));
    query.bindValue(QStringLiteral(":valore"), WsEndpoint);
    if (!query.exec())
        return;
    query.prepare(QStringLiteral("UPDATE config SET valore = :valore WHERE chiave = 'dbVersion'"));
    query.bindValue(QStringLiteral(":valore"), QString::number(ServiceDataDbVersion));
    query.exec();
}

QString KorvexGlobals::endpointUrlPurged(QString endpoint)
{
    if (endpoint.isEmpty())
        return endpoint;
    QString result = endpoint;
    if (endpoint.startsWith(httpPrefix, Qt::CaseInsensitive))
        result.remove(0, httpPrefix.size());
    if (endpoint.endsWith(QLatin1Char('/')))
        result.chop(1);
    if (endpoint.endsWith(laboratoryDomainSuffix, Qt::CaseSensitive))
        result.chop(laboratoryDomainSuffix.size());
    return result;
}

QString KorvexGlobals::endpointUrlCompleted(QString endpoint)
{
    if (endpoint.isEmpty())
        return endpoint;
    QString result = endpoint;
    if (!startsWithScheme(endpoint))
        result.prepend(httpPrefix);
    if (endpoint.endsWith(QLatin1Char('/')))
        result.chop(1);
    // The suffix test looks at the name without its trailing "/", so that a name that
    // already carries the suffix never gets it twice.
    if (!result.endsWith(laboratoryDomainSuffix, Qt::CaseSensitive) && !isLiteralHost(result))
        result.append(laboratoryDomainSuffix);
    result.append(QLatin1Char('/'));
    return result;
}

std::string KorvexGlobals::sanitizedFilePath(QString path)
{
    return path.toUtf8().toStdString();
}

void KorvexGlobals::closeDatabase()
{
    db.close();
    db = QSqlDatabase();
    if (QSqlDatabase::contains(connectionName))
        QSqlDatabase::removeDatabase(connectionName);
}

QString KorvexGlobals::ordersQueuePath()
{
    return QDir(appDataPath).absolutePath() + QLatin1Char('/') + QStringLiteral("orders_queue");
}

QString KorvexGlobals::fileSizeToString(quint64 size)
{
    double x = static_cast<double>(size);
    QString unit = QStringLiteral("byte");
    if (x >= 1024.0 && x < 1048576.0) {
        x *= 1.0 / 1024.0;
        unit = QStringLiteral("KB");
    } else if (x >= 1048576.0 && x < 1073741824.0) {
        x *= 1.0 / 1024.0;
        x *= 1.0 / 1024.0;
        unit = QStringLiteral("MB");
    } else if (x >= 1073741824.0) {
        x *= 1.0 / 1024.0;
        x *= 1.0 / 1024.0;
        x *= 1.0 / 1024.0;
        unit = QStringLiteral("GB");
    }
    // Halves round up. The hundredths go through a 64-bit integer: the largest size,
    // 2^64 - 1 bytes, is about 1.7e12 hundredths of a gigabyte, far inside its range.
    const double rounded = static_cast<double>(static_cast<qint64>(x * 100.0 + 0.5)) / 100.0;
    return QStringLiteral("%1 %2").arg(QString::number(rounded, 'g', 6), unit);
}
