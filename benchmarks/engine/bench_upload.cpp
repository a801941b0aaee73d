// Sends one order of generated 24-megapixel photos (10 x 15 prints, fitted) to the laboratory
// simulator on loopback through the upload queue, and in the same run measures the two parts
// that the send cannot beat: rendering the same photos alone, and uploading the rendered
// files with curl to the same FTP server. The rendering alone is measured twice: on the main
// thread, and on a secondary thread of its own, one photo after another, as the program's
// rendering thread works. Prints the times and the ratios send / (render alone + upload
// alone) for both; target: at most 1.05 against the rendering on the main thread.
//
// Usage: bench_upload [photos] [--plain-allocator]
//   photos: default 20; the target is stated for 40 and for 100.
//   --plain-allocator: without the program's allocator settings, to compare their effect
//   (peak memory, rendering times).

#include <cstdio>
#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include "allocatorsettings.h"
#include "enginefixture.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "ordineupload.h"
#include "printimagerenderer.h"
#include "testphotos.h"

namespace {

const QSize photoSize(6000, 4000);
constexpr int idStampa = 3; // 10 x 15, 1181 x 1772 pixels at 300 dpi
constexpr int distinctPhotos = 8;

double seconds(qint64 ms)
{
    return double(ms) / 1000.0;
}

} // namespace

