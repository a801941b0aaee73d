// Installing updates: program archives checked and unpacked, the new program started only
// after the upload queue stopped, catalogue databases put in place by one rename; and the
// whole road from the check after a login, in the main window and in the settings window.

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QLockFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QThread>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>
#include <zlib.h>

#include "articolowidget.h"
#include "filesizelimit.h"
#include "guifixture.h"
#include "impostazioni.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "ordineupload.h"
#include "profilelock.h"
#include "shots.h"
#include "startup.h"
#include "updateinstaller.h"
#include "updatepackage.h"
#include "updateswaitingdialog.h"
#include "utente.h"
#include "waitingdialog.h"
#include "wssettingslock.h"
#include "anagrafica.h"

namespace {

struct ZipEntry
{
    QByteArray name;
    QByteArray data;     // a link's target for links
    bool link = false;
    quint32 mode = 0100755;
};

void put16(QByteArray &b, quint16 v)
{
    b.append(char(v & 0xff)).append(char(v >> 8));
}

void put32(QByteArray &b, quint32 v)
{
    put16(b, quint16(v & 0xffff));
    put16(b, quint16(v >> 16));
}

// A zip archive of stored entries, with Unix modes (links included), as a packer writes it.
QByteArray zipArchive(const QList<ZipEntry> &entries)
{
    QByteArray out;
    QByteArray directory;
    for (const ZipEntry &e : entries) {
        const quint32 crc = crc32(0, reinterpret_cast<const Bytef *>(e.data.constData()), uInt(e.data.size()));
        const quint32 offset = quint32(out.size());
        put32(out, 0x04034b50);
        put16(out, 10);
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put16(out, 0x21);
        put32(out, crc);
        put32(out, quint32(e.data.size()));
        put32(out, quint32(e.data.size()));
        put16(out, quint16(e.name.size()));
        put16(out, 0);
        out.append(e.name).append(e.data);

        put32(directory, 0x02014b50);
        put16(directory, (3 << 8) | 30);
        put16(directory, 10);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0x21);
        put32(directory, crc);
        put32(directory, quint32(e.data.size()));
        put32(directory, quint32(e.data.size()));
        put16(directory, quint16(e.name.size()));
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, (e.link ? 0120777u : e.mode) << 16);
        put32(directory, offset);
        directory.append(e.name);
    }
    const quint32 dirOffset = quint32(out.size());
    out.append(directory);
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, quint16(entries.size()));
    put16(out, quint16(entries.size()));
    put32(out, quint32(directory.size()));
    put32(out, dirOffset);
    put16(out, 0);
    return out;
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

// Archives as other packers write them, made by Python's zipfile, which sets any host and
// attributes: always the program, and besides it, by kind,
//   host-N   a link "fuori" to `outside`, packed under host N;
//   zip64    65,536 small files and, last, that link: a zip64 archive;
//   wrapped  the same without its zip64 records, the entries counted modulo 65,536;
//   lib      a file lib/dati.txt;
//   plain    nothing more.
const char archiveMaker[] = R"(
import struct, sys, zipfile
kind, out, outside = sys.argv[1:4]

def add(z, name, data, mode, host=3, dosBits=0):
    info = zipfile.ZipInfo(name)
    info.create_system = host
    info.external_attr = (mode << 16) | dosBits
    z.writestr(info, data)

with zipfile.ZipFile(out, "w") as z:
    add(z, "Korvex2Client", b"#!/bin/sh\necho avviato > \"$KORVEX_TEST_MARKER\"\n", 0o100755)
    if kind.startswith("host-"):
        host = int(kind[5:])
        # Under a DOS host, unzip takes the Unix mode when it agrees with the DOS bits.
        if host == 0:
            add(z, "fuori", outside.encode(), 0o120444, host, 0x01)
        else:
            add(z, "fuori", outside.encode(), 0o120777, host)
    elif kind in ("zip64", "wrapped"):
        for n in range(65536):
            add(z, "riempimento/%d/%d" % (n // 1000, n), b"", 0o100644)
        add(z, "fuori", outside.encode(), 0o120777)
    elif kind == "lib":
        add(z, "lib/dati.txt", b"riga\n", 0o100644)

if kind == "wrapped":
    data = open(out, "rb").read()
    locator = data[-42:-22]
    assert locator[:4] == b"PK\x06\x07"
    record = struct.unpack("<Q", locator[8:16])[0]
    sig, disk, cdDisk, onDisk, total, size, offset, comment = struct.unpack("<4s4H2LH", data[-22:])
    count = 65538 & 0xFFFF
    open(out, "wb").write(data[:record] + struct.pack("<4s4H2LH", sig, disk, cdDisk, count, count, size, offset, comment))
)";

bool makeArchive(const QString &kind, const QString &path, const QString &outside, QString *error)
{
    QProcess python;
    python.setProcessChannelMode(QProcess::MergedChannels);
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(archiveMaker), kind, path, outside});
    if (!python.waitForFinished(120000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0) {
        *error = python.errorString() + QLatin1Char(' ') + QString::fromLocal8Bit(python.readAll());
        return false;
    }
    return true;
}

} // namespace

Q_DECLARE_METATYPE(ZipEntry)
Q_DECLARE_METATYPE(QList<ZipEntry>)

namespace {

// The small program of the test archives: it leaves a marker where the test asks.
const QByteArray program = "#!/bin/sh\necho avviato > \"$KORVEX_TEST_MARKER\"\n";
// A new program that starts as the program does, on the profile its first argument names,
// up to its profile's lock, and says how that went in a status file beside the marker.
const QByteArray successor = "#!/bin/sh\necho avviato > \"$KORVEX_TEST_MARKER\"\n"
                             "exec \"$KORVEX_TEST_STARTUPCHILD\" \"$KORVEX_TEST_MARKER.status\" once \"$@\"\n";

// This test program stands for the program, whose command line (QCoreApplication::arguments())
// an update hands on to the new program. main() makes the application object over this array,
// whose count the object keeps by reference: the program was started with its name alone,
// unless a test says otherwise (StartedOnProfile), whatever the test runner was given.
int programArgc = 0;
std::vector<char *> programArgv;

// While it lives, the program was started on a profile: "Korvex2Client <profile>".
class StartedOnProfile
{
public:
    explicit StartedOnProfile(const QByteArray &profile) : m_profile(profile)
    {
        programArgv[1] = m_profile.data();
        programArgv[2] = nullptr;
        programArgc = 2;
    }
    ~StartedOnProfile()
    {
        programArgc = 1;
        programArgv[1] = nullptr;
    }
    Q_DISABLE_COPY(StartedOnProfile)

private:
    QByteArray m_profile;
};

QString readStatus(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A copy of the program's start on the default profile, now: its status lines.
QString startACopy()
{
    QProcess copy;
    copy.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QString::fromLatin1(ProfileLock::predecessorVariable()));
    copy.setProcessEnvironment(environment);
    copy.start(QStringLiteral(KORVEX_STARTUPCHILD), {QStringLiteral("-"), QStringLiteral("once")});
    if (!copy.waitForFinished(60000))
        return QString();
    return QString::fromUtf8(copy.readAllStandardOutput());
}

QByteArray sha1Of(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
}

// Stands in for the start of the new program: records it, and starts it for real only
// when asked to; the end of this program is recorded, never carried out.
class RecordingLauncher : public UpdatePackage::Launcher
{
public:
    bool startDetached(const QString &program, const QStringList &arguments, const QString &workingDir) override
    {
        started << program;
        startArguments = arguments;
        queueRunningAtStart = KorvexGlobals::ordineUpload && KorvexGlobals::ordineUpload->processingUploads();
        if (failStart)
            return false;
        if (!reallyStart)
            return true;
        return UpdatePackage::Launcher::startDetached(program, arguments, workingDir);
    }
    void quitProgram() override { ++quits; }

