// The upload worker's rendering thread keeps its memory from one print to the next, with the
// allocator settings the program makes at its start: counted in the pages that the thread
// faults in, not in time.

#include <sys/resource.h>

#include <memory>

#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "allocatorsettings.h"
#include "korvex2exception.h"
#include "printimagerenderer.h"
#include "testimages.h"

namespace {

long faultsOfThisThread()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

}  // namespace

class tst_RenderingMemory : public QObject
{
    Q_OBJECT

private slots:
    void renderingThreadKeepsItsMemory();
};

// The main thread renders first, as the program's window thread may well have done, then a
// thread of its own renders one print after another, as the upload worker's rendering thread
// does. From its second print on it finds its buffers again; with the allocator's own
// adjustment, and after the main thread's renderings, each of its prints faulted some 55 MB in
// anew (a fifth slower than on the main thread).
void tst_RenderingMemory::renderingThreadKeepsItsMemory()
{
    if (!AllocatorSettings::keepImageBuffers())
        QSKIP("This allocator does not take the settings (not the GNU C library, or a sanitizer's).");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QStringList photos;
    for (int i = 0; i < 2; ++i) {
        photos << dir.filePath(QStringLiteral("photo%1.jpg").arg(i));
        QVERIFY(TestImages::writeJpeg(photos.last(), TestImages::photoLike(QSize(6000, 4000), i + 1), 90));
    }
    PrintImageRenderer::Job job;
    job.transformationType = PrintImageRenderer::Fit;
    job.formatSize = QSize(1772, 1181);
    job.dpi = 300;
    job.iccProfilePath = TestImages::srgbProfilePath();
    job.jpegQuality = 100;

    QList<long> faults;
    QString failure;
    const auto render = [&](int count) {
        for (int i = 0; i < count && failure.isEmpty(); ++i) {
            job.imagePath = photos.at(i % photos.size());
            const long before = faultsOfThisThread();
            try {
                QFile::remove(PrintImageRenderer::renderToFile(job));
            } catch (const Korvex2Exception &e) {
                failure = QString::fromStdString(e.message);
            }
            faults << faultsOfThisThread() - before;
        }
    };
    render(2);
    faults.clear();
    std::unique_ptr<QThread> thread(QThread::create(render, 4));
    thread->start();
    QVERIFY(thread->wait(600000));
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(faults.size(), 4);
    const QString counts = QStringLiteral("pages faulted in by each rendering: %1, %2, %3, %4")
                               .arg(faults.at(0)).arg(faults.at(1)).arg(faults.at(2)).arg(faults.at(3));
    // The first print of the thread makes its buffers (some 14,000 pages).
    QVERIFY2(faults.at(0) > 5000, qPrintable(counts));
    for (int i = 2; i < faults.size(); ++i)
        QVERIFY2(faults.at(i) < faults.at(0) / 10, qPrintable(counts));
}

QTEST_APPLESS_MAIN(tst_RenderingMemory)
#include "tst_renderingmemory.moc"
