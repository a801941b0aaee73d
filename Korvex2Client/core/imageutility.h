#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>

namespace Magick {
class Image;
}

// Result of a scaled load: the scaled picture and the full size of the image in the file.
struct ResizedImageInfo
{
    QString filePath;
    QImage image;
    QSize originalSize = QSize(-1, -1);
};

// Image functions shared by the windows and the upload worker. Every function is static and
// keeps no state, so any thread may call them at the same time (toQpixmap excepted: GUI thread).
//
// Sizes and rectangles always refer to the image as it is shown: a photograph whose EXIF
// orientation says the camera was turned is read upright, and its size is the upright size.
class imageUtility
{
public:
    imageUtility() = default;

    // Fast downscale that averages four samples per target pixel; the source holds 32 bits
    // per pixel.
    static QImage cheatScaled(const QSize& target, const QImage& source);

    // size scaled to fit inside box, keeping its aspect ratio; (0, 0) for empty sizes.
    static QSize calculateThumbSize(QSize size, QSize box);
    // The largest rectangle with the format's aspect ratio, centred in the image.
    static QRect calculateCropRect(QSize imageSize, QSize formatSize);
    // crop, given on an image of oldSize, rescaled to the same image at newSize.
    static QRect calculateCropRect(QRect crop, QSize newSize, QSize oldSize);

    static float cmToPixels(int cm, int dpi);
    static float pixelsToCm(int px, int dpi);

    // Conversions between Qt and Magick++ pixels, without any encoding in between.
    // toQImage and toImage return heap objects that the caller owns.
    static QImage* toQImage(Magick::Image& image);
    static QPixmap toQpixmap(Magick::Image& image);
    static Magick::Image* toImage(QImage& image);

    // Full load through Magick++, upright, converted to the sRGB profile at
    // KorvexGlobals::iccColorProfileLocation. Throws Korvex2Exception when the file can't be
    // read or its image data is incomplete.
    static QImage loadImage(const QString& path);

    static QImage loadResizedImage(const QString& path, const QSize& box);
    static QImage loadResizedImage(const QString& path, const QSize& box, const QRect& clip);
    static ResizedImageInfo loadResizedImageInfo(const QString& path, const QSize& box);
    static ResizedImageInfo loadResizedImageInfo(const QString& path, const QSize& box,
                                                 const QRect& clip);

    // Never throw: (-1, -1) and false when the file is no image.
    static QSize getImageSize(const QString& path);
    static bool isValidImage(const QString& path);
    // Both of the above from one read of the file's header where it can: whether the file is
    // an image and, when it is, its size as getImageSize gives it.
    static bool isValidImage(const QString& path, QSize* size);

    // The whole image fitted and centred on the background, in an image of exactly box's size.
    static QImage generateAdjustedThumb(QImage image, QSize box, QColor background, bool smooth);
    // The crop region (the background where it leaves the image) scaled to fit inside box.
    static QImage generateCroppedThumb(QImage image, QSize box, QRect crop, QColor background,
                                       bool smooth);
};
