#include "imagecompose.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QPainter>

namespace ImageCompose {

QImage fitOnBackground(const QImage& image, const QSize& box, const QSize& fitted,
                       const QColor& background, bool smooth)
{
    if (image.isNull() || box.width() < 1 || box.height() < 1)
        return QImage();
    QImage result(box, QImage::Format_RGB32);
    result.fill(background);
    if (fitted.isEmpty())
        return result;
    const QRect target(int((box.width() - fitted.width()) * 0.5f),
                       int((box.height() - fitted.height()) * 0.5f), fitted.width(),
                       fitted.height());
    QPainter painter(&result);
    if (smooth) {
        // The painter's own smooth scaling samples bilinearly, which aliases a large reduction;
        // the image scaler averages every source pixel.
        painter.drawImage(target.topLeft(),
                          image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(target, image);
    }
    return result;
}

QImage cropOnBackground(const QImage& image, const QRect& crop, const QColor& background)
{
    if (image.isNull())
        return QImage();
    const bool whole = crop.width() == 0 && crop.height() == 0;
    if (!whole && (crop.width() <= 0 || crop.height() <= 0))
        return QImage();
    const QRect region = whole ? image.rect() : crop;
    if (!image.hasAlphaChannel() && image.rect().contains(region))
        return whole ? image : image.copy(region);
    QImage result(region.size(), QImage::Format_RGB32);
    if (result.isNull())
        return result;
    result.fill(background);
    QPainter painter(&result);
    painter.drawImage(QPoint(-region.left(), -region.top()), image);
    return result;
}

namespace {

// Fixed-point weights of the source pixels behind each target pixel along one direction.
struct Taps
{
    static constexpr int kOne = 1 << 14;
    std::vector<int> first;   // first source pixel of target pixel i
    std::vector<int> offset;  // where target pixel i's weights start in `weights`
    std::vector<int> weights; // each target pixel's weights sum to kOne
};

Taps makeTaps(double start, double length, int count, int sourceCount)
{
    Taps taps;
    taps.first.resize(size_t(count));
    taps.offset.resize(size_t(count) + 1);
    const double step = length / count;
    for (int i = 0; i < count; ++i) {
        const double a = start + i * step;
        const double b = start + (i + 1) * step;
        const int from = std::clamp(int(std::floor(a)), 0, sourceCount - 1);
        const int to = std::clamp(int(std::ceil(b)), from + 1, sourceCount);
        taps.first[size_t(i)] = from;
        taps.offset[size_t(i)] = int(taps.weights.size());
        int total = 0;
        for (int j = from; j < to; ++j) {
            const double cover = std::min(b, double(j + 1)) - std::max(a, double(j));
            const int w = int(std::lround(std::max(0.0, cover) / step * Taps::kOne));
            taps.weights.push_back(w);
            total += w;
        }
        // Rounding leftovers go to the largest weight, so every sum is exact.
        auto begin = taps.weights.begin() + taps.offset[size_t(i)];
        *std::max_element(begin, taps.weights.end()) += Taps::kOne - total;
    }
    taps.offset[size_t(count)] = int(taps.weights.size());
    return taps;
}

}  // namespace

QImage reduceArea(const QImage& image, const QRectF& area, const QSize& size)
{
    if (image.isNull() || size.isEmpty() || area.isEmpty())
        return QImage();
    const QImage source = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                              ? image
                              : image.convertToFormat(QImage::Format_RGB32);
    const Taps columns = makeTaps(area.left(), area.width(), size.width(), source.width());
    const Taps rows = makeTaps(area.top(), area.height(), size.height(), source.height());
    const int firstRow = rows.first.front();
    const int lastRow = rows.first.back() + (rows.offset.back() - rows.offset[rows.offset.size() - 2]);
    const int width = size.width();

    // Across: each needed source row to the target width, channels kept with 8 more bits.
    std::vector<quint16> across(size_t(width) * size_t(lastRow - firstRow) * 3);
    for (int y = firstRow; y < lastRow; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        quint16* out = &across[size_t(y - firstRow) * size_t(width) * 3];
        for (int x = 0; x < width; ++x) {
            const QRgb* p = line + columns.first[size_t(x)];
            const int* w = &columns.weights[size_t(columns.offset[size_t(x)])];
            const int n = columns.offset[size_t(x) + 1] - columns.offset[size_t(x)];
            int r = 0, g = 0, b = 0;
            for (int k = 0; k < n; ++k) {
                r += w[k] * qRed(p[k]);
                g += w[k] * qGreen(p[k]);
                b += w[k] * qBlue(p[k]);
            }
            out[3 * x] = quint16((r + 32) >> 6);
            out[3 * x + 1] = quint16((g + 32) >> 6);
            out[3 * x + 2] = quint16((b + 32) >> 6);
        }
    }

    // Down: the rows of `across` to the target height.
    QImage result(size, QImage::Format_RGB32);
    if (result.isNull())
        return result;
    const size_t stride = size_t(width) * 3;
    std::vector<quint32> sum(stride);
    for (int y = 0; y < size.height(); ++y) {
        std::fill(sum.begin(), sum.end(), 0u);
        const quint16* base = &across[size_t(rows.first[size_t(y)] - firstRow) * stride];
        const int* w = &rows.weights[size_t(rows.offset[size_t(y)])];
        const int n = rows.offset[size_t(y) + 1] - rows.offset[size_t(y)];
        for (int k = 0; k < n; ++k) {
            const quint16* p = base + size_t(k) * stride;
            const quint32 weight = quint32(w[k]);
            for (size_t i = 0; i < stride; ++i)
                sum[i] += weight * p[i];
        }
        auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        constexpr quint32 half = 1u << 21;
        for (int x = 0; x < width; ++x) {
            out[x] = qRgb(int((sum[size_t(3 * x)] + half) >> 22),
                          int((sum[size_t(3 * x) + 1] + half) >> 22),
                          int((sum[size_t(3 * x) + 2] + half) >> 22));
        }
    }
    return result;
}

}  // namespace ImageCompose
