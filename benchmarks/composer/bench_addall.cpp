// "Aggiungi tutti" of the file-sending composer on a folder of 5,000 generated files, offscreen,
// beside a plain loop that stats the same files and appends them to a list (the baseline),
// both in the same run. A 10 ms timer runs throughout; its longest gap is the longest stall
// of the window. The time of "Aggiungi tutti" includes the counters' update that follows it.
//
// Usage: bench_addall [files] [repetitions]   (default 5000 and 5; medians are reported)

#include <algorithm>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>
#include <QHash>

#include "articoloinviofilecomposer.h"
#include "articoloinviofileitemmodel.h"
#include "ordinilocal.h"

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Under BENCH_DEBUG: the events that took longest while "Aggiungi tutti" ran.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        if (!recording || depth > 0)
            return QApplication::notify(receiver, event);
        ++depth;
        QElapsedTimer t;
        t.start();
        const int type = event->type();
        const QString what = QString::fromLatin1(receiver->metaObject()->className()) + QLatin1Char('/') + receiver->objectName()
                             + QStringLiteral(" ev%1").arg(type);
        const bool result = QApplication::notify(receiver, event);
        spent[what] += t.nsecsElapsed();
        --depth;
        return result;
    }
    bool recording = false;
    int depth = 0;
    QHash<QString, qint64> spent;
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    Q_INIT_RESOURCE(application);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    const int files = argc > 1 ? std::max(1, atoi(argv[1])) : 5000;
    const int repetitions = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    const QString folder = home.filePath(QStringLiteral("cartella"));
    QDir().mkpath(folder);
    QStringList paths;
    for (int i = 0; i < files; ++i) {
        const QString path = folder + QStringLiteral("/file %1.dat").arg(i, 5, 10, QLatin1Char('0'));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        file.write(QByteArray(i % 97, 'x'));
        paths << path;
    }

    qint64 longestGap = 0;
    QElapsedTimer tick;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, tick.restart());
    });

    std::vector<double> baseline, addAll;
    qint64 worstStall = 0;
    for (int run = 0; run < repetitions; ++run) {
        // The baseline: stat each file and keep it in a list.
        QElapsedTimer clock;
        clock.start();
        QList<QFileInfo> plain;
        qint64 bytes = 0;
        for (const QString &path : qAsConst(paths)) {
            QFileInfo info(path);
            if (info.isFile())
                plain.append(info);
            bytes += info.size();
        }
        baseline.push_back(clock.nsecsElapsed() / 1e6);
        if (plain.size() != files || bytes < 0)
            return 1;

        OrdiniLocal::OrdineLocal ordine;
        OrdiniLocal().initOrdineLocal(ordine);
        ArticoloInvioFileComposer composer(ordine);
        composer.show();
        composer.setRootPath(folder);
        auto *view = composer.findChild<QListView *>(QStringLiteral("listViewFileSelection"));
        auto *browser = qobject_cast<QFileSystemModel *>(view->model());
        if (!waitFor([&] { return browser->rowCount(view->rootIndex()) == files; }, 60000)) {
            std::fprintf(stderr, "the browser did not list the folder\n");
            return 1;
        }
        // The browser settles (its background reads of the folder end) before the measure.
        waitFor([] { return false; }, 300);
        auto *model = composer.findChild<ArticoloInvioFileItemModel *>();
        auto *label = composer.findChild<QLabel *>(QStringLiteral("labelSelectedFiles"));
        const QString expected = QStringLiteral("File da inviare (%1)").arg(files);

        longestGap = 0;
        tick.start();
        timer.start();
        QCoreApplication::processEvents();
        app.recording = qEnvironmentVariableIsSet("BENCH_DEBUG");
        clock.restart();
        QMetaObject::invokeMethod(&composer, "on_toolButtonAddAll_clicked");
        if (qEnvironmentVariableIsSet("BENCH_DEBUG"))
            std::fprintf(stderr, "call %.2f ms\n", clock.nsecsElapsed() / 1e6);
        if (!waitFor([&] { return label->text() == expected; }, 60000) || model->rowCount() != files) {
            std::fprintf(stderr, "not every file was added\n");
            return 1;
        }
        addAll.push_back(clock.nsecsElapsed() / 1e6);
        app.recording = false;
        if (qEnvironmentVariableIsSet("BENCH_DEBUG")) {
            QList<QPair<qint64, QString>> top;
            for (auto it = app.spent.begin(); it != app.spent.end(); ++it)
                top.append({it.value(), it.key()});
            std::sort(top.begin(), top.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
            for (int i = 0; i < std::min(8, int(top.size())); ++i)
                std::fprintf(stderr, "  %7.2f ms %s\n", top[i].first / 1e6, qPrintable(top[i].second));
            app.spent.clear();
        }
        waitFor([] { return false; }, 30);
        timer.stop();
        worstStall = std::max(worstStall, longestGap);
    }

    const double b = median(baseline);
    const double a = median(addAll);
    std::printf("files: %d, runs: %d\n", files, repetitions);
    std::printf("plain stat loop:   %8.2f ms\n", b);
    std::printf("Aggiungi tutti:    %8.2f ms   ratio %.2f (target <= 3)\n", a, a / b);
    std::printf("longest stall of a 10 ms timer: %lld ms (target <= 50)\n", static_cast<long long>(worstStall));
    return 0;
}
