// Read-only queries on the local print catalogue, on the fixture catalogue.

#include <functional>
#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QTest>
#include <QThread>

#include "catalogfixture.h"
#include "korvex2exception.h"
#include "korvexglobals.h"
#include "ordinilocal.h"
#include "testhome.h"

using Operation = std::function<void(OrdiniLocal &)>;
Q_DECLARE_METATYPE(Operation)

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void productLoadsWithItsFormatAndPaper();
    void singleLoads_data();
    void singleLoads();
    void invalidIdsAreRefused_data();
    void invalidIdsAreRefused();
    void productExists_data();
    void productExists();
    void lists_data();
    void lists();
    void failedQueriesReportTheirTexts_data();
    void failedQueriesReportTheirTexts();
    void closedConnectionIsOpenedAgain();
    void workerThreadReadsThroughItsOwnConnection();

private:
    std::unique_ptr<TestHome> m_home;
    QString m_fixture;
};

namespace {

// Runs an operation and returns the message of the Korvex2Exception it throws, or an
// empty text.
QString messageOf(const Operation &operation)
{
    OrdiniLocal store;
    try {
        operation(store);
    } catch (const Korvex2Exception &e) {
        return e.code.empty() ? QString::fromStdString(e.message) : QStringLiteral("unexpected code");
    }
    return QString();
}

QList<int> idsOf(const QList<OrdiniLocal::CartaLocal> &list)
{
    QList<int> ids;
    for (const auto &c : list)
        ids.append(c.id);
    return ids;
}

QList<int> idsOf(const QList<OrdiniLocal::FormatoLocal> &list)
{
    QList<int> ids;
    for (const auto &f : list)
        ids.append(f.id);
    return ids;
}

OrdiniLocal::FormatoLocal formatoWithId(int id)
{
    OrdiniLocal::FormatoLocal f;
    f.id = id;
    return f;
}

OrdiniLocal::CartaLocal cartaWithId(int id)
{
    OrdiniLocal::CartaLocal c;
    c.id = id;
    return c;
}

void closeEveryConnection()
{
    KorvexGlobals::db.close();
    KorvexGlobals::db = QSqlDatabase();
    const QStringList names = QSqlDatabase::connectionNames();
    for (const QString &name : names)
        QSqlDatabase::removeDatabase(name);
}

QMutex warningsMutex;
QStringList warnings;

void collectWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    QMutexLocker locker(&warningsMutex);
    warnings.append(message);
}

} // namespace

void TestCatalogue::initTestCase()
{
    m_home = std::make_unique<TestHome>();
    QVERIFY(m_home->isValid());
    QCoreApplication::setOrganizationName(QStringLiteral("Vendrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvex2"));
    KorvexGlobals::appDataPath = m_home->dataFolder(QStringLiteral("Korvex2"));
    QVERIFY(QDir().mkpath(KorvexGlobals::appDataPath));
    m_fixture = KorvexGlobals::appDataPath + QStringLiteral("/korvex.s3db");
    QString error;
    QVERIFY2(catalogfixture::buildFixture(m_fixture, &error), qPrintable(error));
}

void TestCatalogue::init()
{
    closeEveryConnection();
    KorvexGlobals().loadSettings();
    QCOMPARE(KorvexGlobals::SqlDbHost, m_fixture);
}

void TestCatalogue::productLoadsWithItsFormatAndPaper()
{
    OrdiniLocal store;
    const OrdiniLocal::StampaLocal s = store.StampaLocalFromDb(1);
    QCOMPARE(s.id, 1);
    QCOMPARE(s.codice, QStringLiteral("ST1015L"));
    QCOMPARE(s.colonna4, QStringLiteral("10x15 Lucida"));
    QCOMPARE(s.descrizione, QStringLiteral("Stampa 10x15 su carta lucida"));
    QCOMPARE(s.prezzo, 0.25);
    QCOMPARE(s.formato.id, 1);
    QCOMPARE(s.formato.colonna1, QStringLiteral("F15X10"));
    QCOMPARE(s.formato.colonna2, QStringLiteral("10x15 orizzontale"));
    QCOMPARE(s.formato.colonna3, 1800);
    QCOMPARE(s.formato.colonna4, 1200);
    QCOMPARE(s.formato.colonna5, 300);
    QCOMPARE(s.carta.id, 1);
    QCOMPARE(s.carta.colonna1, QStringLiteral("LUC"));
    QCOMPARE(s.carta.colonna2, QStringLiteral("Lucida"));

    const OrdiniLocal::StampaLocal pair = store.GetStampaByFormatoCarta(1, 2);
    QCOMPARE(pair.id, 3);
    QCOMPARE(pair.formato.colonna2, QStringLiteral("10x15 orizzontale"));
    QCOMPARE(pair.carta.colonna2, QStringLiteral("Opaca"));
}

