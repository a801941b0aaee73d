// Sends the upload queue of the program's data folder to the laboratory, in a process of its
// own, and kills itself with SIGKILL at a chosen point, as a crash or a power cut would.
//
//   engine_sendchild --endpoint URL --data DIR --db FILE --profile FILE --user U --password P
//                    [--kill-at none|upload:N|row:N|sent]
//
//   upload:N  during the upload of the N-th row begun (first progress with bytes sent)
//   row:N     when the N-th row has been reported sent
//   sent      when the order has been reported sent, before the queue removes its file
//
// Exit code 0 when the queue was sent, 2 after an error, 3 after missing files, 4 when the
// set-up failed.

#include <csignal>
#include <mutex>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include "anagrafica.h"
#include "korvex2exception.h"
#include "korvexglobals.h"
#include "ordineupload.h"
#include "utente.h"
#include "wssettingslock.h"

namespace {

[[noreturn]] void die()
{
    std::raise(SIGKILL);
    std::abort();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vendrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvex2"));

    QCommandLineParser parser;
    const QCommandLineOption endpoint(QStringLiteral("endpoint"), QString(), QStringLiteral("url"));
    const QCommandLineOption data(QStringLiteral("data"), QString(), QStringLiteral("folder"));
    const QCommandLineOption db(QStringLiteral("db"), QString(), QStringLiteral("file"));
    const QCommandLineOption profile(QStringLiteral("profile"), QString(), QStringLiteral("file"));
    const QCommandLineOption user(QStringLiteral("user"), QString(), QStringLiteral("name"));
    const QCommandLineOption password(QStringLiteral("password"), QString(), QStringLiteral("text"));
    const QCommandLineOption killAt(QStringLiteral("kill-at"), QString(), QStringLiteral("point"),
                                    QStringLiteral("none"));
    parser.addOptions({endpoint, data, db, profile, user, password, killAt});
    parser.process(app);

    KorvexGlobals::WsEndpoint = parser.value(endpoint);
    KorvexGlobals::appDataPath = parser.value(data);
    KorvexGlobals::SqlDbHost = parser.value(db);
    KorvexGlobals::iccColorProfileLocation = parser.value(profile);
    KorvexGlobals::JpegCompressionQuality = 90;
    KorvexGlobals::FTPBufferSize = 16384;

    {
        std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
        Anagrafica::WsEndpoint = KorvexGlobals::WsEndpoint.toStdString();
    }
    auto *utente = new Utente();
    try {
        utente->login(parser.value(user).toStdString(), parser.value(password).toStdString());
    } catch (const Korvex2Exception &e) {
        QTextStream(stderr) << "login failed: " << QString::fromStdString(e.message) << '\n';
        return 4;
    }
    utente->username = parser.value(user).toStdString();
    utente->password = parser.value(password).toStdString();
    KorvexGlobals::utente = utente;

    const QString point = parser.value(killAt);
    const QString kind = point.section(QLatin1Char(':'), 0, 0);
    const int count = point.section(QLatin1Char(':'), 1, 1).toInt();

    OrdineUpload queue;
    int rowsBegun = 0;
    int rowsSent = 0;
    QObject::connect(&queue, &OrdineUpload::currentProcessingFileChanged, &app,
                     [&](const QFileInfo &) { ++rowsBegun; });
    QObject::connect(&queue, &OrdineUpload::CurrentOrderCurrentFileProgress, &app, [&](qint64 sent, qint64) {
        if (kind == QLatin1String("upload") && rowsBegun == count && sent > 0)
            die();
    });
    QObject::connect(&queue, &OrdineUpload::fileTerminated, &app, [&](int, int) {
        if (kind == QLatin1String("row") && ++rowsSent == count)
            die();
    });
    QObject::connect(&queue, &OrdineUpload::orderTerminated, &app, [&](int) {
        if (kind == QLatin1String("sent"))
            die();
    });
    QObject::connect(&queue, &OrdineUpload::finishedProcessingQueue, &app, [] { QCoreApplication::exit(0); });
    QObject::connect(&queue, &OrdineUpload::errorOccurred, &app, [](const QString &message) {
        QTextStream(stderr) << message << '\n';
        QCoreApplication::exit(2);
    });
    QObject::connect(&queue, &OrdineUpload::filesNotFound, &app,
                     [](const QString &, const QList<QFileInfo> &) { QCoreApplication::exit(3); });

    queue.startUpload();
    if (!queue.processingUploads())
        return 0;
    const int code = QCoreApplication::exec();
    KorvexGlobals::utente = nullptr;
    delete utente;
    return code;
}
