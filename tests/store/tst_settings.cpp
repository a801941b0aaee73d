// Loading and saving the application settings: the first start on a new machine, the
// settings store, the configuration rows of the local database and its connection.

#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include "catalogfixture.h"
#include "korvex2exception.h"
#include "korvexglobals.h"
#include "testhome.h"

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void firstStart_data();
    void firstStart();
    void firstSaveWritesDefaultsForTheOwnerOnly();
    void existingDatabaseIsKept();
    void settingsRoundTrip();
    void configurationRows_data();
    void configurationRows();
    void databaseThatCannotBeOpened();
    void openConnectionIsReused();

private:
    void resetGlobals();
    QString seedInApplicationFolder() const;
    QString loadError();

    std::unique_ptr<TestHome> m_home;
};

namespace {

const QString mainName = QStringLiteral("Korvex2");

void runOn(const QString &databasePath, const QString &statement)
{
    const QString name = QStringLiteral("tst_settings_edit");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(databasePath);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY2(query.exec(statement), qPrintable(statement));
    }
    QSqlDatabase::removeDatabase(name);
}

QString configValue(const QString &databasePath, const QString &key)
{
    const QString name = QStringLiteral("tst_settings_read");
    QString value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(databasePath);
        if (db.open()) {
            QSqlQuery query(db);
            query.prepare(QStringLiteral("SELECT valore FROM config WHERE chiave = ?"));
            query.addBindValue(key);
            if (query.exec() && query.next())
                value = query.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return value;
}

} // namespace

void TestSettings::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Vendrel"));
    QVERIFY2(QFile::exists(QStringLiteral(KORVEX_BUILT_SEED_DATABASE)), "the build makes the seed database");
}

void TestSettings::init()
{
    m_home = std::make_unique<TestHome>();
    QVERIFY(m_home->isValid());
    QCoreApplication::setApplicationName(mainName);
    resetGlobals();
    KorvexGlobals::appDataPath = m_home->dataFolder(mainName);
    QFile::remove(seedInApplicationFolder());
}

void TestSettings::cleanup()
{
    resetGlobals();
    QFile::remove(seedInApplicationFolder());
    m_home.reset();
}

void TestSettings::resetGlobals()
{
    KorvexGlobals::db.close();
    KorvexGlobals::db = QSqlDatabase();
    const QStringList names = QSqlDatabase::connectionNames();
    for (const QString &name : names)
        QSqlDatabase::removeDatabase(name);
    KorvexGlobals::SqlDbHost.clear();
    KorvexGlobals::WsEndpoint.clear();
    KorvexGlobals::WsUsername.clear();
    KorvexGlobals::WsPassword.clear();
    KorvexGlobals::statusMap.clear();
    KorvexGlobals::JpegCompressionQuality = 100;
    KorvexGlobals::FTPBufferSize = 0;
    KorvexGlobals::UploadsAutoStart = false;
    KorvexGlobals::CheckUpdatesAtStartup = false;
    KorvexGlobals::ServiceDataDbVersion = 0;
}

QString TestSettings::seedInApplicationFolder() const
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/korvex.s3db");
}

// The message of the exception that loadSettings throws, or an empty text.
QString TestSettings::loadError()
{
    try {
        KorvexGlobals().loadSettings();
    } catch (const Korvex2Exception &e) {
        if (!e.code.empty())
            return QStringLiteral("unexpected code ") + QString::fromStdString(e.code);
        return QString::fromStdString(e.message);
    }
    return QString();
}

void TestSettings::firstStart_data()
{
    QTest::addColumn<QString>("profile");
    QTest::addColumn<bool>("seed");
    QTest::addColumn<bool>("mainProfileDatabase");
    QTest::addColumn<QString>("expectedEndpoint"); // empty: loading fails

    const QString seedEndpoint = KorvexGlobals::WsEndpointDemo;
    const QString fixtureEndpoint = QStringLiteral("http://127.0.0.1:1/");
    QTest::newRow("seed beside the program") << QString() << true << false << seedEndpoint;
    QTest::newRow("profile takes the seed first") << QStringLiteral("test") << true << true << seedEndpoint;
    QTest::newRow("profile without seed copies the main profile's")
        << QStringLiteral("test") << false << true << fixtureEndpoint;
    QTest::newRow("profile without any database") << QStringLiteral("test") << false << false << QString();
    QTest::newRow("no seed, no profile") << QString() << false << false << QString();
}

