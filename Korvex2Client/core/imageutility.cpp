#include "imageutility.h"

#include <Magick++.h>

#include <QImageIOHandler>
#include <QImageReader>
#include <QRectF>
#include <QTransform>

#include "imagecompose.h"
#include "korvexglobals.h"
#include "magickimage.h"

namespace {

int roundHalfUp(float value)
{
    int whole = int(value);
    if (value - float(whole) >= 0.5f)
        ++whole;
    return whole;
}

bool turned(QImageIOHandler::Transformations transformation)
{
    return transformation.testFlag(QImageIOHandler::TransformationRotate90);
}

// Where a rectangle of the upright picture lies in the pixels as stored. Qt's reader mirrors
// and flips the stored pixels first, then turns them a quarter clockwise.
QRect toStored(const QRect& upright, const QSize& stored,
               QImageIOHandler::Transformations transformation)
{
    const qreal w = stored.width();
    const qreal h = stored.height();
    QTransform storedToUpright;
    if (transformation.testFlag(QImageIOHandler::TransformationMirror))
        storedToUpright *= QTransform(-1, 0, 0, 1, w, 0);
    if (transformation.testFlag(QImageIOHandler::TransformationFlip))
        storedToUpright *= QTransform(1, 0, 0, -1, 0, h);
    if (turned(transformation))
        storedToUpright *= QTransform(0, 1, -1, 0, h, 0);
    const QRectF r = storedToUpright.inverted().mapRect(QRectF(upright));
    return QRect(qRound(r.x()), qRound(r.y()), qRound(r.width()), qRound(r.height()));
}

// Scaled read through Qt's reader (which applies the EXIF orientation); box and clip refer to
// the upright picture.
QImage readScaled(QImageReader& reader, const QSize& box, const QRect* clip, QSize* originalSize)
{
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    const QImageIOHandler::Transformations transformation = reader.transformation();
    const QSize upright = turned(transformation) ? stored.transposed() : stored;
    if (originalSize)
        *originalSize = upright;
    QSize fitted;
    if (clip) {
        fitted = imageUtility::calculateThumbSize(clip->size(), box);
        reader.setClipRect(transformation == QImageIOHandler::TransformationNone
                               ? *clip
                               : toStored(*clip, stored, transformation));
    } else {
        fitted = imageUtility::calculateThumbSize(upright, box);
    }
    if (fitted.isEmpty())
        return QImage();
    reader.setScaledSize(turned(transformation) ? fitted.transposed() : fitted);
    return reader.read();
}

// Scaled load through Magick++, for the files Qt can't read.
QImage loadScaledWithMagick(const QString& path, const QSize& box, const QRect* clip,
                            QSize* originalSize)
{
    QImage loaded = imageUtility::loadImage(path).convertToFormat(QImage::Format_ARGB32);
    if (originalSize)
        *originalSize = loaded.size();
    if (loaded.isNull())
        return QImage();
    if (clip)
        loaded = loaded.copy(*clip);
    return imageUtility::cheatScaled(imageUtility::calculateThumbSize(loaded.size(), box), loaded);
}

ResizedImageInfo loadInfo(const QString& path, const QSize& box, const QRect* clip)
{
    ResizedImageInfo info;
    info.filePath = path;
    QImageReader reader(path);
    if (reader.canRead())
        info.image = readScaled(reader, box, clip, &info.originalSize);
    else
        info.image = loadScaledWithMagick(path, box, clip, &info.originalSize);
    return info;
}

bool isKnownSize(const QSize& size)
{
    return size.isValid() && !(size.width() == 0 && size.height() == 0);
}

}  // namespace

QImage imageUtility::cheatScaled(const QSize& target, const QImage& source)
{
    if (target.width() < 1 || target.height() < 1 || source.isNull())
        return QImage();
    const QImage src = source.depth() == 32 ? source
                                            : source.convertToFormat(QImage::Format_ARGB32);
    QImage result(target, QImage::Format_ARGB32);
    if (result.isNull())
        return result;

    // Steps in 24.8 fixed point; two samples a quarter and three quarters into each target
    // pixel's footprint in both directions.
    const qint32 sx = (src.width() * 256) / target.width();
    const qint32 sy = (src.height() * 256) / target.height();
    auto average = [](quint32 p, quint32 q) {
        return (p & q) + (((p ^ q) >> 1) & 0x7f7f7f7fu);
    };
    for (qint32 y = 0; y < target.height(); ++y) {
        const qint32 ay = y * sy + sy / 4;
        const auto* upper = reinterpret_cast<const quint32*>(src.constScanLine(ay >> 8));
        const auto* lower = reinterpret_cast<const quint32*>(src.constScanLine((ay + sy / 2) >> 8));
        auto* out = reinterpret_cast<quint32*>(result.scanLine(y));
        for (qint32 x = 0; x < target.width(); ++x) {
            const qint32 ax = x * sx;
            const qint32 c1 = (ax + sx / 4) >> 8;
            const qint32 c2 = (ax + (3 * sx) / 4) >> 8;
            out[x] = average(average(lower[c1], lower[c2]), average(upper[c1], upper[c2]));
        }
    }
    return result;
}

QSize imageUtility::calculateThumbSize(QSize size, QSize box)
{
    if (size.width() < 1 || size.height() < 1 || box.width() < 1 || box.height() < 1)
        return QSize(0, 0);
    const float rw = float(box.width()) / float(size.width());
    const float rh = float(box.height()) / float(size.height());
    if (rh >= rw)
        return QSize(box.width(), roundHalfUp(float(size.height()) * rw));
    return QSize(roundHalfUp(float(size.width()) * rh), box.height());
}

