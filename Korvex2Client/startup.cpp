#include "startup.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QStringList>
#include <QTranslator>

#include "korvexglobals.h"
#include "magickimage.h"
#include "mainwindow.h"
#include "ordineupload.h"
#include "profilelock.h"
#include "session.h"

namespace Startup {

namespace {

const char baseApplicationName[] = "Korvex2";

QString tr(const char *text)
{
    return QCoreApplication::translate("Startup", text);
}

// The profile suffix of the running program (empty for the plain profile).
QString profileName()
{
    return QCoreApplication::applicationName().mid(int(qstrlen(baseApplicationName)));
}

} // namespace

void configureApplication(QApplication &app, const QStringList &arguments)
{
    QStringList paths = QCoreApplication::libraryPaths();
    QDir dir(QCoreApplication::applicationDirPath());
    dir.cdUp();
    dir.cd(QStringLiteral("Frameworks"));
    paths.append(dir.absolutePath());
    dir.cdUp();
    dir.cd(QStringLiteral("PlugIns"));
    paths.append(dir.absolutePath());
    QCoreApplication::setLibraryPaths(paths);

    app.setOrganizationName(QStringLiteral("Vendrel"));
    app.setOrganizationDomain(QStringLiteral("vendrel.example"));

    QString name = QString::fromLatin1(baseApplicationName);
    if (arguments.size() > 1) {
        name += arguments.at(1);
        KorvexGlobals::appDataPath = QDir::homePath() + QStringLiteral("/.") + name;
    }
    app.setApplicationName(name);
    app.setApplicationVersion(QStringLiteral("%1.%2.%3").arg(2).arg(1).arg(13));
    KorvexGlobals::iccColorProfileLocation =
        QCoreApplication::applicationDirPath() + QStringLiteral("/profiles/sRGB.icm");
}

bool loadQtTranslations(QApplication &app)
{
    auto *translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_it"), folder)) {
        qDebug().noquote() << QStringLiteral("Traduzioni di Qt non trovate in %1").arg(folder);
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

bool lockProfile(ProfileLock &lock, int *exitCode)
{
    const ProfileLock::Result result = lock.acquire(ProfileLock::takePredecessorFromEnvironment());
    if (result == ProfileLock::Result::Acquired)
        return true;

    if (result == ProfileLock::Result::Failed) {
        qWarning().noquote() << QStringLiteral("Profilo non bloccato: %1").arg(lock.errorString());
        QMessageBox::critical(nullptr, tr("Impossibile avviare l'applicazione"),
                              tr("Impossibile riservare il profilo a questo programma: %1.\r\n\r\n"
                                 "Liberare spazio sul disco o controllare la cartella %2, poi riaprire il "
                                 "programma.")
                                  .arg(lock.errorString(), QDir::toNativeSeparators(KorvexGlobals::appDataPath)),
                              QMessageBox::Ok);
        *exitCode = -1;
        return false;
    }

    const ProfileLock::Owner owner = lock.owner();
    const QString profile = profileName();
    if (owner.pid > 0)
        qDebug().noquote() << QStringLiteral("Profilo già in uso (processo %1 su %2)").arg(owner.pid).arg(owner.hostName);
    else
        qDebug().noquote() << QStringLiteral("Profilo già in uso da un processo che non si nomina");
    QString text;
    if (!owner.onThisMachine) {
        text = profile.isEmpty()
                   ? tr("Il programma è già aperto sul computer %1.").arg(owner.hostName)
                   : tr("Il programma è già aperto con il profilo \"%1\" sul computer %2.").arg(profile, owner.hostName);
        text += QStringLiteral("\r\n\r\n") + tr("Chiudilo su quel computer prima di aprirlo qui.");
    } else {
        text = profile.isEmpty() ? tr("Il programma è già aperto.")
                                 : tr("Il programma è già aperto con il profilo \"%1\".").arg(profile);
        text += QStringLiteral("\r\n\r\n") + tr("Usa la finestra già aperta (anche se ridotta a icona).");
    }
    QMessageBox::information(nullptr, tr("Programma già aperto"), text, QMessageBox::Ok);
    *exitCode = 0;
    return false;
}

bool shutdownUploadQueue(int waitMs)
{
    bool ended = Session::stopUploads(waitMs);
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    // Not while an order record waits for the laboratory's answer: the laboratory may hold the
    // order already, and the next start would insert it a second time. The call ends within
    // its time-out.
    while (!ended && queue && queue->isRecordingOrder()) {
        qDebug().noquote() << QStringLiteral("Attesa della registrazione dell'ordine presso il laboratorio");
        ended = Session::stopUploads(waitMs);
    }
    if (!ended)
        return false;
    if (!queue)
        return true;
    // The windows hear nothing more from it: its destructor reports a stop.
    QObject::disconnect(queue, nullptr, nullptr, nullptr);
    KorvexGlobals::ordineUpload = nullptr;
    delete queue;
    return true;
}

int runMainWindow(QApplication &app, bool *workerLeftRunning)
{
    if (workerLeftRunning)
        *workerLeftRunning = false;
    auto *window = new MainWindow;
    if (window->startFailed()) {
        delete window;
        shutdownUploadQueue();
        return -1;
    }
    window->show();
    const int code = app.exec();
    if (!shutdownUploadQueue(endOfProgramWaitMs)) {
        qWarning().noquote() << QStringLiteral("L'invio in corso non si è fermato in tempo: il programma termina "
                                               "senza attenderlo, l'ordine riprende al prossimo avvio");
        if (workerLeftRunning)
            *workerLeftRunning = true;
        return code;
    }
    Session::releaseUtente();
    delete window;
    return code;
}

int run(int &argc, char **argv, const std::function<void(QApplication &)> &applicationReady)
{
    // Made before the application object, so that it goes after it.
    std::unique_ptr<ProfileLock> lock;
    int code = 0;
    {
        QApplication app(argc, argv);
        // Once, before any thread of the program reads an image.
        MagickImage::initialise();
        configureApplication(app, QCoreApplication::arguments());
        loadQtTranslations(app);
        if (applicationReady)
            applicationReady(app);
        // Held until everything of the profile has ended: its settings, database and orders
        // are this copy's alone.
        lock = std::make_unique<ProfileLock>(KorvexGlobals::appDataPath);
        if (!lockProfile(*lock, &code))
            return code;
        bool workerLeftRunning = false;
        code = runMainWindow(app, &workerLeftRunning);
        if (workerLeftRunning) {
            // The worker is inside a call that only its time-out ends. Nothing of the program
            // may be torn down under it: the process ends here, as a kill would end it. An
            // order file is replaced whole or not at all, and the queue resumes a half-sent
            // order without sending anything twice.
            lock->release();
            std::fflush(nullptr);
            std::_Exit(code);
        }
    }
    KorvexGlobals::closeDatabase();
    return code;
}

} // namespace Startup
