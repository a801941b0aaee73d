#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>

// Compositions of a picture on a background, shared by the thumbnail generators and the print
// rendering. Pixels outside the picture and transparent pixels show the background.
namespace ImageCompose {

// An image of box's size filled with background, with the picture scaled to fitted and
// centred on it (the extra pixel of an odd margin goes right or below).
QImage fitOnBackground(const QImage& image, const QSize& box, const QSize& fitted,
                       const QColor& background, bool smooth);

// The crop region of the picture, crop's size, with the background wherever the region leaves
// the picture. A null crop (width and height 0) takes the whole picture; any other crop with a
// side of 0 or less gives a null image.
QImage cropOnBackground(const QImage& image, const QRect& crop, const QColor& background);

// The area of the picture (fractional source pixels, inside the picture) reduced to size by
// averaging every source pixel it covers with the share it covers. The area must be at least
// size in both directions. The result is opaque (RGB32); transparency is not kept.
QImage reduceArea(const QImage& image, const QRectF& area, const QSize& size);

}  // namespace ImageCompose
