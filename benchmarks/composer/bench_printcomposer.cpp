// The photo print composer on a folder of 2,000 24-megapixel JPEGs (100 generated, each
// hard-linked under 20 names), against plain loops over the same files in the same run:
//
//  - browser: time from showing the folder to a full first screen of thumbnails and to the
//    thumbnails of the whole folder, the process's peak memory, and the longest stall of a
//    10 ms timer meanwhile; baseline: QImageReader::setScaledSize over the first screen's
//    files and over all files, in parallel on the global thread pool.
//    Targets: first screen <= 1.5x, all <= 1.15x, no stall over 50 ms.
//  - "Aggiungi tutti" in crop mode; baseline: a loop that reads each file's size and loads
//    its print product. Target <= 1.5x.
//
// Usage: bench_printcomposer [files] [generated]   (default 2000 100)

#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QListView>
#include <QTimer>
#include <QToolButton>
#include <QtConcurrent>

#include <unistd.h>

#include "articolostampafotograficacomposer.h"
#include "articolostampafotograficafileselectionmodel.h"
#include "articolostampafotograficafotoprintmodel.h"
#include "enginefixture.h"
#include "imageutility.h"
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

    StallMeter stalls;
    stalls.start();
    QElapsedTimer timer;
    timer.start();
    // When each file's thumbnail arrived.
    QHash<QString, double> arrived;
    int folderReads = 0;
    QObject::connect(model, &QAbstractItemModel::dataChanged, composer, [&](const QModelIndex &from) {
        const QString path = model->filePath(from);
        if (!arrived.contains(path) && ArticoloStampaFotograficaFileSelectionModel::m_images.contains(path))
            arrived.insert(path, timer.nsecsElapsed() / 1e6);
    });
    QObject::connect(model, &QFileSystemModel::directoryLoaded, composer, [&] { ++folderReads; });
    int reorders = 0;
    QObject::connect(model, &QAbstractItemModel::layoutChanged, composer, [&] { ++reorders; });
    composer->setRootPath(folder);
    while (timer.elapsed() < 600000 && ArticoloStampaFotograficaFileSelectionModel::m_images.size() < count)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    QApplication::processEvents();
    // The first screen: the files in view once the folder is laid out.
    QStringList firstScreen;
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < model->rowCount(root); ++row) {
        const QModelIndex index = model->index(row, 0, root);
        if (view->visualRect(index).intersects(view->viewport()->rect()))
            firstScreen << model->filePath(index);
    }
    double firstMs = 0;
    for (const QString &path : qAsConst(firstScreen))
        firstMs = qMax(firstMs, arrived.value(path, 1e9));
    double allMs = 0;
    for (double at : qAsConst(arrived))
        allMs = qMax(allMs, at);
    if (arrived.size() < count)
        allMs = 1e9;
    const qint64 stall = stalls.stop();
    const long peakBrowser = peakKilobytes();

    const double baseFirst = parallelReaderLoop(firstScreen);
    const double baseAll = parallelReaderLoop(paths);

    std::printf("browser, %d files, first screen of %d\n", count, int(firstScreen.size()));
    std::printf("  first screen: %9.1f ms   baseline %9.1f ms   ratio %.2f (target <= 1.5)\n", firstMs, baseFirst,
                firstMs / baseFirst);
    std::printf("  all:          %9.1f ms   baseline %9.1f ms   ratio %.2f (target <= 1.15)\n", allMs, baseAll,
                allMs / baseAll);
    std::printf("  longest stall of a 10 ms timer: %lld ms (target <= 50)\n", static_cast<long long>(stall));
    std::printf("  folder reads: %d, reorders: %d\n", folderReads, reorders);
    std::printf("  peak memory: %ld MB (%ld MB before the browser)\n", peakBrowser / 1024, peakBefore / 1024);

    // "Aggiungi tutti" in crop mode (the default fit mode), default print of the seed catalogue.
    ArticoloStampaFotograficaFotoPrintModel::fileSizes.clear();
    auto *addAll = composer->findChild<QToolButton *>(QStringLiteral("toolButtonAddAll"));
    auto *prints = composer->findChild<QListView *>(QStringLiteral("listViewFotoPrint"));
    timer.restart();
    addAll->click();
    const double addMs = timer.nsecsElapsed() / 1e6;
    const int rows = prints->model()->rowCount();

    timer.restart();
    int idStampa = 3;
    if (rows > 0)
        idStampa = static_cast<ArticoloStampaFotograficaFotoPrintModel *>(prints->model())->stampe().constFirst().IdStampa;
    qint64 area = 0;
    for (const QString &path : qAsConst(paths)) {
        const QSize size = imageUtility::getImageSize(path);
        OrdiniLocal store;
        const OrdiniLocal::StampaLocal stampa = store.StampaLocalFromDb(idStampa);
        area += qint64(size.width()) * stampa.formato.colonna3;
    }
    const double loopMs = timer.nsecsElapsed() / 1e6;
    std::printf("\"Aggiungi tutti\" in crop mode, %d rows\n", rows);
    std::printf("  add all:      %9.1f ms   baseline %9.1f ms   ratio %.2f (target <= 1.5)%s\n", addMs, loopMs,
                addMs / loopMs, area > 0 ? "" : " (no sizes)");

    composer->setResult(QDialog::Accepted);
    delete composer;
    return rows == count ? 0 : 1;
}
