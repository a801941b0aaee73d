// The photo print composer on a folder of 2,000 24-megapixel JPEGs (100 generated, each
// hard-linked under 20 names), against baselines measured in the same run:
//
//  - browser: time from showing the folder to a full first screen of thumbnails, and the
//    longest stall of a 10 ms timer meanwhile (from showing the folder to one second after the
//    first screen); baseline: a plain QFileSystemModel with the same five name filters in an
//    icon-mode list view of the same size, whose first screen's thumbnails (the files in view
//    once the model has put the folder in order) are read with QImageReader::setScaledSize on
//    the global thread pool. Each browser opens the folder and another of the same names in
//    turns; the faster of its two openings counts. Targets: each at most 1.3x.
//    Also the thumbnails of the whole folder against QImageReader::setScaledSize over all files
//    in parallel (target at most 1.15x), the longest stall over the whole run and the peak
//    memory.
//  - "Aggiungi tutti" in crop mode; baseline: a loop that reads each file's size and loads
//    its print product. Target at most 1.5x. Then "Aggiungi tutti" of a folder of 10,000 names
//    of the same photos: at most 5.5x the time of 2,000 (linear). The browser's thumbnails of
//    that folder are those of the same photos already read, so that no thumbnail job runs
//    beside the add.
//
// Usage: bench_printcomposer [files] [generated]   (default 2000 100)

#include <cstdio>

#include <QApplication>
#include <QCollator>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QListView>
#include <QTimer>
#include <QFutureWatcher>
#include <QIcon>
#include <QSet>
#include <QThreadPool>
#include <QToolButton>
#include <QtConcurrent>

#include <unistd.h>

#include "articolostampafotograficacomposer.h"
#include "articolostampafotograficafileselectionmodel.h"
#include "articolostampafotograficafotoprintmodel.h"
#include "enginefixture.h"
#include "imageutility.h"
#include "korvexglobals.h"
#include "ordinilocal.h"

