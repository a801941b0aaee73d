#include <Magick++.h>

#include <QTemporaryDir>
#include <QtTest>

#include "imageutility.h"
#include "korvex2exception.h"
#include "korvexglobals.h"
#include "testimages.h"

// Loading photographs: the full load through Magick++ and the scaled loads through Qt's
// readers, sizes and validity, on files of every kind a customer brings.
class tst_ImageLoading : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loadImageKeepsExactPixels_data();
    void loadImageKeepsExactPixels();
    void loadImageTurnsOrientedPhotoUpright();
    void loadImageWithoutProfileFile();
    void harmlessDecoderWarningKeepsImage();
    void loadImageRefuses_data();
    void loadImageRefuses();
    void pixelsBetweenQtAndMagickUseFullRange();
    void scaledLoads_data();
    void scaledLoads();
    void scaledLoadsOfOrientedPhotoAreUpright();
    void imageSizeAndValidity_data();
    void imageSizeAndValidity();

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
};

void tst_ImageLoading::initTestCase()
{
    QVERIFY(m_dir.isValid());
    KorvexGlobals::iccColorProfileLocation = TestImages::srgbProfilePath();
    QVERIFY(QFile::exists(KorvexGlobals::iccColorProfileLocation));

    const QImage landscape = TestImages::quadrants(QSize(400, 300));
    const QImage portrait = TestImages::quadrants(QSize(300, 400));
    QVERIFY(TestImages::writeJpeg(path("landscape.jpg"), landscape));
    QVERIFY(TestImages::writeJpeg(path("portrait.jpg"), portrait));
    QVERIFY(landscape.save(path("landscape.png")));
    QVERIFY(TestImages::writeTiff(path("landscape.tif"), landscape));
    QVERIFY(TestImages::writeJpegTurnedWithOrientation6(path("turned.jpg"), portrait));
    const QByteArray detailed = TestImages::jpegBytes(TestImages::photoLike(QSize(400, 300)));
    QVERIFY(TestImages::writeFile(path("truncated.jpg"), detailed.left(detailed.size() / 2)));
    QVERIFY(TestImages::writeFile(path("notes.jpg"), "Not an image, only a text.\n"));
    QVERIFY(TestImages::writeFile(path("empty.png"), QByteArray()));
}

// Every value of an 8-bit picture comes back as it was: no lossy step between Magick++ and Qt.
void tst_ImageLoading::loadImageKeepsExactPixels_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("PNG") << "png";
    QTest::newRow("TIFF, read by Magick++ only") << "tif";
}

void tst_ImageLoading::loadImageKeepsExactPixels()
{
    QFETCH(QString, format);
    QImage ramp(256, 3, QImage::Format_RGB32);
    for (int x = 0; x < 256; ++x) {
        ramp.setPixel(x, 0, qRgb(x, 0, 255 - x));
        ramp.setPixel(x, 1, qRgb(255 - x, x, 0));
        ramp.setPixel(x, 2, qRgb(x, x, x));
    }
    const QString file = path("ramp." + format);
    QVERIFY(format == "tif" ? TestImages::writeTiff(file, ramp) : ramp.save(file));
    const QImage loaded = imageUtility::loadImage(file);
    QCOMPARE(loaded.size(), ramp.size());
    QCOMPARE(loaded.convertToFormat(QImage::Format_RGB32), ramp);
}

void tst_ImageLoading::loadImageTurnsOrientedPhotoUpright()
{
    const QImage loaded = imageUtility::loadImage(path("turned.jpg"));
    QCOMPARE(loaded.size(), QSize(300, 400));
    const QPoint centres[] = {{75, 100}, {225, 100}, {225, 300}, {75, 300}};
    for (int i = 0; i < 4; ++i)
        QVERIFY2(TestImages::colourDistance(loaded.pixel(centres[i]),
                                            TestImages::quadrantColour(i).rgb()) <= 8,
                 qPrintable(QString("quadrant %1").arg(i)));
}