void TestSettings::firstStart()
{
    QFETCH(QString, profile);
    QFETCH(bool, seed);
    QFETCH(bool, mainProfileDatabase);
    QFETCH(QString, expectedEndpoint);

    const QString applicationName = mainName + profile;
    QCoreApplication::setApplicationName(applicationName);
    KorvexGlobals::appDataPath = m_home->dataFolder(applicationName);
    if (seed)
        QVERIFY(QFile::copy(QStringLiteral(KORVEX_BUILT_SEED_DATABASE), seedInApplicationFolder()));
    if (mainProfileDatabase) {
        QVERIFY(QDir().mkpath(m_home->dataFolder(mainName)));
        QString error;
        QVERIFY2(catalogfixture::buildFixture(m_home->dataFolder(mainName) + QStringLiteral("/korvex.s3db"), &error),
                 qPrintable(error));
    }
    QVERIFY(!QDir(KorvexGlobals::appDataPath).exists());

    const QString error = loadError();
    QVERIFY(QDir(KorvexGlobals::appDataPath).exists());
    if (expectedEndpoint.isEmpty()) {
        QCOMPARE(error, QStringLiteral("Il file contenente il database non esiste"));
        return;
    }
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(KorvexGlobals::SqlDbHost, KorvexGlobals::appDataPath + QStringLiteral("/korvex.s3db"));
    QVERIFY(QFile::exists(KorvexGlobals::SqlDbHost));
    QVERIFY(QFileInfo(KorvexGlobals::SqlDbHost).isWritable());
    QCOMPARE(KorvexGlobals::WsEndpoint, expectedEndpoint);
    QCOMPARE(KorvexGlobals::ServiceDataDbVersion, seed ? 1 : 3);
    QCOMPARE(KorvexGlobals::statusMap.size(), 8);
    QCOMPARE(KorvexGlobals::statusMap.value(QStringLiteral("In attesa di pagamento")), 8);
    QVERIFY(KorvexGlobals::db.isOpen());
    QCOMPARE(KorvexGlobals::db.connectionName(), QStringLiteral("KORVEX2_DB_CONNECTION"));
}

void TestSettings::firstSaveWritesDefaultsForTheOwnerOnly()
{
    QVERIFY(QFile::copy(QStringLiteral(KORVEX_BUILT_SEED_DATABASE), seedInApplicationFolder()));
    KorvexGlobals globals;
    globals.loadSettings();
    QCOMPARE(KorvexGlobals::FTPBufferSize, 16384);
    QCOMPARE(KorvexGlobals::CheckUpdatesAtStartup, true);
    QCOMPARE(KorvexGlobals::UploadsAutoStart, false);
    QCOMPARE(KorvexGlobals::JpegCompressionQuality, 100);
    globals.saveSettings();

    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vendrel"), mainName);
    QVERIFY(settings.fileName().startsWith(m_home->path()));
    QCOMPARE(settings.allKeys().size(), 7);
    QCOMPARE(settings.value(QStringLiteral("WsUsername")).toString(), QString());
    QCOMPARE(settings.value(QStringLiteral("WsPassword")).toString(), QString());
    QCOMPARE(settings.value(QStringLiteral("UploadsAutoStart")).toBool(), false);
    QCOMPARE(settings.value(QStringLiteral("FTPBufferSize")).toInt(), 16384);
    QCOMPARE(settings.value(QStringLiteral("SqlDbHost")).toString(), KorvexGlobals::appDataPath + "/korvex.s3db");
    QCOMPARE(settings.value(QStringLiteral("CheckUpdatesAtStartup")).toBool(), true);
    QCOMPARE(settings.value(QStringLiteral("JpegCompressionQuality")).toInt(), 100);

    // The file holds the remembered password: only its owner may read it, also after the
    // store has rewritten it.
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                               | QFileDevice::ReadUser | QFileDevice::WriteUser;
    QCOMPARE(QFile::permissions(settings.fileName()), ownerOnly);
    KorvexGlobals::WsPassword = QStringLiteral("segreta");
    globals.saveSettings();
    QCOMPARE(QFile::permissions(settings.fileName()), ownerOnly);
}

void TestSettings::existingDatabaseIsKept()
{
    QVERIFY(QFile::copy(QStringLiteral(KORVEX_BUILT_SEED_DATABASE), seedInApplicationFolder()));
    QVERIFY(QDir().mkpath(KorvexGlobals::appDataPath));
    const QString own = KorvexGlobals::appDataPath + QStringLiteral("/korvex.s3db");
    QVERIFY(catalogfixture::buildFixture(own));
    const QByteArray before = [&] { QFile f(own); f.open(QIODevice::ReadOnly); return f.readAll(); }();

    QCOMPARE(loadError(), QString());
    QCOMPARE(KorvexGlobals::WsEndpoint, QStringLiteral("http://127.0.0.1:1/"));
    QCOMPARE(KorvexGlobals::ServiceDataDbVersion, 3);
    QFile f(own);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
}