int main(int argc, char *argv[])
{
    bool plainAllocator = false;
    int count = 20;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--plain-allocator") == 0)
            plainAllocator = true;
        else
            count = qMax(1, QString::fromLocal8Bit(argv[i]).toInt());
    }
    // As the program's main: the rendering thread keeps its memory between prints.
    const bool keepsBuffers = !plainAllocator && AllocatorSettings::keepImageBuffers();
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vendrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvex2"));
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    qRegisterMetaType<QList<QFileInfo>>("QList<QFileInfo>");


    EngineFixture fixture;
    if (!fixture.isValid() || !fixture.startLab()) {
        std::fprintf(stderr, "set-up failed: %s\n", qPrintable(fixture.errorString()));
        return 1;
    }
    KorvexGlobals::JpegCompressionQuality = 100;

    // The photos: a few distinct pictures, copied up to the count.
    std::printf("generating %d photos of %dx%d...\n", count, photoSize.width(), photoSize.height());
    std::fflush(stdout);
    QStringList photos;
    for (int i = 0; i < count; ++i) {
        const QString path = fixture.filesFolder() + QStringLiteral("/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        if (i < distinctPhotos) {
            if (!testphotos::writePhoto(path, photoSize, i + 1, 92))
                return 1;
        } else if (!QFile::copy(photos.at(i % distinctPhotos), path)) {
            return 1;
        }
        photos << path;
    }

    // Rendering alone: what the send renders, one photo after another, on the main thread and
    // on a secondary thread that does nothing else, as the program's rendering thread (its
    // main thread runs the windows). Memory that the C library gives a secondary thread can
    // make the same rendering slower there than on the main thread. The whole loop runs on
    // that thread: a task handed to a pool and waited for at once would mostly run on the
    // waiting thread itself. Each is measured before and after the send, so that a change of
    // the machine's load during the run weighs on both.
    QTemporaryDir rendered;
    QStringList renders;
    OrdiniLocal catalogue;
    const OrdiniLocal::FormatoLocal formato = catalogue.StampaLocalFromDb(idStampa).formato;
    const auto renderLoop = [&] {
        renders.clear();
        for (int i = 0; i < count; ++i) {
            PrintImageRenderer::Job job;
            job.imagePath = photos.at(i);
            job.transformationType = PrintImageRenderer::Fit;
            job.formatSize = QSize(formato.colonna3, formato.colonna4);
            job.dpi = formato.colonna5;
            job.iccProfilePath = KorvexGlobals::iccColorProfileLocation;
            job.jpegQuality = KorvexGlobals::JpegCompressionQuality;
            const QString file = PrintImageRenderer::renderToFile(job);
            const QString kept = rendered.filePath(QStringLiteral("render%1.jpg").arg(i));
            QFile::remove(kept);
            QFile::rename(file, kept);
            renders << kept;
        }
    };
    const auto renderAll = [&](bool onMainThread) {
        QElapsedTimer clock;
        clock.start();
        if (onMainThread) {
            renderLoop();
        } else {
            std::unique_ptr<QThread> thread(QThread::create(renderLoop));
            thread->start();
            thread->wait();
        }
        return clock.elapsed();
    };
    const qint64 mainBeforeMs = renderAll(true);
    const qint64 threadBeforeMs = renderAll(false);
    QElapsedTimer clock;

    // Uploading alone: the rendered files with curl, over one connection, to the same server.
    const QJsonObject ftp = fixture.lab().status().value(QStringLiteral("ftpSettings")).toObject();
    const QString base = QStringLiteral("ftp://%1:%2/%3/bench-")
                             .arg(ftp.value(QStringLiteral("host")).toString())
                             .arg(ftp.value(QStringLiteral("port")).toInt())
                             .arg(ftp.value(QStringLiteral("folder")).toString());
    QStringList arguments{QStringLiteral("--silent"), QStringLiteral("--show-error"), QStringLiteral("--user"),
                          ftp.value(QStringLiteral("username")).toString() + QLatin1Char(':')
                              + ftp.value(QStringLiteral("password")).toString()};
    for (int i = 0; i < count; ++i)
        arguments << QStringLiteral("-T") << renders.at(i) << base + QString::number(i);
    clock.start();
    const int curl = QProcess::execute(QStringLiteral("curl"), arguments);
    const qint64 uploadMs = clock.elapsed();
    if (curl != 0) {
        std::fprintf(stderr, "curl failed (%d)\n", curl);
        return 1;
    }

    // The send: the order through the upload queue, from start to the queue's end.
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    for (const QString &photo : qAsConst(photos))
        ordine.righeStampa << EngineFixture::printRow(photo, idStampa, PrintImageRenderer::Fit);
    if (!fixture.save(ordine))
        return 1;
    OrdineUpload queue;
    QSignalSpy finished(&queue, &OrdineUpload::finishedProcessingQueue);
    QSignalSpy error(&queue, &OrdineUpload::errorOccurred);
    clock.restart();
    queue.startUpload();
    if (!finished.wait(3600 * 1000) || !error.isEmpty()) {
        std::fprintf(stderr, "the send failed: %s\n",
                     error.isEmpty() ? "time-out" : qPrintable(error.first().first().toString()));
        return 1;
    }
    const qint64 sendMs = clock.elapsed();
    if (fixture.lab().counts().orders != 1 || fixture.lab().counts().rows != count) {
        std::fprintf(stderr, "the laboratory does not hold the order\n");
        return 1;
    }

    const qint64 threadMs = (threadBeforeMs + renderAll(false)) / 2;
    const qint64 mainMs = (mainBeforeMs + renderAll(true)) / 2;
    const double ratio = double(sendMs) / double(mainMs + uploadMs);
    const double threadRatio = double(sendMs) / double(threadMs + uploadMs);
    std::printf("photos: %d (%dx%d), print 10 x 15 at 300 dpi; allocator keeps image buffers: %s\n", count,
                photoSize.width(), photoSize.height(), keepsBuffers ? "yes" : "no");
    std::printf("render alone on the main thread: %.2f s (%.1f ms a photo)\n", seconds(mainMs),
                double(mainMs) / count);
    std::printf("render alone on a secondary thread: %.2f s (%.1f ms a photo)\n", seconds(threadMs),
                double(threadMs) / count);
    std::printf("upload alone (curl): %.2f s (%.1f ms a photo)\n", seconds(uploadMs), double(uploadMs) / count);
    std::printf("whole send: %.2f s (%.1f ms a photo)\n", seconds(sendMs), double(sendMs) / count);
    std::printf("ratio send / (render on the main thread + upload): %.3f (target at most 1.05)\n", ratio);
    std::printf("ratio send / (render on a secondary thread + upload): %.3f\n", threadRatio);
    return 0;
}