void tst_ImageLoading::loadImageWithoutProfileFile()
{
    KorvexGlobals::iccColorProfileLocation = path("no-such-profile.icc");
    QTest::ignoreMessage(QtDebugMsg, "Unable to open target color profile");
    const QImage loaded = imageUtility::loadImage(path("landscape.png"));
    KorvexGlobals::iccColorProfileLocation = TestImages::srgbProfilePath();
    QCOMPARE(loaded.size(), QSize(400, 300));
}

void tst_ImageLoading::harmlessDecoderWarningKeepsImage()
{
    const QImage picture = TestImages::quadrants(QSize(400, 300));
    const QString file = path("stray-bytes.jpg");
    QVERIFY(TestImages::writeFile(file, TestImages::withExtraneousBytes(TestImages::jpegBytes(picture))));
    const QImage loaded = imageUtility::loadImage(file);
    QCOMPARE(loaded.size(), QSize(400, 300));
    QVERIFY(TestImages::colourDistance(loaded.pixel(300, 225), TestImages::quadrantColour(2).rgb()) <= 8);
    QCOMPARE(imageUtility::getImageSize(file), QSize(400, 300));
    QVERIFY(imageUtility::isValidImage(file));
}

void tst_ImageLoading::loadImageRefuses_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("truncated JPEG") << "truncated.jpg";
    QTest::newRow("text file") << "notes.jpg";
    QTest::newRow("empty file") << "empty.png";
    QTest::newRow("missing file") << "missing.jpg";
}

void tst_ImageLoading::loadImageRefuses()
{
    QFETCH(QString, file);
    try {
        imageUtility::loadImage(path(file));
        QFAIL("no exception");
    } catch (const Korvex2Exception& e) {
        QVERIFY(e.code.empty());
        QVERIFY(!e.message.empty());
    }
    // The scaled loaders pass it on for the files Qt can't read; Qt reads a truncated JPEG
    // (the missing rows grey) for a thumbnail.
    if (file == "truncated.jpg")
        QVERIFY(!imageUtility::loadResizedImage(path(file), QSize(100, 100)).isNull());
    else
        QVERIFY_EXCEPTION_THROWN(imageUtility::loadResizedImage(path(file), QSize(100, 100)),
                                 Korvex2Exception);
}

void tst_ImageLoading::pixelsBetweenQtAndMagickUseFullRange()
{
    QImage image(2, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(255, 128, 0));
    image.setPixel(1, 0, qRgb(1, 254, 255));
    std::unique_ptr<Magick::Image> magick(imageUtility::toImage(image));
    QCOMPARE(magick->columns(), size_t(2));
    const Magick::ColorRGB first = magick->pixelColor(0, 0);
    QCOMPARE(first.redQuantum(), Magick::Quantum(65535));
    QCOMPARE(first.greenQuantum(), Magick::Quantum(128 * 257));
    QCOMPARE(first.blueQuantum(), Magick::Quantum(0));
    std::unique_ptr<QImage> back(imageUtility::toQImage(*magick));
    QCOMPARE(back->convertToFormat(QImage::Format_RGB32), image);

    QImage translucent(1, 1, QImage::Format_ARGB32);
    translucent.setPixel(0, 0, qRgba(10, 20, 30, 100));
    std::unique_ptr<Magick::Image> withAlpha(imageUtility::toImage(translucent));
    QVERIFY(withAlpha->matte());
    std::unique_ptr<QImage> backWithAlpha(imageUtility::toQImage(*withAlpha));
    QCOMPARE(backWithAlpha->pixel(0, 0), qRgba(10, 20, 30, 100));
}

// Thumbnails: Qt's reader scales JPEG and PNG itself; TIFF goes through Magick++ and the
// averaging downscale.
void tst_ImageLoading::scaledLoads_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QImage::Format>("format");
    QTest::newRow("JPEG") << "landscape.jpg" << QImage::Format_RGB32;
    QTest::newRow("PNG") << "landscape.png" << QImage::Format_RGB32;
    QTest::newRow("TIFF") << "landscape.tif" << QImage::Format_ARGB32;
}

