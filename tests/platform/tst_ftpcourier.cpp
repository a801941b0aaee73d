// The FTP upload client against the laboratory's FTP server on loopback: where files land,
// what progress says, and how each kind of failure comes out.

#include <QtTest>

#include <QTcpServer>

#include <atomic>
#include <memory>
#include <thread>

#include "ftpcourier.h"
#include "ftptestserver.h"

using Kind = FtpCourierException::Kind;

Q_DECLARE_METATYPE(FtpCourierException::Kind)

namespace {

QByteArray content(qint64 size, int seed)
{
    QByteArray bytes;
    bytes.resize(static_cast<int>(size));
    quint32 x = 2463534242u + static_cast<quint32>(seed);
    for (int i = 0; i < bytes.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<char>(x & 0xff);
    }
    return bytes;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

std::string utf8(const QString &s) { return s.toUtf8().toStdString(); }

} // namespace

class TestFtpCourier : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void uploadWithProgress_data();
    void uploadWithProgress();
    void workingFolders_data();
    void workingFolders();
    void overwrite();
    void refusals_data();
    void refusals();
    void noServer();
    void transientServerFailures_data();
    void transientServerFailures();
    void shortStoreIsWhatSizeSays();
    void timeOut();
    void abortFromAnotherThread_data();
    void abortFromAnotherThread();

private:
    std::unique_ptr<FtpCourier> courier(int timeoutSeconds = 5) const;
    QString makeFile(const QString &name, const QByteArray &bytes);
    Kind failureOf(const std::function<void()> &call, FtpCourierException *caught = nullptr);

    std::unique_ptr<FtpTestServer> m_server;
    QTemporaryDir m_local;
};

void TestFtpCourier::initTestCase()
{
    FtpTestServer::Options options;
    options.readonly << QStringLiteral("sola-lettura");
    m_server = std::make_unique<FtpTestServer>(options);
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
    QVERIFY(m_local.isValid());
}

void TestFtpCourier::init()
{
    QVERIFY(m_server->resetFaults());
}

std::unique_ptr<FtpCourier> TestFtpCourier::courier(int timeoutSeconds) const
{
    auto c = std::make_unique<FtpCourier>(utf8(m_server->host()), m_server->port(),
                                          utf8(m_server->user()), utf8(m_server->password()));
    c->setTimeout(timeoutSeconds);
    return c;
}

QString TestFtpCourier::makeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = m_local.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

Kind TestFtpCourier::failureOf(const std::function<void()> &call, FtpCourierException *caught)
{
    try {
        call();
    } catch (const FtpCourierException &e) {
        if (caught)
            *caught = e;
        return e.kind;
    }
    QTest::qFail("the call did not fail", __FILE__, __LINE__);
    return Kind::Protocol;
}

void TestFtpCourier::uploadWithProgress_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("buffer"); // 0: the default of 16384

    QTest::newRow("empty file") << 0 << 0;
    QTest::newRow("one byte") << 1 << 0;
    QTest::newRow("exact blocks") << 4 * 16384 << 0;
    QTest::newRow("last block short") << 100000 << 16384;
    QTest::newRow("small buffer") << 10000 << 1000;
    QTest::newRow("buffer larger than file") << 5000 << (1 << 20);
    QTest::newRow("3 MB") << 3 * 1024 * 1024 << 65536;
}

