// Thumbnails of the print list against a plain scaled read, and a crop drag step.
//
//   bench_printthumbs [count] [folder]
//
// Makes `count` (200) 24-megapixel JPEGs in `folder` (kept for the next run), then runs in
// child processes, one after the other:
//   plain  QtConcurrent::mapped of QImageReader::setScaledSize over the files (the baseline);
//   model  the print rows model behind an offscreen list view, loading the same files;
// and reports for each the time to the first and to the last thumbnail, the peak resident
// memory and the longest lateness of a 10 ms timer on the GUI thread, with the ratios
// against the baseline (three rounds, the best of each). Then, in a third child, a drag step of the photo editor's crop area
// on one of the photos against one fast scale of that photo to the preview box.

#include <algorithm>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFutureWatcher>
#include <QImageReader>
#include <QLabel>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QTextStream>
#include <QTimer>
#include <QTest>
#include <QtConcurrent>

#include "articolostampafotograficafotoeditor.h"
#include "articolostampafotograficafotoprintmodel.h"
#include "printeditfixture.h"

namespace {

QTextStream out(stdout);

qint64 peakRssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

QStringList photos(const QString &folder)
{
    QStringList files;
    for (const QString &name : QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
        files << QDir(folder).absoluteFilePath(name);
    return files;
}

void makePhotos(const QString &folder, int count)
{
    QDir().mkpath(folder);
    QList<int> missing;
    for (int i = 0; i < count; ++i)
        if (!QFile::exists(QDir(folder).filePath(QStringLiteral("foto%1.jpg").arg(i, 3, 10, QChar('0')))))
            missing << i;
    if (missing.isEmpty())
        return;
    out << "making " << missing.size() << " photos of 6000 x 4000 in " << folder << "\n";
    out.flush();
    QtConcurrent::blockingMap(missing, [folder](int i) {
        QImage image(6000, 4000, QImage::Format_RGB32);
        QPainter p(&image);
        QLinearGradient sky(0, 0, 0, 4000);
        sky.setColorAt(0, QColor::fromHsv((i * 37) % 360, 160, 230));
        sky.setColorAt(1, QColor::fromHsv((i * 37 + 120) % 360, 200, 90));
        p.fillRect(image.rect(), sky);
        p.setRenderHint(QPainter::Antialiasing);
        for (int k = 0; k < 40; ++k) {
            p.setBrush(QColor::fromHsv((i * 11 + k * 29) % 360, 180, 200, 160));
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPointF((k * 977 + i * 131) % 6000, (k * 613 + i * 71) % 4000), 150 + k * 9, 120 + k * 7);
        }
        p.end();
        image.save(QDir(folder).filePath(QStringLiteral("foto%1.jpg").arg(i, 3, 10, QChar('0'))), "JPEG", 90);
    });
}

// The GUI thread's stalls: the longest lateness of a 10 ms timer.
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_last > 0)
                m_worst = std::max(m_worst, (now - m_last) / 1000000.0 - 10.0);
            m_last = now;
        });
        m_clock.start();
        m_timer.start(10);
    }
    double worstMs() const { return m_worst; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    double m_worst = 0;
};

int runPlain(const QStringList &files)
{
    StallMeter stalls;
    QElapsedTimer clock;
    clock.start();
    double first = -1;
    const QSize box(114, 105);
    QFutureWatcher<QImage> watcher;
    QObject::connect(&watcher, &QFutureWatcher<QImage>::resultReadyAt, [&](int) {
        if (first < 0)
            first = clock.nsecsElapsed() / 1e6;
    });
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcher<QImage>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::mapped(files, std::function<QImage(const QString &)>([box](const QString &path) {
        QImageReader reader(path);
        reader.setScaledSize(reader.size().scaled(box, Qt::KeepAspectRatio));
        return reader.read();
    })));
    loop.exec();
    out << "RESULT " << first << " " << clock.nsecsElapsed() / 1e6 << " " << peakRssKiB() << " "
        << stalls.worstMs() << "\n";
    return 0;
}

int runModel(const QStringList &files)
{
    using Model = ArticoloStampaFotograficaFotoPrintModel;
    Model model;
    QListView view;
    view.setViewMode(QListView::IconMode);
    view.setIconSize(Model::thumbsSize);
    view.setModel(&model);
    view.resize(1200, 800);
    view.show();
    for (const QString &file : files)
        model.addStampa(PrintEditFixture::row(file, 1, 2));
    QCoreApplication::processEvents();

    StallMeter stalls;
    QElapsedTimer clock;
    clock.start();
    double first = -1;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&] {
        if (first < 0)
            first = clock.nsecsElapsed() / 1e6;
    });
    model.loadThumbs();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (Model::m_images.size() == files.size() && !model.isLoadingThumbs())
            loop.quit();
    });
    poll.start(1);
    loop.exec();
    const double all = clock.nsecsElapsed() / 1e6;
    out << "RESULT " << first << " " << all << " " << peakRssKiB() << " " << stalls.worstMs() << "\n";
    return 0;
}