    bool reallyStart = false;
    // The new program does not start.
    bool failStart = false;
    QStringList started;
    QStringList startArguments;
    bool queueRunningAtStart = false;
    int quits = 0;
};

int catalogueVersionOf(const QString &path)
{
    int version = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "version-probe");
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec("SELECT valore FROM config WHERE chiave = 'dbVersion'") && q.next())
                version = q.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase("version-probe");
    return version;
}

// A copy of the database in use with another data version and a new title of article 1.
void writeCatalogue(const QString &path, int version, const QString &title)
{
    QFile::remove(path);
    QVERIFY(QFile::copy(KorvexGlobals::SqlDbHost, path));
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "catalogue-writer");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY2(q.exec(QStringLiteral("UPDATE config SET valore = '%1' WHERE chiave = 'dbVersion'").arg(version)),
                 qPrintable(q.lastError().text()));
        q.prepare("UPDATE articoli SET titolo = ? WHERE id = 1");
        q.addBindValue(title);
        QVERIFY(q.exec());
    }
    QSqlDatabase::removeDatabase("catalogue-writer");
}

QString articleTitle(QWidget *window, int row)
{
    auto *list = window->findChild<QListWidget *>("listWidgetArticoli");
    if (row >= list->count())
        return QString();
    auto *label = list->itemWidget(list->item(row))->findChild<QLabel *>("labelArticoloTitolo");
    return label ? label->text() : QString();
}

void leaveOpen(ModalAnswerer &answerer)
{
    answerer.answerWith([](QWidget *) {});
}

// Offers the program update `file` of updatesDir() (version 2.2.0), answered as a customer
// who takes it: Yes, the download, OK, the waiting box while the queue stops.
UpdateInstaller::Outcome acceptProgramUpdate(ModalAnswerer &answerer, korvex2__IdComponenteType type,
                                             const LabSimulator &sim, const QString &file)
{
    AggiornamentoItem item;
    item.componente = type;
    item.major = 2;
    item.minor = 2;
    item.build = 0;
    item.url = (sim.baseUrl() + QStringLiteral("aggiornamenti/") + file).toStdString();
    answerer.answer(QMessageBox::Yes); // "Aggiornamento Applicazione"
    leaveOpen(answerer);               // the download
    answerer.answer(QMessageBox::Ok);  // "Download Terminato"
    leaveOpen(answerer);               // the waiting box, if it is up long enough
    return UpdateInstaller::offer(nullptr, type, item);
}

// Leaves the box open, and lets the call of the operation that the laboratory holds go on
// once it is held.
void releaseWhenShown(ModalAnswerer &answerer, LabSimulator &sim, const QString &operation)
{
    answerer.answerWith([&sim, operation](QWidget *) {
        QVERIFY(QTest::qWaitFor([&] { return sim.heldCalls(operation) == 1; }, 60000));
        QVERIFY(sim.releaseHeld(operation));
    });
}

} // namespace

class TestUpdateInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void archiveChecks_data();
    void archiveChecks();
    void goodArchiveUnpacksIntoAPrivateFolder();
    void unzipFailures_data();
    void unzipFailures();
    void catalogueReplacement_data();
    void catalogueReplacement();
    void validCatalogueReplacesTheDatabase();
    void refusedArchivesStartNothing_data();
    void refusedArchivesStartNothing();

    void checkAfterLoginInstallsTheCatalogue();
    void checkAfterLoginInstallsTheProgram();
    void badArchiveStartsNothing();
    void stoppedProgramDownloadAsksNoMore();
    void cancelledWaitReturnsAtOnce();
    void failedCheckClosesTheWaitingDialog();
    void settingsWindowInstallsTheCatalogue();
    void waitingDialogs();
    void declinedProgramUpdateOffersTheCatalogueBeforeSending();
    void failedStartOfTheNewProgramResumesTheQueue();
    void programUpdateStartsTheNewProgramOnTheSameProfile();
    void installerStartsWithoutArguments();

private:
    QString archive(const QString &name, const QList<ZipEntry> &entries);
    void openMainWindow();
    void closeMainWindow();

    std::unique_ptr<GuiFixture> fixture;
    std::unique_ptr<LabSimulator> sim;
    std::unique_ptr<QTemporaryDir> temp;
    RecordingLauncher launcher;
    MainWindow *window = nullptr;
    QString marker;
};

void TestUpdateInstall::initTestCase()
{
    Q_INIT_RESOURCE(application);
    fixture = std::make_unique<GuiFixture>();
    sim = std::make_unique<LabSimulator>();
    QVERIFY2(sim->start(), qPrintable(sim->errorString()));
    temp = std::make_unique<QTemporaryDir>();
    qputenv("TMPDIR", QFile::encodeName(temp->path()));
    marker = temp->path() + QStringLiteral("-marker");
    qputenv("KORVEX_TEST_MARKER", QFile::encodeName(marker));
    qputenv("KORVEX_TEST_STARTUPCHILD", KORVEX_STARTUPCHILD);
    UpdatePackage::Launcher::setInstance(&launcher);
}

void TestUpdateInstall::init()
{
    fixture->reset();
    fixture->storeSettings(sim->baseUrl());
    QVERIFY(sim->resetKnobs());
    QVERIFY(!sim->setUpdate(3, 2, 1, 13, QString()).isNull());
    QVERIFY(!sim->setUpdate(2, 7, 0, 0, QString()).isNull());
    launcher = RecordingLauncher();
    QFile::remove(marker);
    QFile::remove(marker + QStringLiteral(".status"));
    // What earlier tests unpacked or downloaded.
    const QStringList folders = QDir(temp->path()).entryList({QStringLiteral("korvex2-update-*")}, QDir::Dirs);
    for (const QString &folder : folders)
        QDir(temp->path() + QLatin1Char('/') + folder).removeRecursively();
}

void TestUpdateInstall::cleanup()
{
    closeMainWindow();
    fixture->reset();
}

QString TestUpdateInstall::archive(const QString &name, const QList<ZipEntry> &entries)
{
    const QString path = temp->path() + QLatin1Char('/') + name;
    writeBytes(path, zipArchive(entries));
    return path;
}

void TestUpdateInstall::openMainWindow()
{
    window = new MainWindow;
    window->show();
}

void TestUpdateInstall::closeMainWindow()
{
    if (!window)
        return;
    window->close();
    Startup::shutdownUploadQueue();
    delete window;
    window = nullptr;
}

void TestUpdateInstall::archiveChecks_data()
{
    QTest::addColumn<QList<ZipEntry>>("entries");
    QTest::addColumn<QByteArray>("corruptWith");
    QTest::addColumn<QString>("errorPart");
    const ZipEntry prog{"Korvex2Client", program};
    QTest::newRow("climbs with ../") << QList<ZipEntry>{prog, {"../fuori.sh", program}} << QByteArray()
                                     << "percorso non ammesso: ../fuori.sh";
    QTest::newRow("climbs inside a folder") << QList<ZipEntry>{prog, {"lib/../../fuori.sh", program}}
                                            << QByteArray() << "percorso non ammesso";
    QTest::newRow("absolute path") << QList<ZipEntry>{prog, {"/tmp/fuori.sh", program}} << QByteArray()
                                   << "percorso non ammesso: /tmp/fuori.sh";
    QTest::newRow("link outside, absolute") << QList<ZipEntry>{prog, {"etc", "/etc", true}} << QByteArray()
                                            << "collegamento non ammesso: etc -> /etc";
    QTest::newRow("link outside, climbing") << QList<ZipEntry>{prog, {"su", "../..", true}} << QByteArray()
                                            << "collegamento non ammesso";
    QTest::newRow("entry beneath a link") << QList<ZipEntry>{prog, {"d", "lib", true}, {"d/x", program}}
                                          << QByteArray() << "percorso non ammesso: d/x";
    QTest::newRow("corrupt") << QList<ZipEntry>{prog} << QByteArray("not a zip at all") << "non è un archivio valido";
    QTest::newRow("no program") << QList<ZipEntry>{{"altro", program}} << QByteArray()
                                << "non contiene il programma Korvex2Client";
    QTest::newRow("program is a folder") << QList<ZipEntry>{{"Korvex2Client/", QByteArray(), false, 040755}}
                                         << QByteArray() << "non contiene il programma";
    QTest::newRow("program is a link out of the folder")
        << QList<ZipEntry>{{"Korvex2Client", "bin/sh", true}} << QByteArray()
        << "collegamento non ammesso: Korvex2Client -> ";
}