void TestFtpCourier::uploadWithProgress()
{
    QFETCH(int, size);
    QFETCH(int, buffer);
    const QByteArray bytes = content(size, size);
    const QString local = makeFile(QStringLiteral("foto 1 è.jpg"), bytes);
    const QString remote = QStringLiteral("%1").arg(1000 + size);

    auto c = courier();
    if (buffer > 0)
        c->setTransferBufferSize(buffer);
    QSignalSpy progress(c.get(), &FtpCourier::onFileProgress);
    c->uploadFile(utf8(local), utf8(remote), true);

    QCOMPARE(readAll(m_server->localPath(remote)), bytes);
    QCOMPARE(c->sizeFile(utf8(remote)), std::int64_t(size));

    // One report at the start, then one per block, file size first, 64-bit counts.
    const int block = buffer > 0 ? buffer : 16384;
    QCOMPARE(progress.count(), 1 + (size + block - 1) / block);
    qint64 previous = -1;
    for (const QList<QVariant> &report : qAsConst(progress)) {
        QCOMPARE(report.at(0).userType(), int(QMetaType::LongLong));
        QCOMPARE(report.at(0).toLongLong(), qint64(size));
        const qint64 sent = report.at(1).toLongLong();
        QVERIFY(sent > previous);
        QVERIFY(sent - qMax<qint64>(previous, 0) <= block);
        previous = sent;
    }
    QCOMPARE(progress.first().at(1).toLongLong(), qint64(0));
    QCOMPARE(previous, qint64(size));
}

void TestFtpCourier::workingFolders_data()
{
    QTest::addColumn<QString>("workingDir");
    QTest::addColumn<QString>("remoteName");
    QTest::addColumn<QString>("landsAt"); // under the login folder

    // The caller puts its working folder in front of every remote name.
    QTest::newRow("login folder") << "" << "41" << "41";
    QTest::newRow("relative") << "in" << "in/42" << "in/42";
    QTest::newRow("relative with slash") << "in/" << "in/43" << "in/43";
    QTest::newRow("relative, two levels") << "ordini/2024/" << "ordini/2024/44" << "ordini/2024/44";
    QTest::newRow("absolute") << "/abs/" << "/abs/45" << "abs/45";
    QTest::newRow("absolute name, relative folder") << "in/" << "/in/46" << "in/46";
}

void TestFtpCourier::workingFolders()
{
    QFETCH(QString, workingDir);
    QFETCH(QString, remoteName);
    QFETCH(QString, landsAt);
    for (const QString &folder : {QStringLiteral("in"), QStringLiteral("abs"), QStringLiteral("ordini/2024")})
        QVERIFY(QDir(m_server->rootPath()).mkpath(folder));

    const QByteArray bytes = content(3000, 7);
    auto c = courier();
    c->setWorkingDir(utf8(workingDir));
    c->uploadFile(utf8(makeFile(QStringLiteral("a.bin"), bytes)), utf8(remoteName), true);

    QCOMPARE(readAll(m_server->localPath(landsAt)), bytes);
    QCOMPARE(c->sizeFile(utf8(remoteName)), std::int64_t(bytes.size()));
    // Never in the folder twice.
    if (!workingDir.isEmpty())
        QVERIFY(!QFileInfo::exists(m_server->localPath(workingDir + QLatin1Char('/') + remoteName)));
}

void TestFtpCourier::overwrite()
{
    const QByteArray first = content(5000, 1);
    const QByteArray second = content(7000, 2);
    auto c = courier();
    c->uploadFile(utf8(makeFile(QStringLiteral("1.bin"), first)), "sovrascrivi", true);
    c->uploadFile(utf8(makeFile(QStringLiteral("2.bin"), second)), "sovrascrivi", true);
    QCOMPARE(readAll(m_server->localPath("sovrascrivi")), second);

    FtpCourierException e("", "", Kind::Protocol);
    QCOMPARE(failureOf([&] { c->uploadFile(utf8(m_local.filePath("1.bin")), "sovrascrivi", false); }, &e),
             Kind::Refused);
    QVERIFY(!e.transient());
    QCOMPARE(readAll(m_server->localPath("sovrascrivi")), second);

    // A refusal leaves the courier usable; a new name is written even without overwrite.
    c->uploadFile(utf8(m_local.filePath("1.bin")), "nuovo", false);
    QCOMPARE(readAll(m_server->localPath("nuovo")), first);
}

