#include "startup.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

#include "korvexglobals.h"
#include "mainwindow.h"
#include "ordineupload.h"
#include "session.h"

namespace Startup {

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

    QString name = QStringLiteral("Korvex2");
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