void TestUpdateInstall::archiveChecks()
{
    QFETCH(QList<ZipEntry>, entries);
    QFETCH(QByteArray, corruptWith);
    QFETCH(QString, errorPart);
    const QString path = archive(QStringLiteral("Korvex2Client.zip"), entries);
    if (!corruptWith.isEmpty())
        writeBytes(path, corruptWith);
    QString error;
    QVERIFY(UpdatePackage::unpackProgram(path, QStringLiteral("Korvex2Client"), &error).isEmpty());
    QVERIFY2(error.contains(errorPart), qPrintable(error));
    // Nothing landed anywhere: no folder was left beside the archive, nothing outside it.
    QCOMPARE(QDir(temp->path()).entryList({QStringLiteral("korvex2-update-*")}, QDir::Dirs), QStringList());
    QVERIFY(!QFile::exists(QFileInfo(temp->path()).absolutePath() + QStringLiteral("/fuori.sh")));
    QVERIFY(!QFile::exists(QStringLiteral("/tmp/fuori.sh")));
}

void TestUpdateInstall::goodArchiveUnpacksIntoAPrivateFolder()
{
    const QString path = archive(QStringLiteral("Korvex2Client.zip"),
                                 {{"Korvex2Client", program, false, 0100644},
                                  {"lib/", QByteArray(), false, 040755},
                                  {"lib/dati.txt", "riga\r\n"},
                                  {"corrente", "lib/dati.txt", true}});
    QString error;
    const QString started = UpdatePackage::unpackProgram(path, QStringLiteral("Korvex2Client"), &error);
    QVERIFY2(!started.isEmpty(), qPrintable(error));
    const QString folder = QFileInfo(started).absolutePath();
    QVERIFY(folder.startsWith(temp->path() + QStringLiteral("/korvex2-update-")));
    QVERIFY(QFileInfo(started).isExecutable());
    QCOMPARE(QFile::permissions(folder) & (QFileDevice::ReadOther | QFileDevice::ReadGroup), QFileDevice::Permissions());
    // No text conversion: the bytes are the archive's.
    QFile data(folder + QStringLiteral("/lib/dati.txt"));
    QVERIFY(data.open(QIODevice::ReadOnly));
    QCOMPARE(data.readAll(), QByteArray("riga\r\n"));
    QCOMPARE(QFileInfo(folder + QStringLiteral("/corrente")).symLinkTarget(), folder + QStringLiteral("/lib/dati.txt"));
}

void TestUpdateInstall::unzipFailures_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("timedOut");
    QTest::addColumn<QString>("errorPart");
    QTest::newRow("hangs") << QByteArray("#!/bin/sh\nexec sleep 300\n") << true
                           << "Impossibile terminare la procedura di aggiornamento dell'applicazione. Riprovare in "
                              "un secondo mommento.";
    QTest::newRow("fails") << QByteArray("#!/bin/sh\necho 'disco pieno'\nexit 50\n") << false
                           << "Impossibile estrarre l'archivio dell'aggiornamento (disco pieno).";
}

void TestUpdateInstall::unzipFailures()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, timedOut);
    QFETCH(QString, errorPart);
    // A stand-in unzip first on the search path.
    QTemporaryDir bin;
    writeBytes(bin.path() + QStringLiteral("/unzip"), script);
    QFile::setPermissions(bin.path() + QStringLiteral("/unzip"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ":" + oldPath);
    const QString path = archive(QStringLiteral("Korvex2Client.zip"), {{"Korvex2Client", program}});
    QString error;
    bool stopped = !timedOut;
    QElapsedTimer clock;
    clock.start();
    const QString started = UpdatePackage::unpackProgram(path, QStringLiteral("Korvex2Client"), &error, &stopped, 700);
    qputenv("PATH", oldPath);
    QVERIFY(started.isEmpty());
    QCOMPARE(stopped, timedOut);
    // Given up after its 0.7 s, not when the stand-in ends (after 300 s): a bound a busy
    // machine stays well under.
    QVERIFY2(clock.elapsed() < 60000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(error, errorPart);
    QCOMPARE(QDir(temp->path()).entryList({QStringLiteral("korvex2-update-*")}, QDir::Dirs), QStringList());
}

void TestUpdateInstall::catalogueReplacement_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("errorPart");
    QTest::newRow("not SQLite") << "text" << "non è un database valido";
    QTest::newRow("SQLite without dbVersion") << "noversion" << "non è un database valido";
    QTest::newRow("another name") << "othername" << "non è il database in uso";
    QTest::newRow("copy fails") << "sizelimit" << "Impossibile copiare il nuovo database";
    QTest::newRow("upload running") << "uploading" << "È in corso l'invio di un ordine";
}

void TestUpdateInstall::catalogueReplacement()
{
    QFETCH(QString, kind);
    QFETCH(QString, errorPart);
    KorvexGlobals().loadSettings();
    const QString inUse = KorvexGlobals::SqlDbHost;
    const QByteArray before = sha1Of(inUse);
    const int version = KorvexGlobals::ServiceDataDbVersion;
    const QString folder = temp->path() + QStringLiteral("/download");
    QDir().mkpath(folder);
    QString downloaded = folder + QLatin1Char('/') + QFileInfo(inUse).fileName();
    writeCatalogue(downloaded, version + 1, QStringLiteral("Nuovo"));
    if (kind == QLatin1String("text")) {
        writeBytes(downloaded, "questo non è un database");
    } else if (kind == QLatin1String("noversion")) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "strip");
        db.setDatabaseName(downloaded);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec("DELETE FROM config WHERE chiave = 'dbVersion'"));
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("strip");
    } else if (kind == QLatin1String("othername")) {
        const QString other = folder + QStringLiteral("/altro.s3db");
        QVERIFY(QFile::rename(downloaded, other));
        downloaded = other;
    }

    std::unique_ptr<OrdineUpload> queue;
    if (kind == QLatin1String("uploading")) {
        Utente *utente = new Utente;
        {
            std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
            Anagrafica::WsEndpoint = sim->baseUrl().toStdString();
        }
        QVERIFY(utente->login("demo", "demo"));
        KorvexGlobals::utente = utente;
        GuiFixture::queueFileOrder({fixture->bytesFile("grande.bin", 200000)});
        // The worker waits in a service call, held by the laboratory, until the check is done.
        QVERIFY(sim->holdAnswer("inserisciFile"));
        queue = std::make_unique<OrdineUpload>(nullptr);
        KorvexGlobals::ordineUpload = queue.get();
        queue->startUpload();
        QVERIFY(queue->processingUploads());
        QTRY_COMPARE_WITH_TIMEOUT(sim->heldCalls(), 1, 60000);
    }
    QString error;
    bool installed = false;
    {
        std::unique_ptr<FileSizeLimit> limit;
        if (kind == QLatin1String("sizelimit")) {
            limit = std::make_unique<FileSizeLimit>(4096);
            QVERIFY(limit->ok());
        }
        installed = UpdatePackage::installCatalogue(downloaded, &error);
    }
    if (queue) {
        queue->terminateUpload();
        QVERIFY(sim->releaseHeld());
        QTRY_VERIFY_WITH_TIMEOUT(!queue->processingUploads(), 60000);
        KorvexGlobals::ordineUpload = nullptr;
        queue.reset();
    }
    QVERIFY(!installed);
    QVERIFY2(error.contains(errorPart), qPrintable(error));
    // The old database stays, whole and open.
    QCOMPARE(sha1Of(inUse), before);
    QVERIFY(KorvexGlobals::db.isOpen());
    QCOMPARE(KorvexGlobals::ServiceDataDbVersion, version);
    QSqlQuery probe(KorvexGlobals::db);
    QVERIFY(probe.exec("SELECT COUNT(*) FROM articoli"));
    QStringList leftovers = QDir(QFileInfo(inUse).absolutePath()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(leftovers.filter(".new"), QStringList());
}

