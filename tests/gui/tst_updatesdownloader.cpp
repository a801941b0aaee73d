// The update download against the simulator's update files: a large file arrives whole,
// also through a redirect; every failure is told, leaves no file and rejects; the user's
// stop asks first.

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include "filesizelimit.h"
#include "guifixture.h"
#include "labsimulator.h"
#include "modalanswerer.h"
#include "updatesdownloader.h"
#include "updatepackage.h"

namespace {

constexpr qint64 MiB = 1 << 20;

QByteArray writeFile(const QString &path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QCryptographicHash hash(QCryptographicHash::Sha1);
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    QRandomGenerator random(7);
    for (qint64 written = 0; written < size;) {
        random.fillRange(reinterpret_cast<quint32 *>(chunk.data()), chunk.size() / 4);
        const qint64 n = qMin<qint64>(chunk.size(), size - written);
        file.write(chunk.constData(), n);
        hash.addData(chunk.constData(), static_cast<int>(n));
        written += n;
    }
    return hash.result();
}

QByteArray sha1Of(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(&file);
    return hash.result();
}

// Every file below the temporary folder.
QStringList filesIn(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

// The downloader shows itself as the active modal dialog: leave it to its work.
void leaveOpen(ModalAnswerer &answerer)
{
    answerer.answerWith([](QWidget *) {});
}

} // namespace

class TestUpdatesDownloader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void largeFileArrivesWhole_data();
    void largeFileArrivesWhole();
    void failures_data();
    void failures();
    void destinationWriteFails();
    void escapeAsksFirst();
    void escapeBeforeTheStartAsksNothing();
    void unknownSizeShowsTheBusyBar();
    void barScales_data();
    void barScales();
    void screenshot();

private:
    QString tempFolder() const { return temp->path(); }

    std::unique_ptr<GuiFixture> fixture;
    std::unique_ptr<LabSimulator> sim;
    std::unique_ptr<QTemporaryDir> temp;
    QByteArray bigHash;
};

void TestUpdatesDownloader::initTestCase()
{
    Q_INIT_RESOURCE(application);
    fixture = std::make_unique<GuiFixture>();
    sim = std::make_unique<LabSimulator>();
    QVERIFY2(sim->start(), qPrintable(sim->errorString()));
    // Downloads land in a temporary folder of this test alone (the simulator's is elsewhere).
    temp = std::make_unique<QTemporaryDir>();
    qputenv("TMPDIR", QFile::encodeName(temp->path()));
    bigHash = writeFile(sim->updatesDir() + QStringLiteral("/Korvex2Client.zip"), 50 * MiB);
    writeFile(sim->updatesDir() + QStringLiteral("/piccolo.zip"), 5 * MiB);
    writeFile(sim->updatesDir() + QStringLiteral("/-rf"), 1000);
}

void TestUpdatesDownloader::init()
{
    QVERIFY(sim->resetKnobs());
    QDir(tempFolder()).removeRecursively();
    QDir().mkpath(tempFolder());
}

void TestUpdatesDownloader::cleanup()
{
    QVERIFY(sim->resetKnobs());
}

void TestUpdatesDownloader::largeFileArrivesWhole_data()
{
    QTest::addColumn<bool>("redirect");
    QTest::newRow("direct") << false;
    QTest::newRow("through a redirect") << true;
}

void TestUpdatesDownloader::largeFileArrivesWhole()
{
    QFETCH(bool, redirect);
    QString url = sim->baseUrl() + QStringLiteral("aggiornamenti/Korvex2Client.zip");
    // Slow enough for the bar to move many times.
    LabSimulator::UpdateFileKnob paced;
    paced.rate = 40 * MiB;
    QVERIFY(sim->setUpdateFileKnob(QStringLiteral("Korvex2Client.zip"), paced));
    if (redirect) {
        LabSimulator::UpdateFileKnob knob;
        knob.location = url;
        QVERIFY(sim->setUpdateFileKnob(QStringLiteral("altro.zip"), knob));
        url = sim->baseUrl() + QStringLiteral("aggiornamenti/altro.zip");
    }
    ModalAnswerer answerer;
    leaveOpen(answerer);
    UpdatesDownloader downloader(url);
    QList<int> values;
    QList<int> maxima;
    auto *bar = downloader.findChild<QProgressBar *>("progressBar");
    QCOMPARE(bar->maximum(), 0); // busy until the first progress
    connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
        values << value;
        maxima << bar->maximum();
    });
    QCOMPARE(downloader.exec(), int(QDialog::Accepted));
    QCOMPARE(answerer.count(), 1);
    const QString file = downloader.downloadedFile();
    // Under the redirect the file keeps the name of the address asked for.
    QCOMPARE(QFileInfo(file).fileName(), redirect ? QStringLiteral("altro.zip") : QStringLiteral("Korvex2Client.zip"));
    QVERIFY(file.startsWith(tempFolder() + QLatin1Char('/')));
    QCOMPARE(QFileInfo(file).size(), 50 * MiB);
    QCOMPARE(sha1Of(file), bigHash);
    QCOMPARE(filesIn(tempFolder()), QStringList{file});
    // Only the owner enters the folder.
    QCOMPARE(QFile::permissions(QFileInfo(file).absolutePath()) & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
             QFileDevice::Permissions());
    QVERIFY(values.size() > 3);
    for (int i = 1; i < values.size(); ++i)
        QVERIFY(values.at(i) >= values.at(i - 1) || maxima.at(i) != maxima.at(i - 1));
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(!downloader.CurrentDownload());
}

