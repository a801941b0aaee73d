// "Aggiungi tutti" of the file-sending composer on a folder of 5,000 generated files, offscreen,
// and the removal of all of them once selected, beside a baseline in the same run: a plain
// list model filled from the same rows of the browser's QFileSystemModel and shown in an
// icon-mode list view (the composer takes the browser's record of each file too). A 10 ms
// timer runs throughout; its longest gap is the longest stall of the window. The time of
// "Aggiungi tutti" and of the removal includes the counters' update that follows them.
// Targets: "Aggiungi tutti" at most 3x the plain model, the removal at most the time of
// "Aggiungi tutti", no stall over 50 ms.
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
#include <QAbstractListModel>
#include <QIcon>
#include <QLoggingCategory>

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

// The baseline: the files of a list and nothing else.
class PlainList : public QAbstractListModel
{
public:
    int rowCount(const QModelIndex &parent = QModelIndex()) const override { return parent.isValid() ? 0 : files.size(); }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= files.size())
            return QVariant();
        if (role == Qt::DisplayRole)
            return files.at(index.row()).fileName();
        if (role == Qt::DecorationRole)
            return icon;
        return QVariant();
    }
    void append(const QList<QFileInfo> &more)
    {
        beginInsertRows(QModelIndex(), files.size(), files.size() + more.size() - 1);
        files.append(more);
        endInsertRows();
    }
    QList<QFileInfo> files;
    QIcon icon = QIcon(QStringLiteral(":/Resource/256x256/file.png"));
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

    std::vector<double> baseline, addAll, removal;
    qint64 worstStall = 0;
    for (int run = 0; run < repetitions; ++run) {
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
        auto *selected = composer.findChild<QListView *>(QStringLiteral("listViewSelectedFiles"));
        const QString expected = QStringLiteral("File da inviare (%1)").arg(files);

        // The baseline: the browser's rows into a plain list model in an icon-mode view of the
        // same size, laid out once.
        {
            PlainList plain;
            QListView plainView(&composer);
            plainView.setViewMode(QListView::IconMode);
            plainView.setGeometry(selected->geometry());
            plainView.setModel(&plain);
            plainView.show();
            QCoreApplication::processEvents();
            QElapsedTimer clock;
            clock.start();
            const QModelIndex root = view->rootIndex();
            QList<QFileInfo> rows;
            const int count = browser->rowCount(root);
            rows.reserve(count);
            for (int row = 0; row < count; ++row)
                rows.append(browser->fileInfo(browser->index(row, 0, root)));
            plain.append(rows);
            QCoreApplication::processEvents();
            baseline.push_back(clock.nsecsElapsed() / 1e6);
            if (plain.rowCount() != files)
                return 1;
        }

        longestGap = 0;
        tick.start();
        timer.start();
        QCoreApplication::processEvents();
        app.recording = qEnvironmentVariableIsSet("BENCH_DEBUG");
        QElapsedTimer clock;
        clock.start();
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

        // "Seleziona tutti", then the removal of the selection (what "Rimuovi selezionati",
        // the Delete key and a drag back onto the browser do once answered).
        selected->selectAll();
        QCoreApplication::processEvents();
        clock.restart();
        QMetaObject::invokeMethod(&composer, "removeSelected");
        if (!waitFor([&] { return label->text() == QStringLiteral("File da inviare (0)"); }, 60000)
            || model->rowCount() != 0) {
            std::fprintf(stderr, "not every file was removed\n");
            return 1;
        }
        removal.push_back(clock.nsecsElapsed() / 1e6);
        waitFor([] { return false; }, 30);
        timer.stop();
        worstStall = std::max(worstStall, longestGap);
    }

    const double b = median(baseline);
    const double a = median(addAll);
    const double r = median(removal);
    std::printf("files: %d, runs: %d\n", files, repetitions);
    std::printf("plain list model:  %8.2f ms\n", b);
    std::printf("Aggiungi tutti:    %8.2f ms   ratio %.2f (target <= 3)\n", a, a / b);
    std::printf("removal of all:    %8.2f ms   ratio to Aggiungi tutti %.2f (target <= 1)\n", r, r / a);
    std::printf("longest stall of a 10 ms timer: %lld ms (target <= 50)\n", static_cast<long long>(worstStall));
    return 0;
}
