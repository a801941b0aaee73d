#include <QPainter>
#include <QtTest>

#include "imageutility.h"

// Geometry of thumbnails and prints, the unit conversions and the pixel-level generators.
class tst_ImageGeometry : public QObject
{
    Q_OBJECT

private slots:
    void thumbSize_data();
    void thumbSize();
    void cropRectForFormat_data();
    void cropRectForFormat();
    void cropRectRescaled_data();
    void cropRectRescaled();
    void centimetresAndPixels();
    void cheatScaledKeepsPixelsAtSameSize();
    void cheatScaledAveragesWithoutCarry();
    void cheatScaledEmptyAndNon32BitSources();
    void adjustedThumbCentresOnBackground();
    void croppedThumbSizes_data();
    void croppedThumbSizes();
    void croppedThumbOutsideAndTransparentShowBackground();
    void generatorsRefuseEmptyInput();
};

void tst_ImageGeometry::thumbSize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("landscape") << QSize(4000, 3000) << QSize(200, 200) << QSize(200, 150);
    QTest::newRow("portrait") << QSize(3000, 4000) << QSize(200, 200) << QSize(150, 200);
    QTest::newRow("scaled up") << QSize(100, 100) << QSize(200, 300) << QSize(200, 200);
    QTest::newRow("half rounds up") << QSize(400, 301) << QSize(200, 200) << QSize(200, 151);
    QTest::newRow("below half rounds down") << QSize(20000, 30098) << QSize(100, 1000)
                                            << QSize(100, 150);
    QTest::newRow("height limits") << QSize(1334, 2000) << QSize(1181, 1772) << QSize(1181, 1771);
    QTest::newRow("zero size") << QSize(0, 100) << QSize(200, 200) << QSize(0, 0);
    QTest::newRow("negative box") << QSize(100, 100) << QSize(-5, 200) << QSize(0, 0);
    QTest::newRow("zero box") << QSize(100, 100) << QSize(200, 0) << QSize(0, 0);
}

void tst_ImageGeometry::thumbSize()
{
    QFETCH(QSize, size);
    QFETCH(QSize, box);
    QFETCH(QSize, expected);
    QCOMPARE(imageUtility::calculateThumbSize(size, box), expected);
}

void tst_ImageGeometry::cropRectForFormat_data()
{
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QSize>("format");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("3000x2000 in 10x15") << QSize(3000, 2000) << QSize(10, 15)
                                        << QRect(833, 0, 1333, 2000);
    QTest::newRow("same aspect") << QSize(3000, 2000) << QSize(1800, 1200)
                                 << QRect(0, 0, 3000, 2000);
    QTest::newRow("taller image") << QSize(2000, 3000) << QSize(15, 10)
                                  << QRect(0, 833, 2000, 1333);
    QTest::newRow("odd remainder goes right") << QSize(101, 100) << QSize(1, 1)
                                              << QRect(0, 0, 100, 100);
    QTest::newRow("zero image side") << QSize(0, 2000) << QSize(10, 15) << QRect();
    QTest::newRow("zero format side") << QSize(3000, 2000) << QSize(10, 0) << QRect();
}

void tst_ImageGeometry::cropRectForFormat()
{
    QFETCH(QSize, image);
    QFETCH(QSize, format);
    QFETCH(QRect, expected);
    QCOMPARE(imageUtility::calculateCropRect(image, format), expected);
}

void tst_ImageGeometry::cropRectRescaled_data()
{
    QTest::addColumn<QRect>("crop");
    QTest::addColumn<QSize>("newSize");
    QTest::addColumn<QSize>("oldSize");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("halved") << QRect(100, 50, 200, 100) << QSize(500, 500) << QSize(1000, 1000)
                            << QRect(50, 25, 100, 50);
    QTest::newRow("thumbnail to full") << QRect(10, 20, 30, 40) << QSize(4000, 3000)
                                       << QSize(400, 300) << QRect(100, 200, 300, 400);
    QTest::newRow("empty new size") << QRect(1, 1, 10, 10) << QSize(0, 10) << QSize(10, 10)
                                    << QRect();
    QTest::newRow("empty old size") << QRect(1, 1, 10, 10) << QSize(10, 10) << QSize(0, 0)
                                    << QRect();
    QTest::newRow("empty crop") << QRect() << QSize(10, 10) << QSize(10, 10) << QRect();
}