void TestUpdateInstall::validCatalogueReplacesTheDatabase()
{
    KorvexGlobals().loadSettings();
    const int version = KorvexGlobals::ServiceDataDbVersion;
    const QString folder = temp->path() + QStringLiteral("/download");
    QDir().mkpath(folder);
    const QString downloaded = folder + QLatin1Char('/') + QFileInfo(KorvexGlobals::SqlDbHost).fileName();
    writeCatalogue(downloaded, version + 4, QStringLiteral("Stampe rinnovate"));
    QString error;
    QVERIFY2(UpdatePackage::installCatalogue(downloaded, &error), qPrintable(error));
    QCOMPARE(KorvexGlobals::ServiceDataDbVersion, version + 4);
    QCOMPARE(catalogueVersionOf(KorvexGlobals::SqlDbHost), version + 4);
    QVERIFY(KorvexGlobals::db.isOpen());
    QSqlQuery q(KorvexGlobals::db);
    QVERIFY(q.exec("SELECT titolo FROM articoli WHERE id = 1") && q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("Stampe rinnovate"));
    // The download stays where it was.
    QVERIFY(QFile::exists(downloaded));
}

void TestUpdateInstall::refusedArchivesStartNothing_data()
{
    QTest::addColumn<QString>("kind");
    // A stand-in for unzip, or empty for the system's own; $KORVEX_TEST_OUTSIDE is the folder
    // outside.
    QTest::addColumn<QByteArray>("unzip");
    QTest::addColumn<QString>("errorPart");
    const QString linkOut = QStringLiteral("contiene un collegamento non ammesso: fuori -> ");
    // unzip makes links of entries packed under these hosts as well as under Unix.
    for (int host : {0, 2, 5, 16, 30})
        QTest::addRow("link packed under host %d", host) << QStringLiteral("host-%1").arg(host) << QByteArray() << linkOut;
    QTest::newRow("zip64, the last of 65,538 entries a link") << "zip64" << QByteArray() << linkOut;
    QTest::newRow("65,538 entries counted as 2, no zip64 record")
        << "wrapped" << QByteArray() << "non è un archivio valido";
    // What unzip leaves is looked at too, whatever the archive said.
    QTest::newRow("unzip leaves a link leading out")
        << "plain"
        << QByteArray("#!/bin/sh\nprintf '#!/bin/sh\\n' > \"$5/Korvex2Client\"\nln -s \"$KORVEX_TEST_OUTSIDE\" \"$5/fuori\"\n")
        << linkOut;
    QTest::newRow("unzip leaves an entry beneath a link")
        << "lib"
        << QByteArray("#!/bin/sh\nprintf '#!/bin/sh\\n' > \"$5/Korvex2Client\"\nmkdir \"$5/altrove\"\n"
                      "printf 'riga\\n' > \"$5/altrove/dati.txt\"\nln -s altrove \"$5/lib\"\n")
        << "percorso non ammesso: lib/dati.txt";
}

void TestUpdateInstall::refusedArchivesStartNothing()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, unzip);
    QFETCH(QString, errorPart);
    // A folder outside the unpacking place, with what a link leading out would reach.
    QTemporaryDir outside;
    writeBytes(outside.path() + QStringLiteral("/intatto.txt"), "intatto");
    QString error;
    QVERIFY2(makeArchive(kind, sim->updatesDir() + QStringLiteral("/Korvex2Client.zip"), outside.path(), &error),
             qPrintable(error));
    QTemporaryDir bin;
    const QByteArray oldPath = qgetenv("PATH");
    if (!unzip.isEmpty()) {
        writeBytes(bin.path() + QStringLiteral("/unzip"), unzip);
        QFile::setPermissions(bin.path() + QStringLiteral("/unzip"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        qputenv("PATH", QFile::encodeName(bin.path()) + ":" + oldPath);
        qputenv("KORVEX_TEST_OUTSIDE", QFile::encodeName(outside.path()));
    }

    AggiornamentoItem item;
    item.componente = korvex2__IdComponenteType__Programma;
    item.major = 2;
    item.minor = 2;
    item.build = 0;
    item.url = (sim->baseUrl() + QStringLiteral("aggiornamenti/Korvex2Client.zip")).toStdString();
    ModalAnswerer answerer;
    answerer.answer(QMessageBox::Yes); // "Aggiornamento Applicazione"
    leaveOpen(answerer);               // the download
    answerer.answerWith([kind](QWidget *box) {
        saveShot(box, QStringLiteral("update-refused-") + kind);
        static_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
    });
    const UpdateInstaller::Outcome outcome =
        UpdateInstaller::offer(nullptr, korvex2__IdComponenteType__Programma, item);
    qputenv("PATH", oldPath);

    QVERIFY(outcome == UpdateInstaller::Outcome::NotInstalled);
    QCOMPARE(answerer.count(), 3);
    QCOMPARE(answerer.last().title, QStringLiteral("Aggiornamento Apllicazione"));
    QVERIFY2(answerer.last().text.contains(errorPart.toHtmlEscaped()), qPrintable(answerer.last().text));
    QCOMPARE(answerer.unexpected(), 0);
    // Nothing started, nothing left: of the private folders only the download's, with the
    // archive alone; the folder outside as it was.
    QVERIFY(launcher.started.isEmpty());
    QCOMPARE(launcher.quits, 0);
    QVERIFY(!QFile::exists(marker));
    const QStringList folders = QDir(temp->path()).entryList({QStringLiteral("korvex2-update-*")}, QDir::Dirs);
    QCOMPARE(folders.size(), 1);
    QCOMPARE(QDir(temp->path() + QLatin1Char('/') + folders.first())
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("Korvex2Client.zip")});
    QCOMPARE(QDir(outside.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("intatto.txt")});
}