QRect imageUtility::calculateCropRect(QSize imageSize, QSize formatSize)
{
    if (imageSize.width() < 1 || imageSize.height() < 1 || formatSize.width() < 1
        || formatSize.height() < 1)
        return QRect();
    const float rw = float(imageSize.width()) / float(formatSize.width());
    const float rh = float(imageSize.height()) / float(formatSize.height());
    int width;
    int height;
    if (rh >= rw) {
        width = imageSize.width();
        height = roundHalfUp(float(formatSize.height()) * rw);
    } else {
        height = imageSize.height();
        width = roundHalfUp(float(formatSize.width()) * rh);
    }
    return QRect(int(float(imageSize.width() - width) * 0.5f),
                 int(float(imageSize.height() - height) * 0.5f), width, height);
}

QRect imageUtility::calculateCropRect(QRect crop, QSize newSize, QSize oldSize)
{
    // Nothing to rescale from an empty old size or an empty crop.
    if (newSize.width() < 1 || newSize.height() < 1 || oldSize.width() < 1
        || oldSize.height() < 1 || crop.width() < 1 || crop.height() < 1)
        return QRect();
    const float sx = float(newSize.width()) / float(oldSize.width());
    const float sy = float(newSize.height()) / float(oldSize.height());
    const int width = int(float(crop.width()) * sx);
    const int height = int(float(crop.height()) * sy);
    const int left = int(float(crop.left()) * (float(width) / float(crop.width())));
    const int top = int(float(crop.top()) * (float(height) / float(crop.height())));
    return QRect(left, top, width, height);
}

float imageUtility::cmToPixels(int cm, int dpi)
{
    return float(double(cm * dpi) / 2.54);
}

float imageUtility::pixelsToCm(int px, int dpi)
{
    return float(px * 2.54 / dpi);
}

QImage* imageUtility::toQImage(Magick::Image& image)
{
    return new QImage(MagickImage::toQImage(image));
}

QPixmap imageUtility::toQpixmap(Magick::Image& image)
{
    return QPixmap::fromImage(MagickImage::toQImage(image));
}

Magick::Image* imageUtility::toImage(QImage& image)
{
    auto* result = new Magick::Image();
    MagickImage::fromQImage(image, *result);
    return result;
}

QImage imageUtility::loadImage(const QString& path)
{
    return MagickImage::load(path, KorvexGlobals::iccColorProfileLocation);
}

QImage imageUtility::loadResizedImage(const QString& path, const QSize& box)
{
    return loadInfo(path, box, nullptr).image;
}

QImage imageUtility::loadResizedImage(const QString& path, const QSize& box, const QRect& clip)
{
    return loadInfo(path, box, &clip).image;
}

ResizedImageInfo imageUtility::loadResizedImageInfo(const QString& path, const QSize& box)
{
    return loadInfo(path, box, nullptr);
}

ResizedImageInfo imageUtility::loadResizedImageInfo(const QString& path, const QSize& box,
                                                    const QRect& clip)
{
    return loadInfo(path, box, &clip);
}

namespace {

// The steps of getImageSize after a Qt image reader gave no usable size (last is what it
// gave, or (-1, -1)): a ping of the file, then a full load.
QSize sizeWithoutReader(const QString& path, QSize last)
{
    try {
        last = MagickImage::ping(path).uprightSize;
        if (isKnownSize(last))
            return last;
    } catch (...) {
    }
    try {
        const QSize loaded = imageUtility::loadImage(path).size();
        if (isKnownSize(loaded))
            return loaded;
    } catch (...) {
    }
    return last;
}

// The size a Qt image reader reports for its file, upright; (-1, -1) when it can't read it.
QSize readerSize(QImageReader& reader)
{
    QSize size = reader.size();
    if (size.isValid() && turned(reader.transformation()))
        size.transpose();
    return size;
}

} // namespace

QSize imageUtility::getImageSize(const QString& path)
{
    QSize last(-1, -1);
    {
        QImageReader reader(path);
        if (reader.canRead()) {
            last = readerSize(reader);
            if (isKnownSize(last))
                return last;
        }
    }
    return sizeWithoutReader(path, last);
}

bool imageUtility::isValidImage(const QString& path)
{
    if (QImageReader(path).canRead())
        return true;
    try {
        return !MagickImage::ping(path).storedSize.isEmpty();
    } catch (...) {
        return false;
    }
}

bool imageUtility::isValidImage(const QString& path, QSize* size)
{
    {
        QImageReader reader(path);
        if (reader.canRead()) {
            const QSize read = readerSize(reader);
            *size = isKnownSize(read) ? read : sizeWithoutReader(path, read);
            return true;
        }
    }
    try {
        const MagickImage::Header ping = MagickImage::ping(path);
        if (ping.storedSize.isEmpty())
            return false;
        *size = isKnownSize(ping.uprightSize) ? ping.uprightSize : sizeWithoutReader(path, QSize(-1, -1));
        return true;
    } catch (...) {
        return false;
    }
}

QImage imageUtility::generateAdjustedThumb(QImage image, QSize box, QColor background, bool smooth)
{
    if (image.isNull() || box.width() < 1 || box.height() < 1)
        return QImage();
    return ImageCompose::fitOnBackground(image, box, calculateThumbSize(image.size(), box),
                                         background, smooth);
}

QImage imageUtility::generateCroppedThumb(QImage image, QSize box, QRect crop, QColor background,
                                          bool smooth)
{
    if (image.isNull() || box.width() < 1 || box.height() < 1)
        return QImage();
    const QImage part = ImageCompose::cropOnBackground(image, crop, background);
    if (part.isNull())
        return part;
    return part.scaled(calculateThumbSize(part.size(), box), Qt::IgnoreAspectRatio,
                       smooth ? Qt::SmoothTransformation : Qt::FastTransformation);
}
