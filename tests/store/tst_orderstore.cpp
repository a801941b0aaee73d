// Order files on disk: where they go, how they are named, and that a save never leaves a
// lost or half-written file, also when it fails or races another save.

#include <atomic>
#include <memory>


#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include "filesizelimit.h"
#include "korvex2exception.h"
#include "korvexglobals.h"
#include "orderfixture.h"
#include "ordinilocal.h"
#include "testhome.h"

class TestOrderStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void saveGivesANewUuidAndCreatesTheFolder();
    void oneOrdersFolder_data();
    void oneOrdersFolder();
    void givenFolderAndFailures();
    void interruptedSaveKeepsTheOldFile();
    void concurrentSavesLeaveOneWholeFile();

private:
    std::unique_ptr<TestHome> m_home;
};

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QString fileOf(const OrdiniLocal::OrdineLocal &ordine, const QString &folder = KorvexGlobals::ordersQueuePath())
{
    return folder + QStringLiteral("/") + ordine.Uuid + QStringLiteral(".kv2");
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

OrdiniLocal::OrdineLocal orderWithRows(int rows, const QString &note)
{
    OrdiniLocal store;
    OrdiniLocal::OrdineLocal o = orderfixture::fullOrder();
    o.Note = note;
    o.righeStampa.clear();
    for (int i = 0; i < rows; ++i) {
        OrdiniLocal::OrdineRigaStampaLocal r;
        store.initOrdineRigaStampaLocal(r);
        r.FilePath = QStringLiteral("/home/utente/Foto/IMG_%1.jpg").arg(i, 5, 10, QLatin1Char('0'));
        r.Prezzo = 0.25;
        r.Qta = i % 5 + 1;
        o.righeStampa.append(r);
    }
    return o;
}

} // namespace

void TestOrderStore::initTestCase()
{
    m_home = std::make_unique<TestHome>();
    QVERIFY(m_home->isValid());
    QCoreApplication::setOrganizationName(QStringLiteral("Vendrel"));
}

void TestOrderStore::init()
{
    QCoreApplication::setApplicationName(QStringLiteral("Korvex2"));
    KorvexGlobals::appDataPath = m_home->dataFolder(QStringLiteral("Korvex2"));
    QDir(KorvexGlobals::ordersQueuePath()).removeRecursively();
}

void TestOrderStore::saveGivesANewUuidAndCreatesTheFolder()
{
    OrdiniLocal store;
    OrdiniLocal::OrdineLocal o = orderfixture::fullOrder();
    o.Uuid.clear();
    QVERIFY(!QDir(KorvexGlobals::ordersQueuePath()).exists());

    QVERIFY(store.SaveXML(o));
    QVERIFY2(QRegularExpression(QStringLiteral("^\\{[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}\\}$"))
                 .match(o.Uuid)
                 .hasMatch(),
             qPrintable(o.Uuid));
    QCOMPARE(KorvexGlobals::ordersQueuePath(), KorvexGlobals::appDataPath + QStringLiteral("/orders_queue"));
    QCOMPARE(filesIn(KorvexGlobals::ordersQueuePath()), QStringList{o.Uuid + QStringLiteral(".kv2")});
    QCOMPARE(contents(fileOf(o)), store.ToXML(o).toUtf8());

    // Saved again under the same name, with its new contents.
    const QString uuid = o.Uuid;
    o.Note = QStringLiteral("seconda versione");
    QVERIFY(store.SaveXML(o));
    QCOMPARE(o.Uuid, uuid);
    QCOMPARE(filesIn(KorvexGlobals::ordersQueuePath()).size(), 1);
    QCOMPARE(store.FromXML(QString::fromUtf8(contents(fileOf(o)))).Note, o.Note);
}

void TestOrderStore::oneOrdersFolder_data()
{
    QTest::addColumn<QString>("applicationName");
    QTest::addColumn<QString>("dataFolder"); // relative to the home folder

    QTest::newRow("main") << "Korvex2" << ".Korvex2";
    QTest::newRow("profile") << "Korvex2test" << ".Korvex2test";
    QTest::newRow("data folder not named after the program") << "tst_orderstore" << "altrove/dati";
}

void TestOrderStore::oneOrdersFolder()
{
    QFETCH(QString, applicationName);
    QFETCH(QString, dataFolder);
    QCoreApplication::setApplicationName(applicationName);
    KorvexGlobals::appDataPath = m_home->path() + QStringLiteral("/") + dataFolder;

    OrdiniLocal store;
    OrdiniLocal::OrdineLocal o = orderfixture::fullOrder();
    QVERIFY(store.SaveXML(o));
    const QString saved = fileOf(o, KorvexGlobals::appDataPath + QStringLiteral("/orders_queue"));
    QVERIFY(QFile::exists(saved));

    // What the queue loads by default is what was saved by default ...
    const QString listed = KorvexGlobals::ordersQueuePath() + QStringLiteral("/") + o.Uuid + QStringLiteral(".kv2");
    QCOMPARE(QFileInfo(listed).canonicalFilePath(), QFileInfo(saved).canonicalFilePath());
    // ... and deleting by default removes that very file.
    QVERIFY(store.DeleteXML(o));
    QVERIFY(!QFile::exists(saved));
    QVERIFY(!store.DeleteXML(o));
}