int runDrag(const QString &file)
{
    ArticoloStampaFotograficaFotoEditor editor(PrintEditFixture::row(file, 1, 2, QRectF(1000, 800, 3600, 2400)));
    editor.resize(800, 832);
    editor.show();
    QTest::qWait(300);
    QLabel *foto = editor.findChild<QLabel *>(QStringLiteral("Foto"));
    const QSize box = foto->size() - QSize(30, 30);

    // One fast scale of the photo to the box, the best of five.
    const QImage photo = QImage(file).convertToFormat(QImage::Format_RGB32);
    double scaleMs = 1e9;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer clock;
        clock.start();
        const QImage scaled = photo.scaled(imageUtility::calculateThumbSize(photo.size(), box),
                                           Qt::IgnoreAspectRatio, Qt::FastTransformation);
        scaleMs = std::min(scaleMs, clock.nsecsElapsed() / 1e6);
        if (scaled.isNull())
            return 1;
    }

    QMouseEvent press(QEvent::MouseButtonPress, QPointF(200, 200), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(foto, &press);
    const int steps = 60;
    QElapsedTimer clock;
    clock.start();
    for (int i = 1; i <= steps; ++i) {
        const QPointF at(200 + (i % 20) * (i % 40 < 20 ? 1 : -1), 200 + (i % 10));
        QMouseEvent move(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(foto, &move);
    }
    const double stepMs = clock.nsecsElapsed() / 1e6 / steps;
    out << "RESULT " << stepMs << " " << scaleMs << "\n";
    return 0;
}

QList<double> child(const QString &mode, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--child"), mode} + arguments);
    process.waitForFinished(-1);
    QList<double> values;
    for (const QByteArray &line : process.readAllStandardOutput().split('\n'))
        if (line.startsWith("RESULT "))
            for (const QByteArray &value : line.mid(7).split(' '))
                values << value.toDouble();
    return values;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(application);
    QStringList arguments = app.arguments().mid(1);

    if (arguments.value(0) == QLatin1String("--child")) {
        const QString mode = arguments.value(1);
        const QString folder = arguments.value(2);
        PrintEditFixture fixture;
        if (!fixture.ok())
            return 1;
        if (mode == QLatin1String("plain"))
            return runPlain(photos(folder));
        if (mode == QLatin1String("model"))
            return runModel(photos(folder));
        return runDrag(photos(folder).value(0));
    }

    const int count = arguments.value(0, QStringLiteral("200")).toInt();
    const QString folder = arguments.value(1, QDir::tempPath() + QStringLiteral("/korvex-bench-printthumbs"));
    makePhotos(folder, count);
    const QStringList childArguments{folder};

    // Three rounds, alternating, each figure the best of its three: the machine is shared.
    QList<double> plain;
    QList<double> model;
    auto best = [](QList<double> &kept, const QList<double> &run) {
        if (kept.isEmpty())
            kept = run;
        else if (run.size() == kept.size())
            for (int i = 0; i < run.size(); ++i)
                kept[i] = std::min(kept[i], run[i]);
    };
    for (int round = 0; round < 3; ++round) {
        best(plain, child(QStringLiteral("plain"), childArguments));
        best(model, child(QStringLiteral("model"), childArguments));
    }
    const QList<double> drag = child(QStringLiteral("drag"), childArguments);
    if (plain.size() != 4 || model.size() != 4 || drag.size() != 2) {
        out << "a child run failed\n";
        return 1;
    }
    out.setRealNumberNotation(QTextStream::FixedNotation);
    out.setRealNumberPrecision(1);
    out << count << " photos of 24 MP, thumbnails of the print list against a plain scaled read\n";
    out << "                    plain      model     ratio / difference (target)\n";
    out << "first thumbnail  " << qSetFieldWidth(8) << plain[0] << model[0] << qSetFieldWidth(0) << " ms\n";
    out << "all thumbnails   " << qSetFieldWidth(8) << plain[1] << model[1] << qSetFieldWidth(0) << " ms   x"
        << qSetRealNumberPrecision(2) << model[1] / plain[1] << qSetRealNumberPrecision(1) << " (at most x1.15)\n";
    out << "peak RSS         " << qSetFieldWidth(8) << plain[2] / 1024 << model[2] / 1024 << qSetFieldWidth(0)
        << " MiB  +" << (model[2] - plain[2]) / 1024 << " MiB (at most +64 MiB)\n";
    out << "longest stall    " << qSetFieldWidth(8) << plain[3] << model[3] << qSetFieldWidth(0)
        << " ms   (at most 50 ms)\n";
    out << "crop drag step " << qSetRealNumberPrecision(2) << drag[0] << " ms, one fast scale to the box "
        << drag[1] << " ms: x" << drag[0] / drag[1] << " (at most x0.5)\n";
    return 0;
}