void TestUpdatesDownloader::failures_data()
{
    QTest::addColumn<QString>("path");      // below the base address
    QTest::addColumn<QString>("knobFile");  // "" for no knob
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("location");
    QTest::addColumn<qint64>("stallAfter");
    QTest::addColumn<qint64>("dropAfter");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("textPart");
    QTest::newRow("404") << "aggiornamenti/manca.zip" << "" << 0 << "" << qint64(-1) << qint64(-1) << "Errore 203"
                         << "Not Found";
    QTest::newRow("500") << "aggiornamenti/piccolo.zip" << "piccolo.zip" << 500 << "" << qint64(-1) << qint64(-1)
                         << "Errore 403" << "Internal Server Error";
    QTest::newRow("redirect to ftp") << "aggiornamenti/piccolo.zip" << "piccolo.zip" << 302
                                     << "ftp://127.0.0.1/piccolo.zip" << qint64(-1) << qint64(-1) << "Errore 4"
                                     << "";
    QTest::newRow("stall") << "aggiornamenti/piccolo.zip" << "piccolo.zip" << 0 << "" << qint64(100000) << qint64(-1)
                           << "Errore" << "Il server non ha inviato dati per 2 secondi.";
    QTest::newRow("dropped connection") << "aggiornamenti/piccolo.zip" << "piccolo.zip" << 0 << "" << qint64(-1)
                                        << qint64(100000) << "Errore 2" << "";
    QTest::newRow("name empty") << "aggiornamenti/" << "" << 0 << "" << qint64(-1) << qint64(-1) << "Errore"
                                << "Impossibile aprire il file locale";
    QTest::newRow("name ..") << "aggiornamenti/%2E%2E" << "" << 0 << "" << qint64(-1) << qint64(-1) << "Errore"
                             << "";
    QTest::newRow("name starting with -") << "aggiornamenti/-rf" << "" << 0 << "" << qint64(-1) << qint64(-1)
                                          << "Errore" << "Impossibile aprire il file locale";
    QTest::newRow("not http") << "ftp" << "" << 0 << "" << qint64(-1) << qint64(-1) << "Errore"
                              << "L'indirizzo dell'aggiornamento non è valido";
}

