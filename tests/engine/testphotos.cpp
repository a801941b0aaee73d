#include "testphotos.h"

#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QRandomGenerator>

namespace testphotos {

bool writePhoto(const QString &path, const QSize &size, int seed, int quality)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(quint32(seed) * 2654435761u + 1);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, size.width(), size.height());
    sky.setColorAt(0, QColor::fromHsv(random.bounded(360), 120, 230));
    sky.setColorAt(1, QColor::fromHsv(random.bounded(360), 200, 90));
    painter.fillRect(image.rect(), sky);
    const int shapes = 40;
    for (int i = 0; i < shapes; ++i) {
        const QPointF centre(random.bounded(size.width()), random.bounded(size.height()));
        const qreal radius = 20 + random.bounded(size.width() / 6 + 1);
        QRadialGradient blob(centre, radius);
        blob.setColorAt(0, QColor::fromHsv(random.bounded(360), 180, 255, 200));
        blob.setColorAt(1, QColor(0, 0, 0, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(blob);
        painter.drawEllipse(centre, radius, radius);
    }
    // Fine detail: thin lines, as in foliage or fabric.
    const int lines = size.width() / 8;
    for (int i = 0; i < lines; ++i) {
        painter.setPen(QPen(QColor::fromHsv(random.bounded(360), 60, random.bounded(256), 90), 1));
        const QPointF from(random.bounded(size.width()), random.bounded(size.height()));
        painter.drawLine(from, from + QPointF(random.bounded(200) - 100, random.bounded(200) - 100));
    }
    painter.end();
    QImageWriter writer(path, "jpeg");
    writer.setQuality(quality);
    return writer.write(image);
}

bool writeBytes(const QString &path, qint64 bytes, int seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QRandomGenerator random(quint32(seed) + 7);
    QByteArray block(1 << 16, Qt::Uninitialized);
    qint64 left = bytes;
    while (left > 0) {
        random.fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
        const qint64 chunk = qMin<qint64>(left, block.size());
        if (file.write(block.constData(), chunk) != chunk)
            return false;
        left -= chunk;
    }
    return file.flush();
}

} // namespace testphotos