namespace {

const QSize photoSize(6000, 4000);
const QSize box(240, 240);

long peakKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

QImage readerScaled(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    reader.setScaledSize(imageUtility::calculateThumbSize(reader.size(), box));
    return reader.read();
}

double parallelReaderLoop(const QStringList &paths)
{
    QElapsedTimer timer;
    timer.start();
    const QList<QImage> images = QtConcurrent::blockingMapped(paths, readerScaled);
    int valid = 0;
    for (const QImage &image : images)
        valid += image.isNull() ? 0 : 1;
    if (valid != paths.size())
        std::fprintf(stderr, "baseline: %d of %d images read\n", valid, int(paths.size()));
    return timer.nsecsElapsed() / 1e6;
}

// Handles the next events, waiting for them when there are none: the browsers are measured while
// this loop runs, and a loop that spins keeps a core busy beside the threads being measured.
// The stall meter's timer wakes it at least every 10 ms.
void nextEvents()
{
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Measures the longest gap between two ticks of a 10 ms timer.
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.elapsed();
            m_longest = qMax(m_longest, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_longest = 0;
        m_timer.start();
    }
    qint64 longestSoFar() const { return qMax(m_longest, m_clock.elapsed() - m_last) - 10; }
    qint64 stop()
    {
        m_timer.stop();
        return qMax(m_longest, m_clock.elapsed() - m_last) - 10;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// The baseline browser: Qt's file-system model with the composer's filters, in an icon-mode
// list view, with the thumbnails of the files in view read on the pool once the folder is in.
class PlainBrowser : public QFileSystemModel
{
public:
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::DecorationRole && index.column() == 0) {
            const auto found = thumbs.constFind(filePath(index));
            if (found != thumbs.constEnd())
                return QIcon(QPixmap::fromImage(*found));
        }
        return QFileSystemModel::data(index, role);
    }
    QHash<QString, QImage> thumbs;
};

struct BrowserFigures
{
    double firstMs = 0;
    qint64 stall = 0;
    int firstScreen = 0;
};

BrowserFigures plainBrowser(const QString &folder, const QListView *like)
{
    PlainBrowser model;
    model.setFilter(QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    model.setReadOnly(true);
    model.setNameFilterDisables(false);
    model.setNameFilters(KorvexGlobals::imageFilters);
    QListView view;
    view.setViewMode(QListView::IconMode);
    view.setIconSize(like->iconSize());
    view.setGridSize(like->gridSize());
    view.setSpacing(like->spacing());
    view.setUniformItemSizes(like->uniformItemSizes());
    view.setResizeMode(like->resizeMode());
    view.resize(like->size());
    view.setModel(&model);
    view.show();
    QApplication::processEvents();

    BrowserFigures figures;
    QFutureWatcher<QPair<QString, QImage>> watcher;
    QSet<QString> wanted;
    double firstMs = -1;
    QElapsedTimer timer;
    QObject::connect(&watcher, &QFutureWatcherBase::resultReadyAt, &view, [&](int i) {
        const QPair<QString, QImage> result = watcher.resultAt(i);
        model.thumbs.insert(result.first, result.second);
        const QModelIndex index = model.index(result.first);
        emit model.dataChanged(index, index);
        wanted.remove(result.first);
        if (wanted.isEmpty() && firstMs < 0)
            firstMs = timer.nsecsElapsed() / 1e6;
    });
    // The files in view once the folder is read and in order. The model sorts a folder from a
    // zero timer after taking its listing in, so at directoryLoaded its rows may still be in
    // the order the disk gave them: then the first screen is taken on the new order.
    QCollator natural;
    natural.setNumericMode(true);
    natural.setCaseSensitivity(Qt::CaseInsensitive);
    const auto inOrder = [&] {
        const QModelIndex root = view.rootIndex();
        for (int row = 1; row < model.rowCount(root); ++row) {
            if (natural.compare(model.index(row - 1, 0, root).data().toString(),
                                model.index(row, 0, root).data().toString()) > 0)
                return false;
        }
        return true;
    };
    bool loaded = false;
    bool asked = false;
    const auto askFirstScreen = [&] {
        if (!loaded || asked || !inOrder())
            return;
        asked = true;
        const QModelIndex root = view.rootIndex();
        QStringList inView;
        for (int row = 0; row < model.rowCount(root); ++row) {
            const QModelIndex index = model.index(row, 0, root);
            if (view.visualRect(index).intersects(view.viewport()->rect()))
                inView << model.filePath(index);
        }
        wanted = QSet<QString>(inView.begin(), inView.end());
        figures.firstScreen = inView.size();
        if (wanted.isEmpty())
            firstMs = timer.nsecsElapsed() / 1e6;
        const std::function<QPair<QString, QImage>(const QString &)> job = [](const QString &path) {
            return qMakePair(path, readerScaled(path));
        };
        watcher.setFuture(QtConcurrent::mapped(inView, job));
    };
    QObject::connect(&model, &QFileSystemModel::directoryLoaded, &view, [&](const QString &path) {
        if (QDir(path) != QDir(folder))
            return;
        loaded = true;
        askFirstScreen();
    });
    QObject::connect(&model, &QAbstractItemModel::layoutChanged, &view, askFirstScreen);
    StallMeter stalls;
    stalls.start();
    timer.start();
    view.setRootIndex(model.setRootPath(folder));
    while (timer.elapsed() < 60000 && firstMs < 0)
        nextEvents();
    const double until = timer.elapsed() + 1000.0;
    while (timer.elapsed() < until)
        nextEvents();
    watcher.waitForFinished();
    figures.stall = stalls.stop();
    figures.firstMs = firstMs < 0 ? 1e9 : firstMs;
    return figures;
}

struct OpeningFigures
{
    double firstMs = 0;
    qint64 openingStall = 0;
    double allMs = 0;
    qint64 stall = 0;
    QStringList firstScreen;
    int folderReads = 0;
    int reorders = 0;
};

// Shows a folder of count photos in the composer's browser and waits until the thumbnails of
// all of them are in: when the first screen's thumbnails arrived, the longest stall up to a
// second later, when the last thumbnail arrived and the longest stall over the whole time.
OpeningFigures composerOpening(ArticoloStampaFotograficaComposer *composer, const QString &folder, int count)
{
    auto *view = composer->findChild<QListView *>(QStringLiteral("listViewFileSelection"));
    auto *model = static_cast<ArticoloStampaFotograficaFileSelectionModel *>(view->model());
    OpeningFigures figures;
    QObject context;
    StallMeter stalls;
    stalls.start();
    QElapsedTimer timer;
    timer.start();
    QHash<QString, double> arrived;
    QObject::connect(model, &QAbstractItemModel::dataChanged, &context, [&](const QModelIndex &from) {
        const QString path = model->filePath(from);
        if (!arrived.contains(path) && ArticoloStampaFotograficaFileSelectionModel::m_images.contains(path))
            arrived.insert(path, timer.nsecsElapsed() / 1e6);
    });
    QObject::connect(model, &QFileSystemModel::directoryLoaded, &context, [&] { ++figures.folderReads; });
    QObject::connect(model, &QAbstractItemModel::layoutChanged, &context, [&] { ++figures.reorders; });
    // The files in view once the folder is laid out, and whether their thumbnails are in.
    QStringList &firstScreen = figures.firstScreen;
    const auto takeFirstScreen = [&] {
        firstScreen.clear();
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < model->rowCount(root); ++row) {
            const QModelIndex index = model->index(row, 0, root);
            if (view->visualRect(index).intersects(view->viewport()->rect()))
                firstScreen << model->filePath(index);
        }
    };
    // Looked at again only when a thumbnail or a new order has come, so that the loop below
    // stays light beside the work it measures.
    QPair<int, int> looked(-1, -1);
    const auto firstScreenIn = [&] {
        if (model->rowCount(view->rootIndex()) < count || looked == qMakePair(arrived.size(), figures.reorders))
            return false;
        looked = qMakePair(arrived.size(), figures.reorders);
        takeFirstScreen();
        for (const QString &path : qAsConst(firstScreen)) {
            if (!arrived.contains(path))
                return false;
        }
        return !firstScreen.isEmpty();
    };
    composer->setRootPath(folder);
    qint64 openingStall = -1;
    double openingUntil = -1;
    while (timer.elapsed() < 600000 && ArticoloStampaFotograficaFileSelectionModel::m_images.size() < count) {
        nextEvents();
        if (openingUntil < 0 && firstScreenIn())
            openingUntil = timer.elapsed() + 1000.0;
        if (openingStall < 0 && openingUntil >= 0 && timer.elapsed() >= openingUntil)
            openingStall = stalls.longestSoFar();
    }
    while (model->isLoadingThumbs())
        nextEvents();
    QApplication::processEvents();
    takeFirstScreen();
    for (const QString &path : qAsConst(firstScreen))
        figures.firstMs = qMax(figures.firstMs, arrived.value(path, 1e9));
    for (double at : qAsConst(arrived))
        figures.allMs = qMax(figures.allMs, at);
    if (arrived.size() < count)
        figures.allMs = 1e9;
    figures.stall = stalls.stop();
    figures.openingStall = openingStall < 0 ? figures.stall : openingStall;
    return figures;
}

// Clicks "Aggiungi tutti" on the folder the browser shows; the time of the click.
double addAllOnce(ArticoloStampaFotograficaComposer *composer, int expected)
{
    auto *addAll = composer->findChild<QToolButton *>(QStringLiteral("toolButtonAddAll"));
    auto *prints = composer->findChild<QListView *>(QStringLiteral("listViewFotoPrint"));
    auto *model = static_cast<ArticoloStampaFotograficaFotoPrintModel *>(prints->model());
    ArticoloStampaFotograficaFotoPrintModel::fileSizes.clear();
    QElapsedTimer timer;
    timer.start();
    addAll->click();
    const double ms = timer.nsecsElapsed() / 1e6;
    if (model->rowCount() != expected)
        std::fprintf(stderr, "\"Aggiungi tutti\" added %d rows of %d\n", model->rowCount(), expected);
    return ms;
}

// Empties the print list and lets its thumbnail jobs end, so that the next measure runs alone.
void emptyPrintList(ArticoloStampaFotograficaComposer *composer)
{
    auto *prints = composer->findChild<QListView *>(QStringLiteral("listViewFotoPrint"));
    auto *model = static_cast<ArticoloStampaFotograficaFotoPrintModel *>(prints->model());
    model->removeAllRows();
    model->loadThumbs();
    while (model->isLoadingThumbs())
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    QThreadPool::globalInstance()->waitForDone();
    QApplication::processEvents();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(application);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 2000;
    const int generated = qMin(count, argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 100);

    EngineFixture fixture;
    if (!fixture.isValid()) {
        std::fprintf(stderr, "%s\n", qPrintable(fixture.errorString()));
        return 1;
    }
    const QString folder = fixture.filesFolder() + QStringLiteral("/photos");
    QDir().mkpath(folder);
    std::printf("generating %d photos of %dx%d under %d names...\n", generated, photoSize.width(),
                photoSize.height(), count);
    std::fflush(stdout);
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path = QStringLiteral("%1/IMG_%2.jpg").arg(folder).arg(i, 4, 10, QLatin1Char('0'));
        if (i < generated) {
            if (fixture.photo(QStringLiteral("photos/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0')), photoSize, i + 1).isEmpty())
                return 1;
        } else if (::link(QFile::encodeName(paths.at(i % generated)).constData(), QFile::encodeName(path).constData()) != 0) {
            std::perror("link");
            return 1;
        }
        paths << path;
    }
    const long peakBefore = peakKilobytes();

    // Browser.
    OrdiniLocal::OrdineLocal ordine;
    auto *composer = new ArticoloStampaFotograficaComposer(ordine, nullptr);
    composer->resize(1280, 800);
    composer->show();
    QApplication::processEvents();
    auto *view = composer->findChild<QListView *>(QStringLiteral("listViewFileSelection"));
    auto *model = static_cast<ArticoloStampaFotograficaFileSelectionModel *>(view->model());

    // A first plain browser warms the caches of the folder for both measures that follow.
    plainBrowser(folder, view);

    // Each browser opens a folder of the same photos twice, in turns, and the faster of its
    // two openings counts for the first screen and the stall: the machine is shared. The
    // composer's first opening reads the whole folder for the figures below.
    const OpeningFigures first = composerOpening(composer, folder, count);
    const long peakBrowser = peakKilobytes();
    // The thumbnails of the folder, for the browser of the 10,000 names below.
    const QMap<QString, QImage> thumbs = ArticoloStampaFotograficaFileSelectionModel::m_images;
    const BrowserFigures plainFirst = plainBrowser(folder, view);
    const QString again = fixture.filesFolder() + QStringLiteral("/photos-again");
    QDir().mkpath(again);
    for (int i = 0; i < count; ++i) {
        const QString path = QStringLiteral("%1/IMG_%2.jpg").arg(again).arg(i, 4, 10, QLatin1Char('0'));
        if (::link(QFile::encodeName(paths.at(i)).constData(), QFile::encodeName(path).constData()) != 0) {
            std::perror("link");
            return 1;
        }
    }
    const OpeningFigures second = composerOpening(composer, again, count);
    const BrowserFigures plainSecond = plainBrowser(again, view);
    const double firstMs = qMin(first.firstMs, second.firstMs);
    const qint64 openingStall = qMin(first.openingStall, second.openingStall);
    BrowserFigures plain = plainFirst;
    plain.firstMs = qMin(plainFirst.firstMs, plainSecond.firstMs);
    plain.stall = qMin(plainFirst.stall, plainSecond.stall);
    const double allMs = first.allMs;
    const qint64 stall = first.stall;
    const int folderReads = first.folderReads;
    const int reorders = first.reorders;
    const QStringList firstScreen = first.firstScreen;
    QElapsedTimer timer;
    const double baseAll = parallelReaderLoop(paths);

    std::printf("browser, %d files, first screen of %d\n", count, int(firstScreen.size()));
    std::printf("  first screen: %9.1f ms   plain model %7.1f ms (%d files)   ratio %.2f (target <= 1.3)\n", firstMs,
                plain.firstMs, plain.firstScreen, firstMs / plain.firstMs);
    std::printf("  longest stall while opening: %lld ms   plain model %lld ms   ratio %.2f (target <= 1.3)\n",
                static_cast<long long>(openingStall), static_cast<long long>(plain.stall),
                double(openingStall) / double(qMax<qint64>(1, plain.stall)));
    std::printf("  all:          %9.1f ms   baseline %9.1f ms   ratio %.2f (target <= 1.15)\n", allMs, baseAll,
                allMs / baseAll);
    std::printf("  longest stall of a 10 ms timer over the whole run: %lld ms\n", static_cast<long long>(stall));
    std::printf("  folder reads: %d, reorders: %d\n", folderReads, reorders);
    std::printf("  peak memory: %ld MB (%ld MB before the browser)\n", peakBrowser / 1024, peakBefore / 1024);

    // "Aggiungi tutti" in crop mode (the default fit mode), default print of the seed catalogue;
    // the baseline first, while nothing else runs.
    auto *prints = composer->findChild<QListView *>(QStringLiteral("listViewFotoPrint"));
    // The default print of the seed catalogue (10 x 15 on Lucida).
    const int idStampa = 3;
    timer.restart();
    qint64 area = 0;
    for (const QString &path : qAsConst(paths)) {
        const QSize size = imageUtility::getImageSize(path);
        OrdiniLocal store;
        const OrdiniLocal::StampaLocal stampa = store.StampaLocalFromDb(idStampa);
        area += qint64(size.width()) * stampa.formato.colonna3;
    }
    const double loopMs = timer.nsecsElapsed() / 1e6;
    // The faster of two adds, for this and for the 10,000 below: the machine is shared.
    double addMs = addAllOnce(composer, count);
    emptyPrintList(composer);
    addMs = qMin(addMs, addAllOnce(composer, count));
    const int rows = prints->model()->rowCount();
    if (rows > 0 && static_cast<ArticoloStampaFotograficaFotoPrintModel *>(prints->model())->stampe().constFirst().IdStampa != idStampa)
        std::fprintf(stderr, "the baseline read another product than the composer\n");
    std::printf("\"Aggiungi tutti\" in crop mode, %d rows\n", rows);
    std::printf("  add all:      %9.1f ms   baseline %9.1f ms   ratio %.2f (target <= 1.5)%s\n", addMs, loopMs,
                addMs / loopMs, area > 0 ? "" : " (no sizes)");
    emptyPrintList(composer);

    // 10,000 names of the same photos.
    const int many = 5 * count;
    const QString manyFolder = fixture.filesFolder() + QStringLiteral("/photos-many");
    QDir().mkpath(manyFolder);
    QMap<QString, QImage> manyThumbs;
    for (int i = 0; i < many; ++i) {
        const QString path = QStringLiteral("%1/IMG_%2.jpg").arg(manyFolder).arg(i, 5, 10, QLatin1Char('0'));
        const QString original = paths.at(i % generated);
        if (::link(QFile::encodeName(original).constData(), QFile::encodeName(path).constData()) != 0) {
            std::perror("link");
            return 1;
        }
        manyThumbs.insert(path, thumbs.value(original));
    }
    composer->setRootPath(manyFolder);
    // Before the folder is read: its thumbnails are known, no job reads them again.
    ArticoloStampaFotograficaFileSelectionModel::m_images = manyThumbs;
    timer.restart();
    while (timer.elapsed() < 120000 && model->rowCount(view->rootIndex()) < many)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    while (model->isLoadingThumbs())
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    timer.restart();
    while (timer.elapsed() < 500)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    double manyMs = addAllOnce(composer, many);
    emptyPrintList(composer);
    manyMs = qMin(manyMs, addAllOnce(composer, many));
    std::printf("  add all of %d: %7.1f ms   ratio to %d %.2f (target <= 5.5)\n", many, manyMs, count, manyMs / addMs);

    const bool complete = rows == count && prints->model()->rowCount() == many;
    composer->setResult(QDialog::Accepted);
    delete composer;
    return complete ? 0 : 1;
}