void TestUpdateInstall::checkAfterLoginInstallsTheCatalogue()
{
    fixture->storeSettings(sim->baseUrl(), "demo", "demo");
    KorvexGlobals::CheckUpdatesAtStartup = true;
    KorvexGlobals().saveSettings();
    const int version = KorvexGlobals::ServiceDataDbVersion;
    writeCatalogue(sim->updatesDir() + QStringLiteral("/korvex.s3db"), version + 1, QStringLiteral("Stampe nuove"));
    QVERIFY(!sim->setUpdate(2, version + 1, 0, 0, QStringLiteral("korvex.s3db")).isEmpty());
    // The first answer waits until the waiting dialog has been seen.
    QVERIFY(sim->holdAnswer("ottieniAggiornamento"));

    ModalAnswerer answerer;
    releaseWhenShown(answerer, *sim, QStringLiteral("ottieniAggiornamento")); // the waiting dialog
    answerer.answer(QMessageBox::Yes);        // "Aggiornamento Dati"
    leaveOpen(answerer);                      // the download
    answerer.answer(QMessageBox::Ok);         // "Download Terminato"
    openMainWindow();
    QTRY_VERIFY_WITH_TIMEOUT(answerer.pending() == 0 && answerer.count() == 4, 60000);
    const QList<ModalAnswerer::Box> boxes = answerer.boxes();
    QCOMPARE(boxes.at(0).className, QStringLiteral("UpdatesWaitingDialog"));
    QCOMPARE(boxes.at(1).title, QStringLiteral("Aggiornamento Dati"));
    QCOMPARE(boxes.at(1).defaultButton, QStringLiteral("Yes"));
    QCOMPARE(boxes.at(2).className, QStringLiteral("UpdatesDownloader"));
    QCOMPARE(boxes.at(3).title, QStringLiteral("Download Terminato"));
    QCOMPARE(boxes.at(3).text,
             QStringLiteral("<h3 style='color:#00557F'>Download dell'aggiornamento terminato con successo!</h3>"));
    QTRY_COMPARE(articleTitle(window, 0), QStringLiteral("Stampe nuove"));
    QCOMPARE(KorvexGlobals::ServiceDataDbVersion, version + 1);
    QCOMPARE(answerer.unexpected(), 0);
    QVERIFY(KorvexGlobals::utente);
}

void TestUpdateInstall::checkAfterLoginInstallsTheProgram()
{
    launcher.reallyStart = true;
    // This program holds its profile, as main() takes it.
    ProfileLock lock(fixture->dataFolder());
    QCOMPARE(lock.acquire(), ProfileLock::Result::Acquired);
    // The queue would start by itself after the login: not once the new program runs.
    fixture->storeSettings(sim->baseUrl(), "demo", "demo", true);
    KorvexGlobals::CheckUpdatesAtStartup = true;
    KorvexGlobals().saveSettings();
    writeBytes(sim->updatesDir() + QStringLiteral("/Korvex2Client.zip"),
               zipArchive({{"Korvex2Client", successor}, {"LEGGIMI.txt", "nuova versione"}}));
    QVERIFY(!sim->setUpdate(3, 2, 2, 0, QStringLiteral("Korvex2Client.zip")).isEmpty());
    // The first answer waits until the waiting dialog has been seen.
    QVERIFY(sim->holdAnswer("ottieniAggiornamento"));
    // An order is being sent when the customer accepts: its worker sits in a service call,
    // which the laboratory holds until the program stops the queue.
    GuiFixture::queueFileOrder({fixture->bytesFile("grande.bin", 200000)});
    QVERIFY(sim->holdAnswer("inserisciFile"));
    const int ordersBefore = sim->counts().orders;

    ModalAnswerer answerer;
    releaseWhenShown(answerer, *sim, QStringLiteral("ottieniAggiornamento")); // the waiting dialog
    bool sendingWhenAsked = false;
    answerer.answerWith([&sendingWhenAsked](QWidget *box) {
        KorvexGlobals::ordineUpload->startUpload();
        sendingWhenAsked = KorvexGlobals::ordineUpload->processingUploads();
        static_cast<QMessageBox *>(box)->button(QMessageBox::Yes)->click();
    });
    leaveOpen(answerer);                  // the download
    answerer.answer(QMessageBox::Ok);     // "Download Terminato"
    // The waiting box while the queue stops: the worker's call may be answered now (with its
    // rule gone, in case the worker had not reached it yet).
    answerer.answerWith([this](QWidget *) { QVERIFY(sim->resetKnobs()); });
    openMainWindow();
    QTRY_VERIFY_WITH_TIMEOUT(launcher.quits == 1, 60000);
    QVERIFY(sendingWhenAsked);
    QCOMPARE(answerer.boxes().at(1).title, QStringLiteral("Aggiornamento Applicazione"));
    QCOMPARE(answerer.boxes().at(1).text,
             QStringLiteral("<h3 style='color:#D16C6C'>E' disponibile una nuova versione dell'applicazione</h3><p "
                            "style='color:#00557F'>Procedere con il download e l'installazione di <b>Korvex2 "
                            "2.2.0</b>?</p>"));
    QCOMPARE(answerer.boxes().at(3).text,
             QStringLiteral("<h3 style='color:#00557F'>Download dell'aggiornamento terminato con successo!</h3><span "
                            "style='color:#00557F'>Il programma verrà riavviato al fine di applicare le modifiche</span>"));
    QCOMPARE(launcher.started.size(), 1);
    QVERIFY(launcher.started.first().endsWith(QStringLiteral("/Korvex2Client")));
    QVERIFY(!launcher.queueRunningAtStart);
    // The new program ran, and waits for this one's end to take the profile.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 60000);
    const QString status = marker + QStringLiteral(".status");
    QTRY_VERIFY_WITH_TIMEOUT(readStatus(status).contains(QStringLiteral("waiting")), 60000);
    QVERIFY(!readStatus(status).contains(QStringLiteral("locked")));
    // Nothing is sent any more by this program.
    QVERIFY(!KorvexGlobals::ordineUpload->processingUploads());
    QCOMPARE(sim->counts().orders, ordersBefore);
    // This program's end lets the lock go: the new one has it.
    lock.release();
    QTRY_VERIFY_WITH_TIMEOUT(readStatus(status).contains(QStringLiteral("locked ")), 60000);
    QVERIFY2(!readStatus(status).contains(QStringLiteral("box ")), qPrintable(readStatus(status)));
}

void TestUpdateInstall::badArchiveStartsNothing()
{
    fixture->storeSettings(sim->baseUrl(), "demo", "demo");
    KorvexGlobals::CheckUpdatesAtStartup = true;
    KorvexGlobals().saveSettings();
    writeBytes(sim->updatesDir() + QStringLiteral("/Korvex2Client.zip"),
               zipArchive({{"Korvex2Client", program}, {"../fuori", program}}));
    QVERIFY(!sim->setUpdate(3, 3, 0, 0, QStringLiteral("Korvex2Client.zip")).isEmpty());
    // The first answer waits until the waiting dialog has been seen.
    QVERIFY(sim->holdAnswer("ottieniAggiornamento"));
    ModalAnswerer answerer;
    releaseWhenShown(answerer, *sim, QStringLiteral("ottieniAggiornamento")); // the waiting dialog
    answerer.answer(QMessageBox::Yes);
    leaveOpen(answerer);
    answerer.answer(QMessageBox::Ok);
    openMainWindow();
    QTRY_VERIFY_WITH_TIMEOUT(answerer.pending() == 0 && answerer.count() == 4, 60000);
    QCOMPARE(answerer.last().title, QStringLiteral("Aggiornamento Apllicazione"));
    QVERIFY(answerer.last().text.contains(QStringLiteral("percorso non ammesso")));
    QTest::qWait(200);
    QVERIFY(launcher.started.isEmpty());
    QCOMPARE(launcher.quits, 0);
    // The program runs on: the login went on to the queue.
    QVERIFY(window->isVisible());
    QVERIFY(KorvexGlobals::utente);
    QCOMPARE(answerer.unexpected(), 0);
}