void TestSettings::settingsRoundTrip()
{
    QVERIFY(QDir().mkpath(KorvexGlobals::appDataPath));
    const QString database = m_home->path() + QStringLiteral("/altrove.s3db");
    QVERIFY(catalogfixture::buildFixture(database));
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vendrel"), mainName);
        settings.setValue(QStringLiteral("SqlDbHost"), database);
    }
    KorvexGlobals globals;
    globals.loadSettings();

    // An endpoint holding a quote must be stored as it is and change nothing else.
    const QString endpoint = QStringLiteral("http://o'brien.example/'); DELETE FROM config; --/");
    KorvexGlobals::WsUsername = QStringLiteral("mario.rossi");
    KorvexGlobals::WsPassword = QStringLiteral("pàss'word");
    KorvexGlobals::UploadsAutoStart = true;
    KorvexGlobals::FTPBufferSize = 65536;
    KorvexGlobals::CheckUpdatesAtStartup = false;
    KorvexGlobals::JpegCompressionQuality = 85;
    KorvexGlobals::WsEndpoint = endpoint;
    KorvexGlobals::ServiceDataDbVersion = 42;
    globals.saveSettings();

    resetGlobals();
    globals.loadSettings();
    QCOMPARE(KorvexGlobals::SqlDbHost, database);
    QCOMPARE(KorvexGlobals::WsUsername, QStringLiteral("mario.rossi"));
    QCOMPARE(KorvexGlobals::WsPassword, QStringLiteral("pàss'word"));
    QCOMPARE(KorvexGlobals::UploadsAutoStart, true);
    QCOMPARE(KorvexGlobals::FTPBufferSize, 65536);
    QCOMPARE(KorvexGlobals::CheckUpdatesAtStartup, false);
    QCOMPARE(KorvexGlobals::JpegCompressionQuality, 85);
    QCOMPARE(KorvexGlobals::WsEndpoint, endpoint);
    QCOMPARE(KorvexGlobals::ServiceDataDbVersion, 42);
    resetGlobals();
    QCOMPARE(configValue(database, QStringLiteral("wsendpoint")), endpoint);
    QCOMPARE(configValue(database, QStringLiteral("dbVersion")), QStringLiteral("42"));
}

void TestSettings::configurationRows_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("states");
    QTest::addColumn<QString>("errorStart"); // empty: loading succeeds

    QTest::newRow("no dbVersion row") << "DELETE FROM config WHERE chiave = 'dbVersion'" << 0 << 8 << QString();
    QTest::newRow("dbVersion not a number") << "UPDATE config SET valore = 'v2' WHERE chiave = 'dbVersion'" << 0 << 8
                                            << QString();
    QTest::newRow("no order states") << "DROP TABLE stati_ordine" << 3 << 0 << QString();
    QTest::newRow("no config table") << "DROP TABLE config" << 0 << 0
                                     << "Impossibile ottenere tutti i parametri di configurazione necessari:\n";
}

void TestSettings::configurationRows()
{
    QFETCH(QString, statement);
    QFETCH(int, version);
    QFETCH(int, states);
    QFETCH(QString, errorStart);

    QVERIFY(QDir().mkpath(KorvexGlobals::appDataPath));
    const QString database = KorvexGlobals::appDataPath + QStringLiteral("/korvex.s3db");
    QVERIFY(catalogfixture::buildFixture(database));
    runOn(database, statement);
    KorvexGlobals::statusMap.insert(QStringLiteral("stale"), 99);

    const QString error = loadError();
    if (errorStart.isEmpty()) {
        QCOMPARE(error, QString());
        QCOMPARE(KorvexGlobals::statusMap.size(), states);
    } else {
        QVERIFY2(error.startsWith(errorStart), qPrintable(error));
        QVERIFY2(error.size() > errorStart.size(), "the driver's text follows");
    }
    QCOMPARE(KorvexGlobals::ServiceDataDbVersion, version);
}

void TestSettings::databaseThatCannotBeOpened()
{
    // A folder where the database file should be: it exists, but SQLite cannot open it.
    QVERIFY(QDir().mkpath(KorvexGlobals::appDataPath + QStringLiteral("/korvex.s3db")));
    const QString error = loadError();
    const QString start = QStringLiteral("Impossibile aprire il database delle impostazioni:\n");
    QVERIFY2(error.startsWith(start), qPrintable(error));
    QVERIFY(error.size() > start.size());
}

void TestSettings::openConnectionIsReused()
{
    QVERIFY(QFile::copy(QStringLiteral(KORVEX_BUILT_SEED_DATABASE), seedInApplicationFolder()));
    KorvexGlobals globals;
    globals.loadSettings();
    // A temporary table lives as long as its connection.
    QSqlQuery(KorvexGlobals::db).exec(QStringLiteral("CREATE TEMP TABLE marker (x INTEGER)"));
    globals.loadSettings();
    QVERIFY(QSqlQuery(KorvexGlobals::db).exec(QStringLiteral("SELECT * FROM marker")));

    KorvexGlobals::db.close();
    globals.loadSettings();
    QVERIFY(KorvexGlobals::db.isOpen());
    QVERIFY(!QSqlQuery(KorvexGlobals::db).exec(QStringLiteral("SELECT * FROM marker")));
    QCOMPARE(KorvexGlobals::WsEndpoint, KorvexGlobals::WsEndpointDemo);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
