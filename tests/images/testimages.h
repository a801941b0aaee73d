#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

// Images made by the tests: pictures with known colours in known places, and files of the
// kinds a customer brings (JPEG, PNG, TIFF, a camera's orientation tag, an embedded profile,
// a truncated file, a file that is no image).
namespace TestImages {

// The four quadrants of the image coloured, from the top left clockwise: red, green, yellow,
// blue. The colour of each quadrant is quadrantColour(0..3) in that order.
QImage quadrants(const QSize& size);
QColor quadrantColour(int index);

// A picture with gradients and fine detail, as photographs have.
QImage photoLike(const QSize& size, int seed = 1);

QByteArray jpegBytes(const QImage& image, int quality = 95);
bool writeFile(const QString& path, const QByteArray& bytes);
bool writeJpeg(const QString& path, const QImage& image, int quality = 95);

// A JPEG whose pixels are stored turned a quarter counter-clockwise, with an EXIF orientation
// 6 that tells the viewer to turn them back: shown upright it is `upright`.
bool writeJpegTurnedWithOrientation6(const QString& path, const QImage& upright);
// Inserts an EXIF block holding only the given orientation after the start of a JPEG.
QByteArray withExifOrientation(const QByteArray& jpeg, int orientation);

// A JPEG with a few stray bytes before its quantisation tables: the decoder warns about them
// and still decodes the whole picture, as with some cameras' files.
QByteArray withExtraneousBytes(const QByteArray& jpeg);

// TIFF written by Magick++ (Qt has no TIFF reader here).
bool writeTiff(const QString& path, const QImage& image);
// A JPEG of one colour, given in the colour space of iccProfilePath, with that profile embedded.
bool writeJpegWithProfile(const QString& path, const QSize& size, const QColor& colour,
                          const QString& iccProfilePath);

// Debian's profiles (icc-profiles-free).
QString srgbProfilePath();
QString adobeRgbProfilePath();

// Maximum difference of any channel between two colours.
int colourDistance(QRgb a, QRgb b);
// Peak signal-to-noise ratio of two images of the same size, in dB.
double psnr(const QImage& a, const QImage& b);

}  // namespace TestImages