void TestCatalogue::singleLoads_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("formatoId");
    QTest::addColumn<int>("cartaId");

    QTest::newRow("missing product: defaults") << "stampa" << 999 << 0 << 0 << 0 << 0;
    QTest::newRow("product on a missing format") << "stampa" << 8 << 0 << 8 << 0 << 2;
    QTest::newRow("format") << "formato" << 3 << 0 << 3 << 3 << 0;
    QTest::newRow("missing format") << "formato" << 99 << 0 << 0 << 0 << 0;
    QTest::newRow("paper no product uses") << "carta" << 3 << 0 << 3 << 0 << 3;
    QTest::newRow("missing paper") << "carta" << 42 << 0 << 0 << 0 << 0;
    QTest::newRow("pair shared by two products: the first") << "pair" << 1 << 1 << 1 << 1 << 1;
    QTest::newRow("pair without product") << "pair" << 5 << 1 << 0 << 0 << 0;
}

void TestCatalogue::singleLoads()
{
    QFETCH(QString, operation);
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(int, id);
    QFETCH(int, formatoId);
    QFETCH(int, cartaId);

    OrdiniLocal store;
    if (operation == QLatin1String("formato")) {
        const OrdiniLocal::FormatoLocal f = store.FormatoLocalFromDb(first);
        QCOMPARE(f.id, id);
        if (id == 0)
            QVERIFY(f.colonna2.isEmpty() && f.colonna3 == 0 && f.colonna5 == 0);
        return;
    }
    if (operation == QLatin1String("carta")) {
        const OrdiniLocal::CartaLocal c = store.CartaLocalFromDb(first);
        QCOMPARE(c.id, id);
        QCOMPARE(c.colonna2.isEmpty(), id == 0);
        return;
    }
    const OrdiniLocal::StampaLocal s =
        operation == QLatin1String("pair") ? store.GetStampaByFormatoCarta(first, second) : store.StampaLocalFromDb(first);
    QCOMPARE(s.id, id);
    QCOMPARE(s.formato.id, formatoId);
    QCOMPARE(s.carta.id, cartaId);
    if (formatoId == 0)
        QVERIFY(s.formato.colonna2.isEmpty() && s.formato.colonna3 == 0 && s.formato.colonna4 == 0);
    if (id == 0)
        QVERIFY(s.codice.isEmpty() && s.descrizione.isEmpty() && s.prezzo == 0.0);
}

void TestCatalogue::invalidIdsAreRefused_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("message");

    const QString stampa = QStringLiteral(
        "E' necessario specificare un id valido per recuperare le informazioni della stampa richiesta");
    const QString formato = QStringLiteral(
        "E' necessario specificare un ID valido per recuperare le informazioni del formato richiesto");
    const QString carta = QStringLiteral(
        "E' necessario specificare un ID valido per recuperare le informazioni della carta richiesta");
    const QString pair = QStringLiteral("E' necessario specificare un ID valido per il formato e la carta al fine di "
                                        "recuperare le informazioni della stampa richiesta");

    QTest::newRow("product 0") << Operation([](OrdiniLocal &s) { s.StampaLocalFromDb(0); }) << stampa;
    QTest::newRow("product -1") << Operation([](OrdiniLocal &s) { s.StampaLocalFromDb(-1); }) << stampa;
    QTest::newRow("format 0") << Operation([](OrdiniLocal &s) { s.FormatoLocalFromDb(0); }) << formato;
    QTest::newRow("paper 0") << Operation([](OrdiniLocal &s) { s.CartaLocalFromDb(0); }) << carta;
    QTest::newRow("pair, format 0") << Operation([](OrdiniLocal &s) { s.GetStampaByFormatoCarta(0, 1); }) << pair;
    QTest::newRow("pair, paper -3") << Operation([](OrdiniLocal &s) { s.GetStampaByFormatoCarta(1, -3); }) << pair;
    QTest::newRow("product whose format is 0") << Operation([](OrdiniLocal &s) { s.StampaLocalFromDb(7); }) << formato;
}