void tst_ImageLoading::scaledLoads()
{
    QFETCH(QString, file);
    QFETCH(QImage::Format, format);
    const QImage thumb = imageUtility::loadResizedImage(path(file), QSize(100, 100));
    QCOMPARE(thumb.size(), QSize(100, 75));
    QCOMPARE(thumb.format(), format);
    QVERIFY(TestImages::colourDistance(thumb.pixel(20, 20), TestImages::quadrantColour(0).rgb())
            <= 8);

    // The clip is the top-right quadrant: all of the thumbnail is its colour.
    const QRect clip(200, 0, 200, 150);
    const QImage clipped = imageUtility::loadResizedImage(path(file), QSize(100, 100), clip);
    QCOMPARE(clipped.size(), QSize(100, 75));
    for (const QPoint& p : {QPoint(5, 5), QPoint(95, 70)})
        QVERIFY(TestImages::colourDistance(clipped.pixel(p), TestImages::quadrantColour(1).rgb())
                <= 8);

    const ResizedImageInfo info = imageUtility::loadResizedImageInfo(path(file), QSize(50, 50), clip);
    QCOMPARE(info.filePath, path(file));
    QCOMPARE(info.originalSize, QSize(400, 300));
    QCOMPARE(info.image.size(), QSize(50, 38));
    QCOMPARE(imageUtility::loadResizedImageInfo(path(file), QSize(40, 40)).image.size(),
             QSize(40, 30));
}

void tst_ImageLoading::scaledLoadsOfOrientedPhotoAreUpright()
{
    const QString file = path("turned.jpg");
    const ResizedImageInfo info = imageUtility::loadResizedImageInfo(file, QSize(60, 60));
    QCOMPARE(info.originalSize, QSize(300, 400));
    QCOMPARE(info.image.size(), QSize(45, 60));
    QVERIFY(TestImages::colourDistance(info.image.pixel(5, 5), TestImages::quadrantColour(0).rgb())
            <= 8);
    QVERIFY(TestImages::colourDistance(info.image.pixel(40, 55),
                                       TestImages::quadrantColour(2).rgb())
            <= 8);
    // The clip refers to the upright picture: its bottom-left quadrant.
    const QImage clipped = imageUtility::loadResizedImage(file, QSize(60, 60), QRect(0, 200, 150, 200));
    QCOMPARE(clipped.size(), QSize(45, 60));
    for (const QPoint& p : {QPoint(3, 3), QPoint(41, 56), QPoint(41, 3), QPoint(3, 56)})
        QVERIFY(TestImages::colourDistance(clipped.pixel(p), TestImages::quadrantColour(3).rgb())
                <= 8);
}

void tst_ImageLoading::imageSizeAndValidity_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("valid");
    QTest::newRow("JPEG landscape") << "landscape.jpg" << QSize(400, 300) << true;
    QTest::newRow("JPEG portrait") << "portrait.jpg" << QSize(300, 400) << true;
    QTest::newRow("orientation 6, upright size") << "turned.jpg" << QSize(300, 400) << true;
    QTest::newRow("TIFF from its header") << "landscape.tif" << QSize(400, 300) << true;
    QTest::newRow("text") << "notes.jpg" << QSize(-1, -1) << false;
    QTest::newRow("missing") << "missing.jpg" << QSize(-1, -1) << false;
}

void tst_ImageLoading::imageSizeAndValidity()
{
    QFETCH(QString, file);
    QFETCH(QSize, size);
    QFETCH(bool, valid);
    QCOMPARE(imageUtility::getImageSize(path(file)), size);
    QCOMPARE(imageUtility::isValidImage(path(file)), valid);
}

QTEST_GUILESS_MAIN(tst_ImageLoading)
#include "tst_imageloading.moc"
