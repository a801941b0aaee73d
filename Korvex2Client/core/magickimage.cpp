#include "magickimage.h"

#include <mutex>
#include <string>

#include <Magick++.h>

#include <QCoreApplication>
#include <QDebug>
#include <QFile>

#include "korvex2exception.h"

namespace MagickImage {

namespace {

// Channel order of QImage's 32-bit formats in memory.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
const char* const kArgb32Map = "BGRA";
const char* const kRgb32Map = "BGRP";
#else
const char* const kArgb32Map = "ARGB";
const char* const kRgb32Map = "PRGB";
#endif

std::string localPath(const QString& path)
{
    return path.toUtf8().toStdString();
}

bool isTurned(Magick::OrientationType orientation)
{
    return orientation == Magick::LeftTopOrientation || orientation == Magick::RightTopOrientation
           || orientation == Magick::RightBottomOrientation
           || orientation == Magick::LeftBottomOrientation;
}

// Decoder warnings that mean part of the picture is missing: the JPEG decoder fills what it
// could not decode with grey and only warns; other coders report a short file the same way.
bool tellsIncompleteData(const std::string& text)
{
    static const char* const markers[] = {
        "premature end",          // file or data segment ends before the image data
        "bad huffman code",       // undecodable entropy-coded data
        "bad arithmetic code",
        "instead of rst",         // restart marker lost: a stretch of data is skipped
        "unexpected end-of-file",
        "insufficient image data",
        "read error",
    };
    QByteArray lower = QByteArray::fromStdString(text).toLower();
    for (const char* marker : markers) {
        if (lower.contains(marker))
            return true;
    }
    return false;
}

bool warningTellsIncompleteData(const Magick::Exception& warning)
{
    for (const Magick::Exception* e = &warning; e; e = e->nested()) {
        if (tellsIncompleteData(e->what()))
            return true;
    }
    return false;
}

}  // namespace

void initialise()
{
    static std::once_flag once;
    std::call_once(once, [] { Magick::InitializeMagick(nullptr); });
}

Header ping(const QString& path)
{
    initialise();
    Magick::Image image;
    try {
        image.ping(localPath(path));
    } catch (const Magick::Warning&) {
        // Whether the image data is whole is for the full read to tell.
    }
    if (image.columns() == 0 || image.rows() == 0)
        throw Magick::ErrorCorruptImage(
            QCoreApplication::translate("imageUtility", "Il file %1 non contiene un'immagine")
                .arg(path)
                .toUtf8()
                .toStdString());
    Header header;
    header.storedSize = QSize(int(image.columns()), int(image.rows()));
    header.uprightSize =
        isTurned(image.orientation()) ? header.storedSize.transposed() : header.storedSize;
    header.jpeg = image.magick() == "JPEG";
    return header;
}

void read(Magick::Image& image, const QString& path, const QSize& jpegSizeHint)
{
    initialise();
    if (jpegSizeHint.isValid() && !jpegSizeHint.isEmpty()) {
        image.defineValue("jpeg", "size", QStringLiteral("%1x%2")
                                              .arg(jpegSizeHint.width())
                                              .arg(jpegSizeHint.height())
                                              .toStdString());
    }
    std::string warningText;
    try {
        image.read(localPath(path));
    } catch (const Magick::Warning& warning) {
        if (warningTellsIncompleteData(warning))
            throw Magick::ErrorCorruptImage(warning.what());
        // Anything else the decoder had to say left the picture whole.
        warningText = warning.what();
    }
    if (image.columns() == 0 || image.rows() == 0) {
        if (warningText.empty()) {
            warningText = QCoreApplication::translate("imageUtility",
                                                      "Il file %1 non contiene un'immagine")
                              .arg(path)
                              .toUtf8()
                              .toStdString();
        }
        throw Magick::ErrorCorruptImage(warningText);
    }
}

void orientUpright(Magick::Image& image)
{
    Magick::OrientationType orientation = image.orientation();
    if (orientation == Magick::UndefinedOrientation || orientation == Magick::TopLeftOrientation)
        return;
    image.autoOrient();
    image.orientation(Magick::TopLeftOrientation);
}

QByteArray readProfile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void convertToProfile(Magick::Image& image, const QByteArray& profile)
{
    switch (image.colorSpace()) {
    case Magick::sRGBColorspace:
    case Magick::RGBColorspace:
    case Magick::GRAYColorspace:
    case Magick::UndefinedColorspace:
    case Magick::TransparentColorspace:
        break;
    default:
        // A CMYK photo with a profile of its own is converted by the profile below; without
        // one it is brought to sRGB by formula, since a profile alone would only be attached.
        if (image.iccColorProfile().length() == 0)
            image.colorSpace(Magick::sRGBColorspace);
        break;
    }
    if (!profile.isEmpty())
        image.profile("ICM", Magick::Blob(profile.constData(), size_t(profile.size())));
}

QImage toQImage(Magick::Image& image)
{
    const int width = int(image.columns());
    const int height = int(image.rows());
    const bool alpha = image.matte();
    QImage result(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (result.isNull())
        return result;
    // Both formats have rows of exactly width * 4 bytes, so one call fills the image.
    image.write(0, 0, size_t(width), size_t(height), kArgb32Map, Magick::CharPixel, result.bits());
    if (!alpha) {
        // Opacity of an image without transparency is not guaranteed to read as opaque.
        for (int y = 0; y < height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
            for (int x = 0; x < width; ++x)
                line[x] |= 0xff000000u;
        }
    }
    return result;
}

void fromQImage(const QImage& source, Magick::Image& image)
{
    initialise();
    const bool alpha = source.hasAlphaChannel();
    QImage pixels = source.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image = Magick::Image(size_t(pixels.width()), size_t(pixels.height()),
                          alpha ? kArgb32Map : kRgb32Map, Magick::CharPixel, pixels.constBits());
}

QImage load(const QString& path, const QString& profilePath, const QSize& jpegSizeHint)
{
    try {
        Magick::Image image;
        read(image, path, jpegSizeHint);
        orientUpright(image);
        if (image.isValid()) {
            qDebug().noquote() << profilePath;
            QByteArray profile = readProfile(profilePath);
            if (profile.isEmpty())
                qDebug().noquote() << "Unable to open target color profile";
            convertToProfile(image, profile);
        }
        return toQImage(image);
    } catch (const Magick::Exception& e) {
        qDebug().noquote() << QStringLiteral("loadImage: %1").arg(QString::fromUtf8(e.what()));
        throw Korvex2Exception(std::string(), e.what());
    } catch (const Korvex2Exception&) {
        throw;
    } catch (...) {
        throw Korvex2Exception(
            std::string(),
            QCoreApplication::translate(
                "imageUtility", "Impossibile caricare l'immagine in seguito ad un errore sconosciuto")
                .toUtf8()
                .toStdString());
    }
}

}  // namespace MagickImage