void TestCatalogue::invalidIdsAreRefused()
{
    QFETCH(Operation, operation);
    QFETCH(QString, message);
    QCOMPARE(messageOf(operation), message);
}

void TestCatalogue::productExists_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("exists");
    QTest::newRow("1") << 1 << true;
    QTest::newRow("on a missing format") << 8 << true;
    QTest::newRow("missing") << 999 << false;
    QTest::newRow("0") << 0 << false;
    QTest::newRow("negative") << -5 << false;
}

void TestCatalogue::productExists()
{
    QFETCH(int, id);
    QFETCH(bool, exists);
    QCOMPARE(OrdiniLocal().StampaLocalExistInDb(id), exists);
}

void TestCatalogue::lists_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("id");
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("papers of a format, twice when two products share them")
        << "carteByFormato" << 1 << QList<int>{1, 1, 2};
    QTest::newRow("papers of a format no product uses") << "carteByFormato" << 5 << QList<int>();
    QTest::newRow("papers of the product with format 0") << "carteByFormato" << 0 << QList<int>{1};
    QTest::newRow("formats of a paper, by name") << "formatiByCarta" << 1 << QList<int>{1, 1, 3, 4};
    QTest::newRow("formats of a paper, missing format left out") << "formatiByCarta" << 2 << QList<int>{1, 2};
    QTest::newRow("formats of a paper no product uses") << "formatiByCarta" << 3 << QList<int>();
    QTest::newRow("papers in use, by name") << "carte" << 0 << QList<int>{1, 2};
    QTest::newRow("formats in use, by height then width") << "formati" << 0 << QList<int>{4, 1, 2, 3};
}

void TestCatalogue::lists()
{
    QFETCH(QString, operation);
    QFETCH(int, id);
    QFETCH(QList<int>, expected);

    OrdiniLocal store;
    if (operation == QLatin1String("carteByFormato")) {
        const auto carte = store.GetCarteByFormato(formatoWithId(id));
        QCOMPARE(idsOf(carte), expected);
        if (!carte.isEmpty())
            QCOMPARE(carte.constFirst().colonna1, QStringLiteral("LUC"));
    } else if (operation == QLatin1String("formatiByCarta")) {
        QCOMPARE(idsOf(store.GetFormatiByCarta(cartaWithId(id))), expected);
    } else if (operation == QLatin1String("carte")) {
        QCOMPARE(idsOf(store.GetCarte()), expected);
    } else {
        const auto formati = store.GetFormati();
        QCOMPARE(idsOf(formati), expected);
        const OrdiniLocal::FormatoLocal narrow = formati.value(2);
        QCOMPARE(narrow.colonna1, QStringLiteral("F10X15"));
        QCOMPARE(narrow.colonna2, QStringLiteral("10x15 verticale"));
        QCOMPARE(narrow.colonna3, 1200);
        QCOMPARE(narrow.colonna4, 1800);
        QCOMPARE(narrow.colonna5, 300);
    }
}

void TestCatalogue::failedQueriesReportTheirTexts_data()
{
    QTest::addColumn<QString>("database"); // "empty": a database without tables; "none": cannot be opened
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("driverTextFollows");

    const struct
    {
        const char *name;
        Operation operation;
        QString message;
        bool driverText;
    } cases[] = {
        {"product", [](OrdiniLocal &s) { s.StampaLocalFromDb(1); },
         QStringLiteral("Impossibile caricare le informazione della Stampa richiesta:\n"), true},
        {"format", [](OrdiniLocal &s) { s.FormatoLocalFromDb(1); },
         QStringLiteral("Impossibile caricare le informazione del Frmato richiesto:\n"), true},
        {"paper", [](OrdiniLocal &s) { s.CartaLocalFromDb(1); },
         QStringLiteral("Impossibile caricare le informazione della carta richiesta:\n"), true},
        {"pair", [](OrdiniLocal &s) { s.GetStampaByFormatoCarta(1, 1); },
         QStringLiteral("Impossibile caricare le informazione della stampa richiesta:\n"), true},
        {"papers of a format", [](OrdiniLocal &s) { s.GetCarteByFormato(formatoWithId(7)); },
         QStringLiteral("Impossibile caricare le carte disponibili in base al formato specificato (id:7)"), false},
        {"formats of a paper", [](OrdiniLocal &s) { s.GetFormatiByCarta(cartaWithId(0)); },
         QStringLiteral("Impossibile caricare i formati disponibili in base alla carta specificata (id:0)"), false},
        {"papers", [](OrdiniLocal &s) { s.GetCarte(); },
         QStringLiteral("Impossibile caricare le carte disponibili\r\n"), true},
        {"formats", [](OrdiniLocal &s) { s.GetFormati(); },
         QStringLiteral("Impossibile caricare i formati disponibili\r\n"), true},
    };
    for (const char *database : {"empty", "none"}) {
        for (const auto &c : cases) {
            // A query run directly on a connection that is not open carries no driver text.
            const bool unopened = database == QLatin1String("none") && c.message.endsWith(QLatin1String("\r\n"));
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(database, c.name)))
                << QString::fromLatin1(database) << c.operation
                << (unopened ? c.message.chopped(2) : c.message) << (c.driverText && !unopened);
        }
    }
}

