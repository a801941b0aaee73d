#include "startup.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QStringList>
#include <QTranslator>

#include "korvexglobals.h"
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
    qDebug().noquote() << QStringLiteral("Profilo già in uso (processo %1 su %2)").arg(owner.pid).arg(owner.hostName);
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

void shutdownUploadQueue()
{
    Session::stopUploads();
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    if (!queue)
        return;
    // The windows hear nothing more from it: its destructor reports a stop.
    QObject::disconnect(queue, nullptr, nullptr, nullptr);
    KorvexGlobals::ordineUpload = nullptr;
    delete queue;
}

int runMainWindow(QApplication &app)
{
    auto *window = new MainWindow;
    if (window->startFailed()) {
        delete window;
        shutdownUploadQueue();
        return -1;
    }
    window->show();
    const int code = app.exec();
    shutdownUploadQueue();
    Session::releaseUtente();
    delete window;
    return code;
}

} // namespace Startup