void TestFtpCourier::refusals_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("workingDir");
    QTest::addColumn<QString>("call"); // "upload <local> <remote>" or "size <remote>"
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("code");

    const QString good = QStringLiteral("segreta");
    QTest::newRow("wrong password") << "sbagliata" << "" << "upload a.bin x" << Kind::LoginRefused << "530";
    QTest::newRow("wrong password, size") << "" << "" << "size x" << Kind::LoginRefused << "530";
    QTest::newRow("missing remote file") << good << "" << "size non-esiste" << Kind::NotFound << "550";
    QTest::newRow("missing local file") << good << "" << "upload manca.bin x" << Kind::LocalFile << "";
    QTest::newRow("missing working folder") << good << "manca/" << "upload a.bin manca/x" << Kind::Refused << "550";
    QTest::newRow("folder without write permission")
        << good << "sola-lettura/" << "upload a.bin sola-lettura/x" << Kind::Refused << "550";
    QTest::newRow("missing remote folder") << good << "" << "upload a.bin manca/x" << Kind::Refused << "550";
}

void TestFtpCourier::refusals()
{
    QFETCH(QString, password);
    QFETCH(QString, workingDir);
    QFETCH(QString, call);
    QFETCH(Kind, kind);
    QFETCH(QString, code);
    makeFile(QStringLiteral("a.bin"), content(100, 3));

    FtpCourier c(utf8(m_server->host()), m_server->port(), utf8(m_server->user()), utf8(password));
    c.setTimeout(5);
    c.setWorkingDir(utf8(workingDir));
    const QStringList words = call.split(QLatin1Char(' '));
    FtpCourierException e("", "", Kind::Protocol);
    const Kind got = failureOf(
        [&] {
            if (words[0] == QLatin1String("size"))
                c.sizeFile(utf8(words[1]));
            else
                c.uploadFile(utf8(m_local.filePath(words[1])), utf8(words[2]), true);
        },
        &e);
    QVERIFY2(got == kind, e.message.c_str());
    QCOMPARE(QString::fromStdString(e.code), code);
    QVERIFY(!e.transient());
    QVERIFY(!e.message.empty());
    if (words[0] == QLatin1String("upload"))
        QVERIFY(!QFileInfo::exists(m_server->localPath(words[2])));
}

void TestFtpCourier::noServer()
{
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    FtpCourier c("127.0.0.1", closedPort, "u", "p");
    c.setTimeout(5);
    FtpCourierException e("", "", Kind::Protocol);
    QCOMPARE(failureOf([&] { c.sizeFile("x"); }, &e), Kind::ConnectionLost);
    QVERIFY(e.transient());
}

void TestFtpCourier::transientServerFailures_data()
{
    QTest::addColumn<QString>("knob");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("code");

    QTest::newRow("upload refused for now") << "fail_uploads" << Kind::ServerBusy << "451";
    QTest::newRow("connection dropped during the transfer") << "drop_uploads" << Kind::ConnectionLost << "";
}

void TestFtpCourier::transientServerFailures()
{
    QFETCH(QString, knob);
    QFETCH(Kind, kind);
    QFETCH(QString, code);
    const QByteArray bytes = content(4 * 1024 * 1024, 9);
    const std::string local = utf8(makeFile(QStringLiteral("grande.bin"), bytes));
    // A time-out that a busy machine never reaches on this loopback, and far above the bound
    // below.
    auto c = courier(120);
    c->uploadFile(local, "prima", true); // the connection is open before the failure

    QVERIFY(m_server->setFaults({{knob, 1}, {QStringLiteral("drop_after_bytes"), 100000}}));
    FtpCourierException e("", "", Kind::Protocol);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(failureOf([&] { c->uploadFile(local, "seconda", true); }, &e), kind);
    QVERIFY2(clock.elapsed() < 60000, "a broken connection is reported at once, not after the time-out");
    QVERIFY(e.transient());
    QCOMPARE(QString::fromStdString(e.code), code);

    // The same courier tries again on a fresh connection, and this time the file arrives.
    c->uploadFile(local, "seconda", true);
    QCOMPARE(c->sizeFile("seconda"), std::int64_t(bytes.size()));
    QCOMPARE(readAll(m_server->localPath("seconda")), bytes);
}