void TestUpdateInstall::stoppedProgramDownloadAsksNoMore()
{
    fixture->storeSettings(sim->baseUrl(), "demo", "demo");
    KorvexGlobals::CheckUpdatesAtStartup = true;
    KorvexGlobals().saveSettings();
    writeBytes(sim->updatesDir() + QStringLiteral("/Korvex2Client.zip"), QByteArray(4 << 20, 'z'));
    QVERIFY(!sim->setUpdate(3, 2, 2, 0, QStringLiteral("Korvex2Client.zip")).isEmpty());
    // A data update waits too: it is not offered after the customer stopped the download.
    QVERIFY(!sim->setUpdate(2, KorvexGlobals::ServiceDataDbVersion + 1, 0, 0, QStringLiteral("korvex.s3db")).isEmpty());
    LabSimulator::UpdateFileKnob slow;
    slow.rate = 256 * 1024;
    QVERIFY(sim->setUpdateFileKnob(QStringLiteral("Korvex2Client.zip"), slow));
    // The first answer waits until the waiting dialog has been seen.
    QVERIFY(sim->holdAnswer("ottieniAggiornamento"));
    ModalAnswerer answerer;
    releaseWhenShown(answerer, *sim, QStringLiteral("ottieniAggiornamento")); // the waiting dialog
    answerer.answer(QMessageBox::Yes);
    answerer.answerWith([](QWidget *box) {
        QTimer::singleShot(500, box, [box] { QTest::keyClick(box, Qt::Key_Escape); });
    });
    answerer.answer(QMessageBox::Yes); // "Chiudi": stop the download
    openMainWindow();
    QTRY_VERIFY_WITH_TIMEOUT(answerer.pending() == 0 && answerer.count() == 4, 60000);
    QTRY_VERIFY(window->findChild<QToolButton *>("toolButtonLogout")->isVisible());
    QTest::qWait(500);
    QCOMPARE(answerer.count(), 4);
    QCOMPARE(answerer.last().title, QStringLiteral("Chiudi"));
    QCOMPARE(answerer.unexpected(), 0);
    QVERIFY(launcher.started.isEmpty());
}

void TestUpdateInstall::cancelledWaitReturnsAtOnce()
{
    fixture->storeSettings(sim->baseUrl(), "demo", "demo");
    KorvexGlobals::CheckUpdatesAtStartup = true;
    KorvexGlobals().saveSettings();
    // The check's query is held by the laboratory: whatever returns while it is still held
    // returned without waiting for it.
    QVERIFY(sim->holdAnswer("ottieniAggiornamento", -1));
    const int queriesBefore = sim->status().value("calls").toObject().value("ottieniAggiornamento").toInt();
    ModalAnswerer answerer;
    answerer.answerWith([this](QWidget *box) {
        QVERIFY(QTest::qWaitFor([this] { return sim->heldCalls() == 1; }, 60000));
        QTest::mouseClick(box->findChild<QToolButton *>("btCancel"), Qt::LeftButton);
    });
    openMainWindow();
    QTRY_VERIFY_WITH_TIMEOUT(answerer.count() == 1 && KorvexGlobals::utente
                                 && window->findChild<QToolButton *>("toolButtonLogout")->isVisible(),
                             60000);
    QCOMPARE(sim->heldCalls(), 1);
    QTRY_VERIFY(window->findChildren<UpdatesWaitingDialog *>().isEmpty());
    // Closing the main window while the old check still waits returns at once too.
    closeMainWindow();
    QCOMPARE(sim->heldCalls(), 1);
    // Let go, the released check ends by itself: both its queries reach the laboratory, and
    // nothing of it reaches anyone.
    QVERIFY(sim->resetKnobs());
    QTRY_COMPARE_WITH_TIMEOUT(sim->status().value("calls").toObject().value("ottieniAggiornamento").toInt(),
                              queriesBefore + 2, 60000);
    QTest::qWait(200);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.unexpected(), 0);
}

void TestUpdateInstall::failedCheckClosesTheWaitingDialog()
{
    fixture->storeSettings(sim->baseUrl(), "demo", "demo");
    KorvexGlobals::CheckUpdatesAtStartup = true;
    KorvexGlobals().saveSettings();
    // The first answer waits until the waiting dialog has been seen.
    QVERIFY(sim->holdAnswer("ottieniAggiornamento"));
    QVERIFY(sim->injectFault("ottieniAggiornamento", QStringLiteral("Servizio fermo"), 2));
    ModalAnswerer answerer;
    releaseWhenShown(answerer, *sim, QStringLiteral("ottieniAggiornamento")); // the waiting dialog
    openMainWindow();
    QTRY_VERIFY_WITH_TIMEOUT(window->findChild<QToolButton *>("toolButtonLogout")->isVisible(), 10000);
    QTRY_VERIFY(window->findChildren<UpdatesWaitingDialog *>().isEmpty());
    QCOMPARE(answerer.count(), 1);

    // The settings window shows the failure and gives the button back.
    leaveOpen(answerer); // the settings window is modal
    auto *settings = new Impostazioni;
    settings->setAttribute(Qt::WA_DeleteOnClose);
    settings->show();
    QVERIFY(sim->injectFault("ottieniAggiornamento", QStringLiteral("Servizio fermo"), 2));
    QTest::mouseClick(settings->findChild<QToolButton *>("toolButtonCheckUpdates"), Qt::LeftButton);
    auto *status = settings->findChild<QLabel *>("labelCheckUpdatesInProgress");
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("Impossibile verificare gli aggiornamenti"), 10000);
    QCOMPARE(settings->findChild<QWidget *>("widgetCheckUpdatesInProgress")->toolTip(), QStringLiteral("Servizio fermo"));
    QVERIFY(settings->findChild<QToolButton *>("toolButtonCheckUpdates")->isVisible());
    const QString folder = QString::fromLocal8Bit(qgetenv("KORVEX_BINARY_DIR")) + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    settings->grab().save(folder + QStringLiteral("/impostazioni-errore.png"));
    settings->close();
}