void TestOrderStore::givenFolderAndFailures()
{
    OrdiniLocal store;
    const QString folder = m_home->path() + QStringLiteral("/scelta/ordini");
    OrdiniLocal::OrdineLocal o = orderfixture::fullOrder();
    QVERIFY(store.SaveXML(o, folder));
    QVERIFY(QFile::exists(fileOf(o, folder)));
    QVERIFY(!QDir(KorvexGlobals::ordersQueuePath()).exists());

    OrdiniLocal::OrdineLocal unsaved = orderfixture::fullOrder();
    unsaved.Uuid.clear();
    QVERIFY(!store.DeleteXML(unsaved, folder));
    QVERIFY(QFile::exists(fileOf(o, folder)));
    QVERIFY(store.DeleteXML(o, folder));
    QVERIFY(!QFile::exists(fileOf(o, folder)));

    // A folder that cannot exist (below a plain file): nothing written, the order unchanged.
    QFile plain(m_home->path() + QStringLiteral("/file"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(!store.SaveXML(unsaved, plain.fileName() + QStringLiteral("/ordini")));
    QVERIFY(unsaved.Uuid.isEmpty());
    QVERIFY(!store.DeleteXML(o, plain.fileName() + QStringLiteral("/ordini")));

    // A text that XML cannot carry would make the file unreadable: the old file stays.
    QVERIFY(store.SaveXML(o, folder));
    const QByteArray before = contents(fileOf(o, folder));
    for (const QString &text : {QStringLiteral("bip \x07"), QStringLiteral("a") + QChar(0xFFFE),
                                QStringLiteral("x") + QChar(0xD800)}) {
        OrdiniLocal::OrdineLocal bad = o;
        bad.Note = text;
        QVERIFY(!store.SaveXML(bad, folder));
        bad = o;
        bad.righeStampa[0].FilePath = QStringLiteral("/foto/") + text;
        QVERIFY(!store.SaveXML(bad, folder));
    }
    QCOMPARE(contents(fileOf(o, folder)), before);
    o.Note = QStringLiteral("tab\t, emoji \U0001F600, accenti àèìòù");
    QVERIFY(store.SaveXML(o, folder));
    QCOMPARE(store.FromXML(QString::fromUtf8(contents(fileOf(o, folder)))).Note, o.Note);
}

void TestOrderStore::interruptedSaveKeepsTheOldFile()
{
    OrdiniLocal store;
    OrdiniLocal::OrdineLocal o = orderWithRows(1, QStringLiteral("prima versione"));
    QVERIFY(store.SaveXML(o));
    const QByteArray before = contents(fileOf(o));
    QVERIFY(before.size() < 4096);

    // The new version is far larger than what the file system lets this process write:
    // the write fails half-way, before the file would replace the old one.
    OrdiniLocal::OrdineLocal larger = orderWithRows(200, QStringLiteral("seconda versione"));
    larger.Uuid = o.Uuid;
    bool saved = true;
    {
        FileSizeLimit limit(8192);
        QVERIFY(limit.ok());
        saved = store.SaveXML(larger);
    }
    QVERIFY(!saved);
    QCOMPARE(contents(fileOf(o)), before);
    QCOMPARE(filesIn(KorvexGlobals::ordersQueuePath()), QStringList{o.Uuid + QStringLiteral(".kv2")});

    QVERIFY(store.SaveXML(larger));
    QCOMPARE(store.FromXML(QString::fromUtf8(contents(fileOf(o)))).righeStampa.size(), 200);
}

void TestOrderStore::concurrentSavesLeaveOneWholeFile()
{
    const OrdiniLocal::OrdineLocal a = orderWithRows(300, QStringLiteral("versione A"));
    OrdiniLocal::OrdineLocal b = orderWithRows(450, QStringLiteral("versione B"));
    b.Uuid = a.Uuid;
    const QString path = fileOf(a);
    QVERIFY(OrdiniLocal().SaveXML(b));

    std::atomic<bool> writing {true};
    std::atomic<int> failedSaves {0};
    std::atomic<int> damagedReads {0};
    std::atomic<int> reads {0};

    auto writer = [&failedSaves](OrdiniLocal::OrdineLocal ordine) {
        OrdiniLocal store;
        for (int i = 0; i < 40; ++i)
            if (!store.SaveXML(ordine))
                ++failedSaves;
    };
    std::unique_ptr<QThread> first(QThread::create(writer, a));
    std::unique_ptr<QThread> second(QThread::create(writer, b));
    std::unique_ptr<QThread> reader(QThread::create([&] {
        OrdiniLocal store;
        while (writing) {
            const QByteArray bytes = contents(path);
            ++reads;
            try {
                const OrdiniLocal::OrdineLocal read = store.FromXML(QString::fromUtf8(bytes));
                if (read.righeStampa.size() != 300 && read.righeStampa.size() != 450)
                    ++damagedReads;
            } catch (const Korvex2Exception &) {
                ++damagedReads;
            }
        }
    }));
    reader->start();
    first->start();
    second->start();
    QVERIFY(first->wait(60000));
    QVERIFY(second->wait(60000));
    writing = false;
    QVERIFY(reader->wait(60000));

    QCOMPARE(failedSaves.load(), 0);
    QVERIFY(reads.load() > 0);
    QCOMPARE(damagedReads.load(), 0);
    QCOMPARE(filesIn(KorvexGlobals::ordersQueuePath()), QStringList{a.Uuid + QStringLiteral(".kv2")});
    const OrdiniLocal::OrdineLocal last = OrdiniLocal().FromXML(QString::fromUtf8(contents(path)));
    const QString diffA = orderfixture::differences(last, a);
    const QString diffB = orderfixture::differences(last, b);
    QVERIFY2(diffA.isEmpty() || diffB.isEmpty(), qPrintable(diffA + QStringLiteral(" / ") + diffB));
}

QTEST_GUILESS_MAIN(TestOrderStore)
#include "tst_orderstore.moc"
