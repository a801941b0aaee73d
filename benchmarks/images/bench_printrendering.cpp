// Renders generated 24-megapixel photographs to a 1800 x 1200 print at 300 dpi, fitted and
// cropped, and in the same run does the same with ImageMagick's command line (`convert`:
// orientation, crop, resize, profile, density, quality) on the same files. Prints the time
// per image of both, their ratio (target: at most 0.5), and the PSNR between each of our
// renderings and the rendering of a full-size decode of the same photo (target: at least
// 40 dB).
//
// Usage: bench_printrendering [photos]   (default 20)
//
// Every fifth photo carries an Adobe RGB profile and every fifth another one an EXIF
// orientation 6 (stored landscape, shown portrait); the crops cover from 60% to all of the
// photo's width at varying places and fractional positions.

#include <algorithm>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include "imageutility.h"
#include "korvex2exception.h"
#include "printimagerenderer.h"
#include "testimages.h"

namespace {

const QSize photoSize(6000, 4000);
const QSize printSize(1800, 1200);
constexpr int dpi = 300;
constexpr int quality = 100;

struct Photo
{
    QString path;
    QSize upright;
    QRectF crop;
};

// An ICC profile inserted as the APP2 segment of a JPEG, as cameras write it.
QByteArray withIccProfile(const QByteArray& jpeg, const QByteArray& profile)
{
    QByteArray payload = QByteArray("ICC_PROFILE\0", 12);
    payload.append(char(1));
    payload.append(char(1));
    payload.append(profile);
    QByteArray segment("\xff\xe2", 2);
    char length[2];
    qToBigEndian(quint16(payload.size() + 2), length);
    segment.append(length, 2);
    segment.append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

Photo makePhoto(const QString& folder, int i)
{
    Photo photo;
    photo.path = QStringLiteral("%1/photo%2.jpg").arg(folder).arg(i, 2, 10, QLatin1Char('0'));
    const bool turned = i % 5 == 4;
    const QImage image = TestImages::photoLike(photoSize, i + 1);
    QByteArray jpeg = TestImages::jpegBytes(image, 92);
    if (i % 5 == 2) {
        QFile profile(TestImages::adobeRgbProfilePath());
        if (profile.open(QIODevice::ReadOnly))
            jpeg = withIccProfile(jpeg, profile.readAll());
    }
    if (turned)
        jpeg = TestImages::withExifOrientation(jpeg, 6);
    TestImages::writeFile(photo.path, jpeg);
    photo.upright = turned ? photoSize.transposed() : photoSize;

    // A crop with the print's aspect, turned like the photo.
    const double share = 0.6 + 0.4 * ((i * 7) % 11) / 10.0;
    QSizeF crop(photoSize.width() * share, photoSize.width() * share * 2 / 3);
    if (turned)
        crop.transpose();
    const double x = (photo.upright.width() - crop.width()) * ((i * 3) % 7) / 6.0;
    const double y = (photo.upright.height() - crop.height()) * ((i * 5) % 7) / 6.0;
    photo.crop = QRectF(QPointF(x + 0.3, y + 0.6), crop).intersected(QRectF(QPointF(0, 0), photo.upright));
    return photo;
}

PrintImageRenderer::Job makeJob(const Photo& photo, int type, const QString& profile)
{
    PrintImageRenderer::Job job;
    job.imagePath = photo.path;
    job.transformationType = type;
    job.cropRect = photo.crop;
    job.formatSize = printSize;
    job.dpi = dpi;
    job.iccProfilePath = profile;
    job.jpegQuality = quality;
    return job;
}

// The same rendering on the command line: the geometry our rendering chose, given to convert.
QStringList convertArguments(const Photo& photo, int type, const QString& profile,
                             const QString& output)
{
    QSize format = printSize;
    QStringList args{photo.path, QStringLiteral("-auto-orient")};
    if (type == PrintImageRenderer::Crop) {
        const QRect crop(qRound(photo.crop.left()), qRound(photo.crop.top()),
                         qRound(photo.crop.width()), qRound(photo.crop.height()));
        if (crop.height() > crop.width())
            format.transpose();
        const QSize target = imageUtility::calculateThumbSize(crop.size(), format);
        args << QStringLiteral("-crop")
             << QStringLiteral("%1x%2+%3+%4").arg(crop.width()).arg(crop.height()).arg(crop.left()).arg(crop.top())
             << QStringLiteral("+repage") << QStringLiteral("-resize")
             << QStringLiteral("%1x%2!").arg(target.width()).arg(target.height());
    } else {
        if (photo.upright.height() > photo.upright.width())
            format.transpose();
        const QSize target = imageUtility::calculateThumbSize(photo.upright, format);
        args << QStringLiteral("-resize") << QStringLiteral("%1x%2!").arg(target.width()).arg(target.height())
             << QStringLiteral("-background") << QStringLiteral("white") << QStringLiteral("-gravity")
             << QStringLiteral("center") << QStringLiteral("-extent")
             << QStringLiteral("%1x%2").arg(format.width()).arg(format.height());
    }
    args << QStringLiteral("-profile") << profile << QStringLiteral("-units")
         << QStringLiteral("PixelsPerInch") << QStringLiteral("-density") << QString::number(dpi)
         << QStringLiteral("-quality") << QString::number(quality) << output;
    return args;
}

struct Totals
{
    qint64 ours = 0;
    qint64 commandLine = 0;
    std::vector<double> psnr;
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const int count = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 20;

    const QString profile = TestImages::srgbProfilePath();
    if (!QFile::exists(profile)) {
        std::fprintf(stderr, "Missing sRGB profile %s (icc-profiles-free)\n", qPrintable(profile));
        return 1;
    }
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;

    std::printf("Generating %d photos of %dx%d...\n", count, photoSize.width(), photoSize.height());
    std::fflush(stdout);
    std::vector<Photo> photos;
    for (int i = 0; i < count; ++i)
        photos.push_back(makePhoto(folder.path(), i));

    Totals totals[2];  // fit, crop
    QElapsedTimer timer;
    try {
        for (const Photo& photo : photos) {
            for (int t = 0; t < 2; ++t) {
                const int type = t == 0 ? PrintImageRenderer::Fit : PrintImageRenderer::Crop;
                const PrintImageRenderer::Job job = makeJob(photo, type, profile);

                timer.start();
                const QString rendered = PrintImageRenderer::renderToFile(job);
                totals[t].ours += timer.nsecsElapsed();
                QFile::remove(rendered);

                const QString output = folder.filePath(QStringLiteral("convert.jpg"));
                timer.start();
                const int exitCode = QProcess::execute(QStringLiteral("convert"),
                                                       convertArguments(photo, type, profile, output));
                totals[t].commandLine += timer.nsecsElapsed();
                if (exitCode != 0) {
                    std::fprintf(stderr, "convert failed (%d) on %s\n", exitCode, qPrintable(photo.path));
                    return 1;
                }
                QFile::remove(output);

                PrintImageRenderer::Job full = job;
                full.shrinkOnLoad = false;
                totals[t].psnr.push_back(TestImages::psnr(PrintImageRenderer::renderImage(job),
                                                          PrintImageRenderer::renderImage(full)));
            }
        }
    } catch (const Korvex2Exception& e) {
        std::fprintf(stderr, "Rendering failed: %s\n", e.message.c_str());
        return 1;
    }

    auto ms = [count](qint64 ns) { return double(ns) / 1e6 / count; };
    std::printf("\nPrint %dx%d at %d dpi, quality %d, %d photos of %dx%d\n", printSize.width(),
                printSize.height(), dpi, quality, count, photoSize.width(), photoSize.height());
    std::printf("%-6s %14s %14s %8s %14s %14s\n", "", "ours ms/photo", "convert ms", "ratio",
                "PSNR min dB", "PSNR mean dB");
    qint64 ours = 0;
    qint64 commandLine = 0;
    double worst = 1e9;
    for (int t = 0; t < 2; ++t) {
        const std::vector<double>& p = totals[t].psnr;
        const double minimum = *std::min_element(p.begin(), p.end());
        double mean = 0;
        for (double v : p)
            mean += v / double(p.size());
        std::printf("%-6s %14.1f %14.1f %8.2f %14.2f %14.2f\n", t == 0 ? "fit" : "crop",
                    ms(totals[t].ours), ms(totals[t].commandLine),
                    double(totals[t].ours) / double(totals[t].commandLine), minimum, mean);
        ours += totals[t].ours;
        commandLine += totals[t].commandLine;
        worst = std::min(worst, minimum);
    }
    const double ratio = double(ours) / double(commandLine);
    std::printf("%-6s %14.1f %14.1f %8.2f %14.2f\n", "both", ms(ours) / 2, ms(commandLine) / 2,
                ratio, worst);
    std::printf("\nRatio ours / convert: %.2f (target at most 0.50): %s\n", ratio,
                ratio <= 0.5 ? "met" : "NOT met");
    std::printf("Lowest PSNR against a full-size decode: %.2f dB (target at least 40): %s\n", worst,
                worst >= 40 ? "met" : "NOT met");
    return 0;
}