void TestUpdatesDownloader::failures()
{
    QFETCH(QString, path);
    QFETCH(QString, knobFile);
    QFETCH(int, status);
    QFETCH(QString, location);
    QFETCH(qint64, stallAfter);
    QFETCH(qint64, dropAfter);
    QFETCH(QString, title);
    QFETCH(QString, textPart);
    if (!knobFile.isEmpty()) {
        LabSimulator::UpdateFileKnob knob;
        knob.status = status;
        knob.location = location;
        knob.stallAfter = stallAfter;
        knob.dropAfter = dropAfter;
        QVERIFY(sim->setUpdateFileKnob(knobFile, knob));
    }
    // A stalled download ends after the idle time-out: 2 s here (60 s for every other download
    // of these tests, which a busy machine never comes near).
    if (stallAfter >= 0)
        qputenv("KORVEX2_DOWNLOAD_TIMEOUT", "2");
    const auto restore = qScopeGuard([] { qunsetenv("KORVEX2_DOWNLOAD_TIMEOUT"); });
    const QString url = path == QLatin1String("ftp") ? QStringLiteral("ftp://127.0.0.1/piccolo.zip")
                                                       : sim->baseUrl() + path;
    ModalAnswerer answerer;
    leaveOpen(answerer);
    answerer.answer(QMessageBox::Ok);
    UpdatesDownloader downloader(url);
    QCOMPARE(downloader.exec(), int(QDialog::Rejected));
    QCOMPARE(answerer.count(), 2);
    QCOMPARE(answerer.unexpected(), 0);
    const ModalAnswerer::Box box = answerer.last();
    QCOMPARE(box.icon, QMessageBox::Critical);
    if (title == QLatin1String("Errore"))
        QCOMPARE(box.title, title);
    else
        QVERIFY2(box.title.startsWith(QStringLiteral("Errore ")), qPrintable(box.title));
    QVERIFY2(box.text.contains(textPart), qPrintable(box.text));
    QVERIFY(downloader.downloadedFile().isEmpty());
    QCOMPARE(filesIn(tempFolder()), QStringList());
    QVERIFY(QDir(tempFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
}

void TestUpdatesDownloader::destinationWriteFails()
{
    ModalAnswerer answerer;
    leaveOpen(answerer);
    answerer.answer(QMessageBox::Ok);
    UpdatesDownloader downloader(sim->baseUrl() + QStringLiteral("aggiornamenti/piccolo.zip"));
    int result = -1;
    {
        FileSizeLimit limit(MiB);
        QVERIFY(limit.ok());
        result = downloader.exec();
    }
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(answerer.count(), 2);
    QCOMPARE(answerer.last().title, QStringLiteral("Errore"));
    QVERIFY2(answerer.last().text.startsWith(QStringLiteral("Errore durante il download dell'aggiornamento\r\n"
                                                            "Impossibile scrivere il file locale")),
             qPrintable(answerer.last().text));
    QCOMPARE(filesIn(tempFolder()), QStringList());
}

void TestUpdatesDownloader::escapeAsksFirst()
{
    LabSimulator::UpdateFileKnob slow;
    slow.rate = 1 * MiB;
    QVERIFY(sim->setUpdateFileKnob(QStringLiteral("piccolo.zip"), slow));
    // Escape once the bar has moved; answered No, the transfer goes on: Escape again once the
    // bar has moved after the No, answered Yes. (If the bar never moved again, Escape comes
    // after a minute all the same, and the check below fails.)
    auto answerer = std::make_unique<ModalAnswerer>();
    int valueAtNo = -1;
    int valueBeforeYes = -1;
    answerer->answerWith([&](QWidget *box) {
        auto *bar = box->findChild<QProgressBar *>("progressBar");
        auto *lastEscape = new QTimer(box);
        lastEscape->setSingleShot(true);
        connect(lastEscape, &QTimer::timeout, box, [box] { QTest::keyClick(box, Qt::Key_Escape); });
        connect(bar, &QProgressBar::valueChanged, box, [&, box, bar, lastEscape](int value) {
            if (value <= 0 || valueBeforeYes >= 0)
                return;
            if (valueAtNo < 0) {
                valueAtNo = 0; // once
                QTimer::singleShot(0, box, [&, box, bar, lastEscape] {
                    QTest::keyClick(box, Qt::Key_Escape);
                    valueAtNo = bar->value();
                    lastEscape->start(60000);
                });
            } else if (lastEscape->isActive() && value > valueAtNo) {
                lastEscape->stop();
                valueBeforeYes = value;
                QTimer::singleShot(0, box, [box] { QTest::keyClick(box, Qt::Key_Escape); });
            }
        });
    });
    answerer->answer(QMessageBox::No);
    answerer->answer(QMessageBox::Yes);
    UpdatesDownloader downloader(sim->baseUrl() + QStringLiteral("aggiornamenti/piccolo.zip"));
    QCOMPARE(downloader.exec(), int(QDialog::Rejected));
    QVERIFY2(valueBeforeYes > valueAtNo, qPrintable(QStringLiteral("%1 %2").arg(valueAtNo).arg(valueBeforeYes)));
    QCOMPARE(answerer->count(), 3);
    QCOMPARE(answerer->unexpected(), 0);
    const QList<ModalAnswerer::Box> boxes = answerer->boxes();
    answerer.reset();
    for (int i = 1; i < 3; ++i) {
        QCOMPARE(boxes.at(i).title, QStringLiteral("Chiudi"));
        QCOMPARE(boxes.at(i).text, QStringLiteral("Sicuro di voler interrompere il download dell'aggiornamento?"));
        QCOMPARE(boxes.at(i).defaultButton, QStringLiteral("No"));
    }
    QVERIFY(downloader.downloadedFile().isEmpty());
    QCOMPARE(filesIn(tempFolder()), QStringList());

    // After the end nothing is asked.
    ModalAnswerer after;
    leaveOpen(after);
    UpdatesDownloader done(sim->baseUrl() + QStringLiteral("aggiornamenti/piccolo.zip"));
    QCOMPARE(done.exec(), int(QDialog::Accepted));
    done.reject();
    QCOMPARE(after.count(), 1);
}

void TestUpdatesDownloader::escapeBeforeTheStartAsksNothing()
{
    ModalAnswerer answerer;
    answerer.answerWith([](QWidget *box) { QTest::keyClick(box, Qt::Key_Escape); });
    UpdatesDownloader downloader(sim->baseUrl() + QStringLiteral("aggiornamenti/piccolo.zip"));
    QCOMPARE(downloader.exec(), int(QDialog::Rejected));
    QTest::qWait(500);
    QCOMPARE(answerer.count(), 1);
    QVERIFY(!downloader.CurrentDownload());
    QCOMPARE(QDir(tempFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestUpdatesDownloader::unknownSizeShowsTheBusyBar()
{
    LabSimulator::UpdateFileKnob knob;
    knob.noContentLength = true;
    knob.rate = 4 * MiB;
    QVERIFY(sim->setUpdateFileKnob(QStringLiteral("piccolo.zip"), knob));
    ModalAnswerer answerer;
    leaveOpen(answerer);
    UpdatesDownloader downloader(sim->baseUrl() + QStringLiteral("aggiornamenti/piccolo.zip"));
    auto *bar = downloader.findChild<QProgressBar *>("progressBar");
    bool busyWhileRunning = false;
    QTimer probe;
    connect(&probe, &QTimer::timeout, this, [&] {
        if (downloader.CurrentDownload() && bar->maximum() == 0)
            busyWhileRunning = true;
    });
    probe.start(50);
    QCOMPARE(downloader.exec(), int(QDialog::Accepted));
    QVERIFY(busyWhileRunning);
    QCOMPARE(QFileInfo(downloader.downloadedFile()).size(), 5 * MiB);
}

void TestUpdatesDownloader::barScales_data()
{
    constexpr qint64 GiB = qint64(1) << 30;
    QTest::addColumn<qint64>("received");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::newRow("unknown total: busy") << qint64(5000) << qint64(-1) << 0 << -1;
    QTest::newRow("bytes") << qint64(5) << qint64(10) << 10 << 5;
    QTest::newRow("just under 2 GiB") << qint64(1) << qint64(2 * GiB - 1) << int(2 * GiB - 1) << 1;
    QTest::newRow("6 GiB, half") << 3 * GiB << 6 * GiB << 1000 << 500;
    QTest::newRow("6 GiB, whole") << 6 * GiB << 6 * GiB << 1000 << 1000;
}

void TestUpdatesDownloader::barScales()
{
    QFETCH(qint64, received);
    QFETCH(qint64, total);
    QFETCH(int, maximum);
    QFETCH(int, value);
    UpdatesDownloader downloader(QStringLiteral("http://127.0.0.1:9/a.zip"));
    auto *bar = downloader.findChild<QProgressBar *>("progressBar");
    QVERIFY(QMetaObject::invokeMethod(&downloader, "onDownloadProgress", Q_ARG(qint64, received), Q_ARG(qint64, total)));
    QCOMPARE(bar->maximum(), maximum);
    if (maximum > 0)
        QCOMPARE(bar->value(), value);
}

void TestUpdatesDownloader::screenshot()
{
    LabSimulator::UpdateFileKnob slow;
    slow.rate = 2 * MiB;
    QVERIFY(sim->setUpdateFileKnob(QStringLiteral("piccolo.zip"), slow));
    const QString folder = QString::fromLocal8Bit(qgetenv("KORVEX_BINARY_DIR")) + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    QFile::remove(folder + QStringLiteral("/updatesdownloader.png"));
    ModalAnswerer answerer;
    // The picture once the bar has moved, while the download goes on.
    answerer.answerWith([folder](QWidget *box) {
        auto *bar = box->findChild<QProgressBar *>("progressBar");
        connect(bar, &QProgressBar::valueChanged, box, [box, folder](int value) {
            const QString shot = folder + QStringLiteral("/updatesdownloader.png");
            if (value > 0 && !QFile::exists(shot))
                box->grab().save(shot);
        });
    });
    UpdatesDownloader downloader(sim->baseUrl() + QStringLiteral("aggiornamenti/piccolo.zip"));
    QCOMPARE(downloader.exec(), int(QDialog::Accepted));
    QVERIFY(QFile::exists(folder + QStringLiteral("/updatesdownloader.png")));
}

QTEST_MAIN(TestUpdatesDownloader)
#include "tst_updatesdownloader.moc"