void tst_ImageGeometry::cropRectRescaled()
{
    QFETCH(QRect, crop);
    QFETCH(QSize, newSize);
    QFETCH(QSize, oldSize);
    QFETCH(QRect, expected);
    QCOMPARE(imageUtility::calculateCropRect(crop, newSize, oldSize), expected);
}

void tst_ImageGeometry::centimetresAndPixels()
{
    QVERIFY(qAbs(imageUtility::cmToPixels(10, 300) - 1181.1024f) < 0.001f);
    QVERIFY(qAbs(imageUtility::pixelsToCm(1181, 300) - 9.99913f) < 0.0001f);
    QCOMPARE(imageUtility::cmToPixels(0, 300), 0.0f);
}

void tst_ImageGeometry::cheatScaledKeepsPixelsAtSameSize()
{
    QImage source(7, 5, QImage::Format_ARGB32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            source.setPixel(x, y, qRgba(x * 30, y * 50, x * y, 255 - x));
    const QImage result = imageUtility::cheatScaled(source.size(), source);
    QCOMPARE(result.format(), QImage::Format_ARGB32);
    QCOMPARE(result, source);
}

void tst_ImageGeometry::cheatScaledAveragesWithoutCarry()
{
    // One 2x2 block: 1, 0 above and 2, 1 below. Each pairwise mean rounds down per channel,
    // so the result is 0 where the exact mean is 1; no channel carries into the next.
    QImage source(2, 2, QImage::Format_ARGB32);
    source.setPixel(0, 0, qRgba(1, 255, 1, 255));
    source.setPixel(1, 0, qRgba(0, 255, 0, 255));
    source.setPixel(0, 1, qRgba(2, 255, 2, 255));
    source.setPixel(1, 1, qRgba(1, 255, 1, 255));
    const QImage result = imageUtility::cheatScaled(QSize(1, 1), source);
    QCOMPARE(result.pixel(0, 0), qRgba(0, 255, 0, 255));

    // Half size of a larger picture: every target pixel comes from its own 2x2 block.
    QImage blocks(8, 6, QImage::Format_ARGB32);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            blocks.setPixel(x, y, qRgba((x / 2) * 60, (y / 2) * 100, 7, 255));
    const QImage half = imageUtility::cheatScaled(QSize(4, 3), blocks);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            QCOMPARE(half.pixel(x, y), qRgba(x * 60, y * 100, 7, 255));
}

void tst_ImageGeometry::cheatScaledEmptyAndNon32BitSources()
{
    QImage source(10, 10, QImage::Format_RGB32);
    source.fill(Qt::red);
    QVERIFY(imageUtility::cheatScaled(QSize(0, 5), source).isNull());
    QVERIFY(imageUtility::cheatScaled(QSize(5, 0), source).isNull());
    QVERIFY(imageUtility::cheatScaled(QSize(5, 5), QImage()).isNull());
    // A larger target than the source stays inside it.
    QCOMPARE(imageUtility::cheatScaled(QSize(33, 17), source).pixel(32, 16), QColor(Qt::red).rgb());
    const QImage indexed = source.convertToFormat(QImage::Format_Indexed8);
    QCOMPARE(imageUtility::cheatScaled(QSize(3, 3), indexed).pixel(1, 1), QColor(Qt::red).rgb());
}

void tst_ImageGeometry::adjustedThumbCentresOnBackground()
{
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QImage thumb = imageUtility::generateAdjustedThumb(image, QSize(100, 100), Qt::white, true);
    QCOMPARE(thumb.size(), QSize(100, 100));
    // The picture lies at (0, 16, 100, 67): 16 rows of background above, 17 below.
    const QRgb white = QColor(Qt::white).rgb();
    const QRgb red = QColor(Qt::red).rgb();
    for (int x : {0, 50, 99}) {
        QCOMPARE(thumb.pixel(x, 0), white);
        QCOMPARE(thumb.pixel(x, 15), white);
        QCOMPARE(thumb.pixel(x, 16), red);
        QCOMPARE(thumb.pixel(x, 82), red);
        QCOMPARE(thumb.pixel(x, 83), white);
        QCOMPARE(thumb.pixel(x, 99), white);
    }
    const QImage fast = imageUtility::generateAdjustedThumb(image, QSize(100, 100), Qt::blue, false);
    QCOMPARE(fast.pixel(50, 10), QColor(Qt::blue).rgb());
    QCOMPARE(fast.pixel(50, 50), red);
}

void tst_ImageGeometry::croppedThumbSizes_data()
{
    QTest::addColumn<QRect>("crop");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("portrait crop in square") << QRect(100, 100, 200, 300) << QSize(100, 100)
                                             << QSize(67, 100);
    QTest::newRow("null crop fits whole image") << QRect() << QSize(100, 100) << QSize(100, 75);
    QTest::newRow("crop with the box's aspect") << QRect(0, 0, 200, 100) << QSize(100, 50)
                                                << QSize(100, 50);
}

void tst_ImageGeometry::croppedThumbSizes()
{
    QFETCH(QRect, crop);
    QFETCH(QSize, box);
    QFETCH(QSize, expected);
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(Qt::green);
    const QImage thumb = imageUtility::generateCroppedThumb(image, box, crop, Qt::white, true);
    QCOMPARE(thumb.size(), expected);
    QCOMPARE(thumb.pixel(thumb.width() / 2, thumb.height() / 2), QColor(Qt::green).rgb());
}

void tst_ImageGeometry::croppedThumbOutsideAndTransparentShowBackground()
{
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(Qt::red);
    // The right half of the crop lies beyond the image: it must print as background, not black.
    QImage thumb = imageUtility::generateCroppedThumb(image, QSize(200, 100), QRect(50, 0, 100, 50),
                                                      Qt::white, true);
    QCOMPARE(thumb.size(), QSize(200, 100));
    QCOMPARE(thumb.pixel(40, 50), QColor(Qt::red).rgb());
    QCOMPARE(thumb.pixel(160, 50), QColor(Qt::white).rgb());
    // Above and left of the image as well.
    thumb = imageUtility::generateCroppedThumb(image, QSize(100, 100), QRect(-50, -50, 100, 100),
                                               Qt::white, false);
    QCOMPARE(thumb.pixel(10, 10), QColor(Qt::white).rgb());
    QCOMPARE(thumb.pixel(90, 90), QColor(Qt::red).rgb());

    QImage transparent(100, 100, QImage::Format_ARGB32);
    transparent.fill(Qt::transparent);
    {
        QPainter painter(&transparent);
        painter.fillRect(0, 0, 50, 100, Qt::blue);
    }
    for (const QImage& result :
         {imageUtility::generateCroppedThumb(transparent, QSize(100, 100), QRect(), Qt::white, true),
          imageUtility::generateAdjustedThumb(transparent, QSize(100, 100), Qt::white, true)}) {
        QCOMPARE(result.pixel(20, 50), QColor(Qt::blue).rgb());
        QCOMPARE(result.pixel(80, 50), QColor(Qt::white).rgb());
    }
}

void tst_ImageGeometry::generatorsRefuseEmptyInput()
{
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(imageUtility::generateAdjustedThumb(QImage(), QSize(10, 10), Qt::white, true).isNull());
    QVERIFY(imageUtility::generateAdjustedThumb(image, QSize(0, 10), Qt::white, true).isNull());
    QVERIFY(imageUtility::generateCroppedThumb(QImage(), QSize(10, 10), QRect(), Qt::white, true)
                .isNull());
    QVERIFY(imageUtility::generateCroppedThumb(image, QSize(10, 0), QRect(), Qt::white, true)
                .isNull());
    // A crop with one side 0 is no region at all.
    QVERIFY(imageUtility::generateCroppedThumb(image, QSize(10, 10), QRect(0, 0, 5, 0), Qt::white,
                                               true)
                .isNull());
}

QTEST_GUILESS_MAIN(tst_ImageGeometry)
#include "tst_imagegeometry.moc"
