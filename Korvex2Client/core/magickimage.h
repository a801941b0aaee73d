#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace Magick {
class Image;
}

// The few things the image functions and the print rendering do with Magick++, in one place:
// one initialisation per process, checked reads, orientation, colour profiles and the exchange
// of pixels with Qt. Every failure of Magick++ leaves as a Magick::Exception.
namespace MagickImage {

// Initialises Magick++ the first time it is called; later calls return at once.
void initialise();

// What the header of an image file tells.
struct Header
{
    QSize storedSize;   // pixels as stored in the file
    QSize uprightSize;  // pixels once the EXIF orientation is applied
    bool jpeg = false;
};

// Reads the header only (Magick::Image::ping).
Header ping(const QString& path);

// Reads the first frame of the file. A read whose image data ends early or cannot be decoded
// in full is refused with a Magick::Exception, although the decoder only warns about it; other
// warnings are harmless and the image is kept. With a valid jpegSizeHint a JPEG is decoded at
// the smallest scale at which it still covers the hint in both directions.
void read(Magick::Image& image, const QString& path, const QSize& jpegSizeHint = QSize());

// Turns the pixels upright as the EXIF orientation says and marks the image upright.
void orientUpright(Magick::Image& image);

// Contents of a colour profile file; empty when it can't be read.
QByteArray readProfile(const QString& path);

// Converts the image into the given ICC profile (applies it under "ICM"), or embeds it when the
// image has no profile of its own. Images in other colour spaces are brought to sRGB first.
void convertToProfile(Magick::Image& image, const QByteArray& profile);

// Pixels of the image in a QImage (ARGB32 when the image has transparency, else RGB32),
// 16-bit values rounded to 8 bits.
QImage toQImage(Magick::Image& image);

// Pixels of a QImage in a new Magick++ image; 8-bit values fill the whole 16-bit range.
void fromQImage(const QImage& source, Magick::Image& image);

// Full load: read, upright, converted to the profile at profilePath (left unconverted, with a
// debug line, when that file can't be read). Failures become Korvex2Exception.
QImage load(const QString& path, const QString& profilePath, const QSize& jpegSizeHint = QSize());

}  // namespace MagickImage