void TestUpdateInstall::settingsWindowInstallsTheCatalogue()
{
    fixture->storeSettings(sim->baseUrl(), "demo", "demo");
    const int version = KorvexGlobals::ServiceDataDbVersion;
    ModalAnswerer answerer;
    openMainWindow();
    QTRY_VERIFY_WITH_TIMEOUT(window->findChild<QToolButton *>("toolButtonLogout")->isVisible(), 10000);
    QCOMPARE(articleTitle(window, 0), QStringLiteral("Stampa fotografica"));
    leaveOpen(answerer);

    writeCatalogue(sim->updatesDir() + QStringLiteral("/korvex.s3db"), version + 2, QStringLiteral("Stampe dal menu"));
    QVERIFY(!sim->setUpdate(2, version + 2, 0, 0, QStringLiteral("korvex.s3db")).isEmpty());
    // A program update the customer declines: the data check follows on the check's thread.
    QVERIFY(!sim->setUpdate(3, 2, 1, 14, QStringLiteral("Korvex2Client.zip")).isEmpty());
    QTest::mouseClick(window->findChild<QToolButton *>("toolButtonImpostazioni"), Qt::LeftButton);
    QVERIFY(window->isHidden());
    QTRY_COMPARE(answerer.count(), 1); // the settings window itself, modal, left open
    Impostazioni *settings = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        settings = settings ? settings : qobject_cast<Impostazioni *>(w);
    QVERIFY(settings && settings->isVisible());
    answerer.answer(QMessageBox::No);     // "Aggiornamento Applicazione"
    answerer.answer(QMessageBox::Yes);    // "Aggiornamento Dati"
    leaveOpen(answerer);                  // the download
    answerer.answer(QMessageBox::Ok);     // "Download Terminato"
    QTest::mouseClick(settings->findChild<QToolButton *>("toolButtonCheckUpdates"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(answerer.pending() == 0 && answerer.count() == 5, 20000);
    QCOMPARE(answerer.boxes().at(1).title, QStringLiteral("Aggiornamento Applicazione"));
    QCOMPARE(answerer.boxes().at(2).title, QStringLiteral("Aggiornamento Dati"));
    QCOMPARE(answerer.boxes().at(4).title, QStringLiteral("Download Terminato"));
    // The main window rebuilt its articles, though the settings window has no parent.
    QTRY_COMPARE(articleTitle(window, 0), QStringLiteral("Stampe dal menu"));
    QCOMPARE(KorvexGlobals::ServiceDataDbVersion, version + 2);
    QPointer<Impostazioni> alive(settings);
    settings->close();
    QTRY_VERIFY(!alive);
    QVERIFY(window->isVisible());
    QCOMPARE(answerer.unexpected(), 0);
}

void TestUpdateInstall::waitingDialogs()
{
    const QString folder = QString::fromLocal8Bit(qgetenv("KORVEX_BINARY_DIR")) + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    {
        // Without a thread exec() only shows the dialog; Annulla rejects it.
        UpdatesWaitingDialog dialog;
        QSignalSpy rejected(&dialog, &QDialog::rejected);
        ModalAnswerer answerer;
        answerer.answerWith([folder](QWidget *box) {
            box->grab().save(folder + QStringLiteral("/updateswaitingdialog.png"));
            QTest::mouseClick(box->findChild<QToolButton *>("btCancel"), Qt::LeftButton);
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QCOMPARE(rejected.count(), 1);
    }
    {
        UpdatesWaitingDialog dialog;
        auto *thread = new QThread;
        QSignalSpy started(thread, &QThread::started);
        dialog.setUpdatesThread(thread);
        ModalAnswerer answerer;
        answerer.answerWith([](QWidget *box) { QTest::keyClick(box, Qt::Key_Escape); });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(started.count() == 1 || started.wait(60000));
        thread->quit();
        thread->wait();
        delete thread;
    }
    WaitingDialog waiting;
    waiting.show();
    QVERIFY(QTest::qWaitForWindowExposed(&waiting));
    waiting.grab().save(folder + QStringLiteral("/waitingdialog.png"));
}

void TestUpdateInstall::declinedProgramUpdateOffersTheCatalogueBeforeSending()
{
    // "Invia automaticamente" on, an order queued, a new program and a new catalogue.
    fixture->storeSettings(sim->baseUrl(), "demo", "demo", true);
    KorvexGlobals::CheckUpdatesAtStartup = true;
    KorvexGlobals().saveSettings();
    const int version = KorvexGlobals::ServiceDataDbVersion;
    writeCatalogue(sim->updatesDir() + QStringLiteral("/korvex.s3db"), version + 1, QStringLiteral("Stampe nuove"));
    QVERIFY(!sim->setUpdate(2, version + 1, 0, 0, QStringLiteral("korvex.s3db")).isEmpty());
    QVERIFY(!sim->setUpdate(3, 2, 1, 14, QStringLiteral("Korvex2Client.zip")).isEmpty());
    // Each check's answer waits until its waiting dialog has been seen.
    QVERIFY(sim->holdAnswer("ottieniAggiornamento", -1));
    GuiFixture::queueFileOrder({fixture->bytesFile("ordine.bin", 50000)});
    // Once the queue starts, its order's file record waits: a queue started too early would
    // still be sending when the catalogue is offered.
    QVERIFY(sim->holdAnswer("inserisciFile"));
    const int ordersBefore = sim->counts().orders;

    bool sendingWhenOffered = false;
    int waits = 0;
    ModalAnswerer answerer;
    const ModalAnswerer::Action respond = [this, &sendingWhenOffered, &waits](QWidget *box) {
        auto *message = qobject_cast<QMessageBox *>(box);
        if (!message) {
            // The waiting dialogs close by themselves once their check is answered, the
            // download once it is done.
            if (qobject_cast<UpdatesWaitingDialog *>(box)) {
                saveShot(box, QStringLiteral("updates-waiting-%1").arg(++waits));
                QVERIFY(QTest::qWaitFor([this] { return sim->heldCalls("ottieniAggiornamento") == 1; }, 60000));
                QVERIFY(sim->releaseHeld("ottieniAggiornamento"));
            }
            return;
        }
        if (message->windowTitle() == QLatin1String("Aggiornamento Applicazione")) {
            message->button(QMessageBox::No)->click();
        } else if (message->windowTitle() == QLatin1String("Aggiornamento Dati")) {
            sendingWhenOffered = KorvexGlobals::ordineUpload->processingUploads();
            message->button(QMessageBox::Yes)->click();
        } else {
            message->button(QMessageBox::Ok)->click();
        }
    };
    for (int i = 0; i < 8; ++i)
        answerer.answerWith(respond);
    openMainWindow();
    // The login comes 1 ms after the window: the queue is there already.
    QObject started;
    int versionWhenSending = -1;
    connect(KorvexGlobals::ordineUpload, &OrdineUpload::startProcessingQueue, &started, [&versionWhenSending] {
        if (versionWhenSending < 0)
            versionWhenSending = KorvexGlobals::ServiceDataDbVersion;
    });

    // The queue started, and its worker waits for the laboratory.
    QTRY_COMPARE_WITH_TIMEOUT(sim->heldCalls("inserisciFile"), 1, 60000);
    QStringList titles;
    for (const ModalAnswerer::Box &box : answerer.boxes()) {
        if (box.className == QLatin1String("QMessageBox"))
            titles << box.title;
    }
    QCOMPARE(titles, QStringList({"Aggiornamento Applicazione", "Aggiornamento Dati", "Download Terminato"}));
    QCOMPARE(waits, 2);
    QVERIFY(!sendingWhenOffered);
    QVERIFY(sim->releaseHeld("inserisciFile"));
    QTRY_VERIFY_WITH_TIMEOUT(sim->counts().orders == ordersBefore + 1, 60000);
    // The order went out against the new catalogue.
    QCOMPARE(versionWhenSending, version + 1);
    QCOMPARE(KorvexGlobals::ServiceDataDbVersion, version + 1);
    QTRY_COMPARE(articleTitle(window, 0), QStringLiteral("Stampe nuove"));
    QCOMPARE(answerer.unexpected(), 0);
}

void TestUpdateInstall::failedStartOfTheNewProgramResumesTheQueue()
{
    launcher.failStart = true;
    // This program holds its profile, as main() takes it.
    ProfileLock lock(fixture->dataFolder());
    QCOMPARE(lock.acquire(), ProfileLock::Result::Acquired);
    fixture->storeSettings(sim->baseUrl(), "demo", "demo", true);
    writeBytes(sim->updatesDir() + QStringLiteral("/Korvex2Client.zip"), zipArchive({{"Korvex2Client", program}}));
    QVERIFY(!sim->setUpdate(3, 2, 2, 0, QStringLiteral("Korvex2Client.zip")).isEmpty());
    // An order of several files, whose file records the laboratory holds: it is being sent
    // until the update stops the queue.
    QStringList files;
    for (int i = 0; i < 4; ++i)
        files << fixture->bytesFile(QStringLiteral("parte%1.bin").arg(i), 20000);
    GuiFixture::queueFileOrder(files);
    QVERIFY(sim->holdAnswer("inserisciFile", -1));
    const int ordersBefore = sim->counts().orders;

    ModalAnswerer answerer;
    openMainWindow();
    QTRY_VERIFY_WITH_TIMEOUT(sim->heldCalls("inserisciFile") == 1, 60000);
    QVERIFY(KorvexGlobals::ordineUpload->processingUploads());

    leaveOpen(answerer); // the settings window, modal
    bool sendingWhenAsked = false;
    answerer.answerWith([&sendingWhenAsked](QWidget *box) {
        sendingWhenAsked = KorvexGlobals::ordineUpload->processingUploads();
        static_cast<QMessageBox *>(box)->button(QMessageBox::Yes)->click();
    });
    leaveOpen(answerer);              // the download
    answerer.answer(QMessageBox::Ok); // "Download Terminato"
    // The waiting box while the queue stops: the worker's held call may be answered now.
    answerer.answerWith([this](QWidget *) { QVERIFY(sim->releaseHeld("inserisciFile")); });
    answerer.answerWith([](QWidget *box) { // the new program did not start
        saveShot(box, QStringLiteral("update-start-failed"));
        static_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
    });
    QTest::mouseClick(window->findChild<QToolButton *>("toolButtonImpostazioni"), Qt::LeftButton);
    QTRY_COMPARE(answerer.count(), 1);
    Impostazioni *settings = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        settings = settings ? settings : qobject_cast<Impostazioni *>(w);
    QVERIFY(settings);
    QTest::mouseClick(settings->findChild<QToolButton *>("toolButtonCheckUpdates"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(answerer.pending() == 0 && answerer.count() == 6, 30000);
    QVERIFY(sendingWhenAsked);
    QCOMPARE(launcher.started.size(), 1);
    QVERIFY(!launcher.queueRunningAtStart);
    QCOMPARE(answerer.last().title, QStringLiteral("Aggiornamento Applicazione"));
    QVERIFY(answerer.last().text.contains(QStringLiteral("Impossibile avviare il programma")));
    QCOMPARE(launcher.quits, 0);
    // This program keeps its profile: the lock file still names this process, and another
    // copy started now is refused.
    QVERIFY(lock.isLocked());
    qint64 owner = 0;
    QString ownerHost;
    QString ownerApplication;
    QVERIFY(QLockFile(lock.filePath()).getLockInfo(&owner, &ownerHost, &ownerApplication));
    QCOMPARE(owner, QCoreApplication::applicationPid());
    QCOMPARE(ownerHost, QSysInfo::machineHostName());
    QVERIFY(startACopy().contains(QStringLiteral("box Programma già aperto")));

    // The queue goes on with the order it was sending.
    QVERIFY(sim->resetKnobs());
    QTRY_VERIFY_WITH_TIMEOUT(sim->counts().orders == ordersBefore + 1, 30000);
    QTRY_COMPARE(KorvexGlobals::ordineUpload->queueSize(), 0);
    QCOMPARE(answerer.unexpected(), 0);
    QPointer<Impostazioni> alive(settings);
    settings->close();
    QTRY_VERIFY(!alive);
}

void TestUpdateInstall::programUpdateStartsTheNewProgramOnTheSameProfile()
{
    launcher.reallyStart = true;
    // This program runs on the profile "Negozio" and holds its lock, as main() takes it.
    const StartedOnProfile startedOn("Negozio");
    QCOMPARE(QCoreApplication::arguments().mid(1), QStringList{QStringLiteral("Negozio")});
    ProfileLock lock(fixture->home() + QStringLiteral("/.Korvex2Negozio"));
    QCOMPARE(lock.acquire(), ProfileLock::Result::Acquired);
    // Another copy runs beside it on the plain profile.
    const QString plainStatus = marker + QStringLiteral(".plain");
    QFile::remove(plainStatus);
    QProcess plainCopy;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QString::fromLatin1(ProfileLock::predecessorVariable()));
    plainCopy.setProcessEnvironment(environment);
    plainCopy.start(QStringLiteral(KORVEX_STARTUPCHILD), {plainStatus, QStringLiteral("hold")});
    QTRY_VERIFY_WITH_TIMEOUT(readStatus(plainStatus).contains(QStringLiteral("locked ")), 60000);
    const QString plainBefore = readStatus(plainStatus);

    writeBytes(sim->updatesDir() + QStringLiteral("/Korvex2Client.zip"), zipArchive({{"Korvex2Client", successor}}));
    ModalAnswerer answerer;
    QVERIFY(acceptProgramUpdate(answerer, korvex2__IdComponenteType__Programma, *sim, QStringLiteral("Korvex2Client.zip"))
            == UpdateInstaller::Outcome::ProgramStarted);
    QCOMPARE(answerer.unexpected(), 0);
    QCOMPARE(launcher.started.size(), 1);
    QCOMPARE(launcher.startArguments, QStringList{QStringLiteral("Negozio")});
    QCOMPARE(launcher.quits, 1);

    // The new program waits for this one's lock on "Negozio", and takes it once this one has
    // let it go; the copy on the plain profile never hears of it.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 60000);
    const QString status = marker + QStringLiteral(".status");
    QTRY_VERIFY2_WITH_TIMEOUT(readStatus(status).contains(QStringLiteral("waiting")), qPrintable(readStatus(status)),
                              60000);
    QVERIFY2(!readStatus(status).contains(QStringLiteral("locked")), qPrintable(readStatus(status)));
    lock.release();
    QTRY_VERIFY2_WITH_TIMEOUT(readStatus(status).contains(QStringLiteral("locked ")), qPrintable(readStatus(status)),
                              60000);
    QVERIFY2(!readStatus(status).contains(QStringLiteral("box ")), qPrintable(readStatus(status)));
    QCOMPARE(plainCopy.state(), QProcess::Running);
    QCOMPARE(readStatus(plainStatus), plainBefore);
    qint64 plainOwner = 0;
    QString host;
    QString application;
    QVERIFY(QLockFile(fixture->dataFolder() + QStringLiteral("/Korvex2.lock")).getLockInfo(&plainOwner, &host, &application));
    QCOMPARE(plainOwner, plainCopy.processId());
    plainCopy.kill();
    QVERIFY(plainCopy.waitForFinished(60000));
}

void TestUpdateInstall::installerStartsWithoutArguments()
{
    // An installer is no copy of the program: it is started as it was downloaded, with no
    // profile, whatever profile this program runs on.
    const StartedOnProfile startedOn("Negozio");
    writeBytes(sim->updatesDir() + QStringLiteral("/Korvex2Setup.run"), program);
    ModalAnswerer answerer;
    QVERIFY(acceptProgramUpdate(answerer, korvex2__IdComponenteType__InstallatoreProgramma, *sim,
                                QStringLiteral("Korvex2Setup.run"))
            == UpdateInstaller::Outcome::ProgramStarted);
    QCOMPARE(answerer.unexpected(), 0);
    QCOMPARE(launcher.started.size(), 1);
    QVERIFY2(launcher.started.first().endsWith(QStringLiteral("/Korvex2Setup.run")), qPrintable(launcher.started.first()));
    QVERIFY(QFileInfo(launcher.started.first()).isExecutable());
    QCOMPARE(launcher.startArguments, QStringList());
    QCOMPARE(launcher.quits, 1);
}

int main(int argc, char *argv[])
{
    // The application object takes its own options out of the test runner's command line,
    // which then goes to the tests; the program itself was started with its name alone.
    programArgv.assign(argv, argv + argc);
    programArgv.resize(size_t(std::max(argc, 2) + 1), nullptr);
    programArgc = argc;
    QApplication app(programArgc, programArgv.data());
    app.setAttribute(Qt::AA_Use96Dpi, true);
    std::vector<char *> testArgv(programArgv.begin(), programArgv.begin() + programArgc);
    testArgv.push_back(nullptr);
    programArgc = 1;
    programArgv[1] = nullptr;
    TestUpdateInstall test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, int(testArgv.size()) - 1, testArgv.data());
}

#include "tst_updateinstall.moc"