void TestCatalogue::failedQueriesReportTheirTexts()
{
    QFETCH(QString, database);
    QFETCH(Operation, operation);
    QFETCH(QString, message);
    QFETCH(bool, driverTextFollows);

    closeEveryConnection();
    if (database == QLatin1String("empty")) {
        KorvexGlobals::SqlDbHost = m_home->path() + QStringLiteral("/vuoto.s3db");
        QFile::remove(KorvexGlobals::SqlDbHost);
    } else {
        KorvexGlobals::SqlDbHost = m_home->path() + QStringLiteral("/manca/cartella/korvex.s3db");
    }

    const QString actual = messageOf(operation);
    if (driverTextFollows) {
        QVERIFY2(actual.startsWith(message), qPrintable(actual));
        QVERIFY2(actual.size() > message.size(), "the driver's text follows");
    } else {
        QCOMPARE(actual, message);
    }
    QVERIFY(!OrdiniLocal().StampaLocalExistInDb(1));
}

void TestCatalogue::closedConnectionIsOpenedAgain()
{
    OrdiniLocal before;
    QVERIFY(before.db.isOpen());
    KorvexGlobals::db.close();

    // An object built while the shared connection is closed opens the database itself ...
    OrdiniLocal after;
    QCOMPARE(idsOf(after.GetCarte()), (QList<int>{1, 2}));
    QVERIFY(KorvexGlobals::db.isOpen());
    QCOMPARE(KorvexGlobals::db.connectionName(), QString::fromLatin1(QSqlDatabase::defaultConnection));
    QCOMPARE(KorvexGlobals::db.databaseName(), m_fixture);
    // ... and one built earlier follows it at its next query.
    QCOMPARE(before.StampaLocalFromDb(3).id, 3);
    QCOMPARE(before.db.connectionName(), QString::fromLatin1(QSqlDatabase::defaultConnection));
}

void TestCatalogue::workerThreadReadsThroughItsOwnConnection()
{
    const QStringList connectionsBefore = QSqlDatabase::connectionNames();
    OrdiniLocal::StampaLocal fromWorker;
    QList<int> formatiFromWorker;
    bool connectionOfThisThread = false;
    QString failure;

    {
        QMutexLocker locker(&warningsMutex);
        warnings.clear();
    }
    const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            OrdiniLocal store;
            fromWorker = store.StampaLocalFromDb(5);
            formatiFromWorker = idsOf(store.GetFormati());
            // A connection may only be used by the thread that made it.
            connectionOfThisThread = store.db.isOpen() && store.db.driver()->thread() == QThread::currentThread();
        } catch (const Korvex2Exception &e) {
            failure = QString::fromStdString(e.message);
        }
    }));
    worker->start();
    const bool finished = worker->wait(30000);
    qInstallMessageHandler(previous);

    QVERIFY(finished);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(fromWorker.id, 5);
    QCOMPARE(fromWorker.formato.colonna2, QStringLiteral("20x15"));
    QCOMPARE(formatiFromWorker, (QList<int>{4, 1, 2, 3}));
    QVERIFY(connectionOfThisThread);
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
    // The worker's connection went with its thread; the shared one is untouched.
    QCOMPARE(QSqlDatabase::connectionNames(), connectionsBefore);
    QVERIFY(KorvexGlobals::db.isOpen());
    QCOMPARE(KorvexGlobals::db.connectionName(), QStringLiteral("KORVEX2_DB_CONNECTION"));
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
