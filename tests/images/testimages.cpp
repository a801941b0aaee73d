#include "testimages.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <Magick++.h>

#include <QBuffer>
#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QtEndian>

#include "magickimage.h"

namespace TestImages {

QColor quadrantColour(int index)
{
    static const QColor colours[] = {QColor(220, 30, 30), QColor(30, 200, 40),
                                     QColor(240, 220, 20), QColor(30, 40, 210)};
    return colours[index];
}

QImage quadrants(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    const int halfW = size.width() / 2;
    const int halfH = size.height() / 2;
    QPainter painter(&image);
    painter.fillRect(0, 0, halfW, halfH, quadrantColour(0));
    painter.fillRect(halfW, 0, size.width() - halfW, halfH, quadrantColour(1));
    painter.fillRect(halfW, halfH, size.width() - halfW, size.height() - halfH,
                     quadrantColour(2));
    painter.fillRect(0, halfH, halfW, size.height() - halfH, quadrantColour(3));
    return image;
}

QImage photoLike(const QSize& size, int seed)
{
    QImage image(size, QImage::Format_RGB32);
    const int w = size.width();
    const int h = size.height();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(70 + seed * 13 % 60, 120, 200));
    sky.setColorAt(0.55, QColor(200, 210, 230));
    sky.setColorAt(0.56, QColor(90, 120, 60));
    sky.setColorAt(1, QColor(40, 70 + seed * 7 % 50, 30));
    painter.fillRect(image.rect(), sky);
    for (int i = 0; i < 6; ++i) {
        const QPointF centre(w * ((i * 37 + seed * 11) % 100) / 100.0,
                             h * ((i * 53 + seed * 17) % 100) / 100.0);
        QRadialGradient blob(centre, std::min(w, h) / (3.0 + i));
        blob.setColorAt(0, QColor::fromHsv((i * 60 + seed * 25) % 360, 180, 230, 200));
        blob.setColorAt(1, QColor(0, 0, 0, 0));
        painter.fillRect(image.rect(), blob);
    }
    // Fine detail: thin lines and small tiles, like foliage, fabric or text in a photograph.
    painter.setRenderHint(QPainter::Antialiasing, false);
    const int step = std::max(3, w / 400);
    painter.setPen(QPen(QColor(30, 30, 30, 140), std::max(1, step / 3)));
    for (int x = w / 10; x < w / 3; x += step)
        painter.drawLine(x, h * 6 / 10, x + step * 4, h * 9 / 10);
    for (int y = h / 8; y < h / 2; y += step * 2) {
        for (int x = w * 6 / 10; x < w * 9 / 10; x += step * 2)
            painter.fillRect(x, y, step, step, QColor::fromHsv((x + y) % 360, 90, 240));
    }
    painter.end();
    // Sensor grain.
    quint32 state = quint32(seed) * 2654435761u + 1u;
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            state = state * 1664525u + 1013904223u;
            const int d = int(state >> 30) - 2;
            const QRgb p = line[x];
            line[x] = qRgb(std::clamp(qRed(p) + d, 0, 255), std::clamp(qGreen(p) + d, 0, 255),
                           std::clamp(qBlue(p) + d, 0, 255));
        }
    }
    return image;
}

QByteArray jpegBytes(const QImage& image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", quality);
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool writeJpeg(const QString& path, const QImage& image, int quality)
{
    return writeFile(path, jpegBytes(image, quality));
}

QByteArray withExifOrientation(const QByteArray& jpeg, int orientation)
{
    // TIFF structure in big-endian order: header, one directory with one entry, no next one.
    QByteArray tiff("MM\0\x2a", 4);
    auto put16 = [&tiff](quint16 v) {
        char b[2];
        qToBigEndian(v, b);
        tiff.append(b, 2);
    };
    auto put32 = [&tiff](quint32 v) {
        char b[4];
        qToBigEndian(v, b);
        tiff.append(b, 4);
    };
    put32(8);
    put16(1);
    put16(0x0112);  // Orientation
    put16(3);       // SHORT
    put32(1);
    put16(quint16(orientation));
    put16(0);
    put32(0);
    QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xff\xe1", 2);
    char length[2];
    qToBigEndian(quint16(app1.size() + 2), length);
    segment.append(length, 2);
    segment.append(app1);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

QByteArray withExtraneousBytes(const QByteArray& jpeg)
{
    const int at = jpeg.indexOf(QByteArray("\xff\xdb", 2));
    return jpeg.left(at) + QByteArray("\x00\x11\x22", 3) + jpeg.mid(at);
}

bool writeJpegTurnedWithOrientation6(const QString& path, const QImage& upright)
{
    const QImage stored = upright.transformed(QTransform().rotate(-90));
    return writeFile(path, withExifOrientation(jpegBytes(stored, 95), 6));
}

namespace {

void toMagick(const QImage& source, Magick::Image& image)
{
    MagickImage::initialise();
    const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
    QByteArray packed;
    for (int y = 0; y < rgb.height(); ++y)
        packed.append(reinterpret_cast<const char*>(rgb.constScanLine(y)), rgb.width() * 3);
    image = Magick::Image(size_t(rgb.width()), size_t(rgb.height()), "RGB", Magick::CharPixel,
                          packed.constData());
}

}  // namespace

bool writeTiff(const QString& path, const QImage& image)
{
    try {
        Magick::Image tiff;
        toMagick(image, tiff);
        tiff.write("tiff:" + path.toStdString());
        return true;
    } catch (const Magick::Exception&) {
        return false;
    }
}

bool writeJpegWithProfile(const QString& path, const QSize& size, const QColor& colour,
                          const QString& iccProfilePath)
{
    QFile profileFile(iccProfilePath);
    if (!profileFile.open(QIODevice::ReadOnly))
        return false;
    const QByteArray profile = profileFile.readAll();
    try {
        QImage solid(size, QImage::Format_RGB32);
        solid.fill(colour);
        Magick::Image image;
        toMagick(solid, image);
        image.iccColorProfile(Magick::Blob(profile.constData(), size_t(profile.size())));
        image.quality(100);
        image.write("jpeg:" + path.toStdString());
        return true;
    } catch (const Magick::Exception&) {
        return false;
    }
}

QString srgbProfilePath()
{
    return QStringLiteral("/usr/share/color/icc/sRGB.icc");
}

QString adobeRgbProfilePath()
{
    return QStringLiteral("/usr/share/color/icc/compatibleWithAdobeRGB1998.icc");
}

int colourDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

double psnr(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    if (x.size() != y.size() || x.isNull())
        return 0;
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int dr = qRed(p[col]) - qRed(q[col]);
            const int dg = qGreen(p[col]) - qGreen(q[col]);
            const int db = qBlue(p[col]) - qBlue(q[col]);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    if (mse == 0)
        return 99;
    return 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace TestImages