void TestFtpCourier::shortStoreIsWhatSizeSays()
{
    // The server answers success but keeps half: the upload returns normally, and the size
    // query reports what is really stored, so that the caller can tell.
    const QByteArray bytes = content(200000, 4);
    auto c = courier();
    QVERIFY(m_server->setFaults({{"short_uploads", 1}}));
    c->uploadFile(utf8(makeFile("corto.bin", bytes)), "corto", true);
    QCOMPARE(c->sizeFile("corto"), std::int64_t(bytes.size() / 2));
}

void TestFtpCourier::timeOut()
{
    // The server answers after 30 s; the courier gives up after its own second, long before
    // (a bound a busy machine stays well under).
    QVERIFY(m_server->setFaults({{"delay_seconds", 30}}));
    auto c = courier(1);
    FtpCourierException e("", "", Kind::Protocol);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(failureOf([&] { c->sizeFile("x"); }, &e), Kind::TimedOut);
    QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(e.transient());
    // Once the delay is reset, the replies still waiting go at once, and with them the server
    // takes new connections again.
    auto next = courier(20);
    QVERIFY(m_server->resetFaults());
    QCOMPARE(failureOf([&] { next->sizeFile("x"); }), Kind::NotFound);
}

void TestFtpCourier::abortFromAnotherThread_data()
{
    QTest::addColumn<bool>("duringTransfer"); // else while waiting for the server's answer

    QTest::newRow("during the transfer") << true;
    QTest::newRow("waiting for the server") << false;
}

void TestFtpCourier::abortFromAnotherThread()
{
    // Without the abort the call would go on for more than a minute: the transfer is slowed
    // to over 80 s, or the server answers after 90 s (past the courier's own 60 s time-out).
    // With it the call returns long before, a bound a busy machine stays well under.
    QFETCH(bool, duringTransfer);
    const std::string local = utf8(makeFile("lungo.bin", content(32 * 1024 * 1024, 5)));
    auto c = courier(60);
    c->setTransferBufferSize(4096);

    std::atomic<bool> started{false};
    if (duringTransfer) {
        // At least 10 ms for each of the 8,192 blocks, on the uploading thread.
        connect(c.get(), &FtpCourier::onFileProgress, c.get(),
                [&started](qint64, qint64 sent) {
                    if (sent > 0)
                        started = true;
                    QThread::usleep(10000);
                },
                Qt::DirectConnection);
    } else {
        QVERIFY(m_server->setFaults({{"delay_seconds", 90}}));
    }

    std::atomic<bool> finished{false};
    FtpCourierException failure("", "", Kind::Protocol);
    bool failed = false;
    std::thread uploader([&] {
        try {
            c->uploadFile(local, "lungo", true);
        } catch (const FtpCourierException &e) {
            failure = e;
            failed = true;
        }
        finished = true;
    });

    if (duringTransfer)
        QTRY_VERIFY_WITH_TIMEOUT(started.load(), 60000);
    else
        QTest::qWait(500); // somewhere before the server's first answer
    QVERIFY(!finished);
    QElapsedTimer clock;
    clock.start();
    c->abort();
    while (!finished && clock.elapsed() < 120000)
        QThread::msleep(5);
    const qint64 took = clock.elapsed();
    uploader.join();

    QVERIFY2(took < 30000, qPrintable(QStringLiteral("returned %1 ms after abort()").arg(took)));
    QVERIFY(failed);
    QCOMPARE(failure.kind, Kind::Aborted);
    QVERIFY(!failure.transient());
    // Every later call fails the same way, at once.
    QCOMPARE(failureOf([&] { c->sizeFile("lungo"); }), Kind::Aborted);
    QVERIFY(m_server->resetFaults());
}

QTEST_GUILESS_MAIN(TestFtpCourier)
#include "tst_ftpcourier.moc"
