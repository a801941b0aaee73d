// Sends the upload queue of a data folder to the laboratory, in a process of its own, as the
// program does: settings loaded through KorvexGlobals, the customer logged in, the real queue.
// When the queue reports the first row of the order it sends, the GUI thread rewrites another
// queued order's file, made inactive, as a window that cancels a waiting order does.
//
//   engine_rewritechild --endpoint URL --data DIR --db FILE --profile FILE --user U --password P
//                       --sent UUID --rewrite UUID
//
// Exit code 0 when the queue ended with the order `sent` sent (its file gone) and the order
// `rewrite` left inactive and unsent; 2 after an error, 3 after missing files, 4 when the
// set-up failed, 5 for any other ending, 6 when the queue did not end within a minute.
// A fault of memory ends the process with a signal.

#include <mutex>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTextStream>
#include <QTimer>

#include "anagrafica.h"
#include "korvex2exception.h"
#include "korvexglobals.h"
#include "ordinefile.h"
#include "ordineupload.h"
#include "utente.h"
#include "wssettingslock.h"

namespace {

QString orderFile(const QString &uuid)
{
    return OrdineFile::path(KorvexGlobals::ordersQueuePath(), uuid);
}

// What a window does to cancel a waiting order: read its file, parse it with an order store
// of its own, and save it back inactive.
bool deactivate(const QString &uuid)
{
    QFile file(orderFile(uuid));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    OrdiniLocal store;
    OrdiniLocal::OrdineLocal ordine;
    try {
        ordine = store.FromXML(QString::fromUtf8(file.readAll()));
    } catch (const Korvex2Exception &) {
        return false;
    }
    ordine.Attivo = false;
    return store.SaveXML(ordine, QString());
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
    const QCommandLineOption sent(QStringLiteral("sent"), QString(), QStringLiteral("uuid"));
    const QCommandLineOption rewrite(QStringLiteral("rewrite"), QString(), QStringLiteral("uuid"));
    parser.addOptions({endpoint, data, db, profile, user, password, sent, rewrite});
    parser.process(app);

    // The settings as start-up loads them: the database named in the settings store (the
    // parent gives this process a settings folder of its own), the data folder's orders.
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                           QCoreApplication::applicationName());
        settings.setValue(QStringLiteral("SqlDbHost"), parser.value(db));
        settings.setValue(QStringLiteral("FTPBufferSize"), 16384);
        settings.setValue(QStringLiteral("JpegCompressionQuality"), 90);
    }
    KorvexGlobals::appDataPath = parser.value(data);
    try {
        KorvexGlobals().loadSettings();
    } catch (const Korvex2Exception &e) {
        QTextStream(stderr) << "settings: " << QString::fromStdString(e.message) << '\n';
        return 4;
    }
    KorvexGlobals::WsEndpoint = parser.value(endpoint);
    KorvexGlobals::iccColorProfileLocation = parser.value(profile);

    {
        std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
        Anagrafica::WsEndpoint = KorvexGlobals::WsEndpoint.toStdString();
    }
    auto *utente = new Utente();
    try {
        utente->login(parser.value(user).toStdString(), parser.value(password).toStdString());
    } catch (const Korvex2Exception &e) {
        QTextStream(stderr) << "login failed: " << QString::fromStdString(e.message) << '\n';
        delete utente;
        return 4;
    }
    utente->username = parser.value(user).toStdString();
    utente->password = parser.value(password).toStdString();
    KorvexGlobals::utente = utente;

    const QString sentUuid = parser.value(sent);
    const QString rewriteUuid = parser.value(rewrite);
    int code = 5;
    {
        OrdineUpload queue;
        bool rewritten = false;
        QObject::connect(&queue, &OrdineUpload::fileTerminated, &app, [&](int current, int) {
            if (current != 1 || rewritten)
                return;
            rewritten = true;
            if (!deactivate(rewriteUuid)) {
                QTextStream(stderr) << "the waiting order could not be rewritten\n";
                QCoreApplication::exit(5);
            }
        });
        QObject::connect(&queue, &OrdineUpload::finishedProcessingQueue, &app, [] { QCoreApplication::exit(0); });
        QObject::connect(&queue, &OrdineUpload::errorOccurred, &app, [](const QString &message) {
            QTextStream(stderr) << message << '\n';
            QCoreApplication::exit(2);
        });
        QObject::connect(&queue, &OrdineUpload::filesNotFound, &app,
                         [](const QString &, const QList<QFileInfo> &) { QCoreApplication::exit(3); });
        QTimer::singleShot(60000, &app, [] { QCoreApplication::exit(6); });

        queue.startUpload();
        code = queue.processingUploads() ? QCoreApplication::exec() : 5;
        if (code == 0 && !rewritten)
            code = 5;
    }

    if (code == 0) {
        OrdiniLocal store;
        OrdiniLocal::OrdineLocal waiting;
        if (QFileInfo::exists(orderFile(sentUuid))) {
            QTextStream(stderr) << "the sent order's file is still there\n";
            code = 5;
        } else if (!OrdineFile::read(orderFile(rewriteUuid), store, waiting) || waiting.Attivo || waiting.Inviato) {
            QTextStream(stderr) << "the cancelled order is not as the window left it\n";
            code = 5;
        }
    }

    KorvexGlobals::utente = nullptr;
    delete utente;
    return code;
}
