#include <unistd.h>

#include <Magick++.h>

#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

#include "catalogfixture.h"
#include "korvex2exception.h"
#include "korvexglobals.h"
#include "printimagerenderer.h"
#include "testimages.h"

namespace {

// What a rendered file says about itself when read back.
struct RenderedFile
{
    QImage pixels;  // as stored, read by Qt without any colour conversion
    QSizeF density;
    Magick::ResolutionType units = Magick::UndefinedResolution;
    QByteArray icc;
    QByteArray exif;
    Magick::OrientationType orientation = Magick::UndefinedOrientation;
    size_t quality = 0;
    QByteArray magick;
};

RenderedFile inspect(const QString& path)
{
    RenderedFile file;
    file.pixels = QImage(path).convertToFormat(QImage::Format_RGB32);
    Magick::Image image;
    image.read(path.toStdString());
    file.density = QSizeF(image.xResolution(), image.yResolution());
    file.units = image.resolutionUnits();
    const Magick::Blob icc = image.iccColorProfile();
    file.icc = QByteArray(static_cast<const char*>(icc.data()), int(icc.length()));
    const Magick::Blob exif = image.profile("EXIF");
    file.exif = QByteArray(static_cast<const char*>(exif.data()), int(exif.length()));
    file.orientation = image.orientation();
    file.quality = image.quality();
    file.magick = QByteArray::fromStdString(image.magick());
    return file;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool near(QRgb actual, const QColor& expected, int tolerance = 10)
{
    return TestImages::colourDistance(actual, expected.rgb()) <= tolerance;
}

QStringList filesIn(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden);
    while (it.hasNext())
        files << it.next();
    return files;
}

}  // namespace

// Rendering a print row's photograph to its print format, as the laboratory receives it.
class tst_PrintRendering : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void formatSizeAndFileProperties_data();
    void formatSizeAndFileProperties();
    void pictureLandsInPlace();
    void orientedPhotoPrintedUpright();
    void qualityFollowsSetting_data();
    void qualityFollowsSetting();
    void embeddedProfileConverted();
    void outsideCropAndTransparencyPrintWhite();
    void failuresWriteNothing_data();
    void failuresWriteNothing();
    void shrinkOnLoadMatchesFullDecode_data();
    void shrinkOnLoadMatchesFullDecode();
    void renderedFilesAreUniqueAndPrivate();
    void missingProfileFileLeavesItOut();
    void printRowTakesFormatFromCatalogue_data();
    void printRowTakesFormatFromCatalogue();
    void imagePropertiesRewritten();

private:
    PrintImageRenderer::Job job(const QString& photo, int type, const QSize& format,
                                const QRectF& crop = QRectF()) const;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QByteArray m_srgb;
};

PrintImageRenderer::Job tst_PrintRendering::job(const QString& photo, int type,
                                                const QSize& format, const QRectF& crop) const
{
    PrintImageRenderer::Job job;
    job.imagePath = path(photo);
    job.transformationType = type;
    job.cropRect = crop;
    job.formatSize = format;
    job.dpi = 300;
    job.iccProfilePath = TestImages::srgbProfilePath();
    job.jpegQuality = 95;
    return job;
}

void tst_PrintRendering::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_srgb = fileBytes(TestImages::srgbProfilePath());
    QVERIFY(!m_srgb.isEmpty());

    QVERIFY(TestImages::writeJpeg(path("landscape.jpg"), TestImages::quadrants(QSize(400, 300))));
    QVERIFY(TestImages::writeJpeg(path("portrait.jpg"), TestImages::quadrants(QSize(300, 400))));
    QVERIFY(TestImages::writeJpeg(path("wide.jpg"), TestImages::quadrants(QSize(400, 250))));
    QVERIFY(TestImages::writeJpeg(path("a.b.jpg"), TestImages::quadrants(QSize(3000, 2000)), 80));
    QVERIFY(TestImages::writeJpegTurnedWithOrientation6(path("turned.jpg"),
                                                        TestImages::quadrants(QSize(300, 400))));
    QVERIFY(TestImages::writeJpeg(path("photo.jpg"), TestImages::photoLike(QSize(1600, 1200))));
    QVERIFY(TestImages::writeJpegTurnedWithOrientation6(
        path("photo-turned.jpg"), TestImages::photoLike(QSize(1200, 1600), 2)));
    const QByteArray detailed = TestImages::jpegBytes(TestImages::photoLike(QSize(800, 600)));
    QVERIFY(TestImages::writeFile(path("truncated.jpg"), detailed.left(detailed.size() * 2 / 3)));
    QVERIFY(TestImages::writeFile(path("notes.jpg"), "Not an image.\n"));
    QVERIFY(TestImages::writeFile(
        path("stray-bytes.jpg"),
        TestImages::withExtraneousBytes(TestImages::jpegBytes(TestImages::quadrants(QSize(400, 300))))));

    QImage transparent(400, 300, QImage::Format_ARGB32);
    transparent.fill(Qt::transparent);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 200; ++x)
            transparent.setPixel(x, y, qRgb(30, 40, 210));
    QVERIFY(transparent.save(path("transparent.png")));

    QString error;
    QVERIFY2(catalogfixture::buildFixture(path("korvex.s3db"), &error), qPrintable(error));
    KorvexGlobals::SqlDbHost = path("korvex.s3db");
    KorvexGlobals::iccColorProfileLocation = TestImages::srgbProfilePath();
}

void tst_PrintRendering::cleanup()
{
    for (const QString& file : filesIn(PrintImageRenderer::temporaryFolder()))
        QFile::remove(file);
}

void tst_PrintRendering::formatSizeAndFileProperties_data()
{
    QTest::addColumn<QString>("photo");
    QTest::addColumn<int>("type");
    QTest::addColumn<QRectF>("crop");
    QTest::addColumn<QSize>("format");
    QTest::addColumn<QSize>("expected");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("landscape photo turns a portrait format")
        << "landscape.jpg" << 1 << QRectF() << QSize(180, 240) << QSize(240, 180) << "_adjusted";
    QTest::newRow("portrait photo keeps a portrait format")
        << "portrait.jpg" << 1 << QRectF() << QSize(180, 240) << QSize(180, 240) << "_adjusted";
    QTest::newRow("portrait photo turns a landscape format")
        << "portrait.jpg" << 1 << QRectF() << QSize(240, 180) << QSize(180, 240) << "_adjusted";
    QTest::newRow("crop scaled to the format, not padded")
        << "a.b.jpg" << 2 << QRectF(833.4, 0, 1333.5, 2000) << QSize(1181, 1772)
        << QSize(1181, 1771) << "_cropped";
    QTest::newRow("portrait crop turns a landscape format")
        << "landscape.jpg" << 2 << QRectF(100, 0, 150, 200) << QSize(240, 180) << QSize(180, 240)
        << "_cropped";
    QTest::newRow("unset crop fits the whole photo, unturned")
        << "landscape.jpg" << 2 << QRectF(0, 0, 0, 0) << QSize(180, 240) << QSize(180, 135)
        << "_cropped";
    QTest::newRow("decoder warning about stray bytes")
        << "stray-bytes.jpg" << 1 << QRectF() << QSize(200, 150) << QSize(200, 150) << "_adjusted";
    QTest::newRow("no transformation keeps the photo")
        << "landscape.jpg" << 0 << QRectF() << QSize(180, 240) << QSize(400, 300) << "";
}

void tst_PrintRendering::formatSizeAndFileProperties()
{
    QFETCH(QString, photo);
    QFETCH(int, type);
    QFETCH(QRectF, crop);
    QFETCH(QSize, format);
    QFETCH(QSize, expected);
    QFETCH(QString, suffix);

    const QString rendered = PrintImageRenderer::renderToFile(job(photo, type, format, crop));
    QCOMPARE(QFileInfo(rendered).absolutePath(), PrintImageRenderer::temporaryFolder());
    QVERIFY2(QFileInfo(rendered).fileName().startsWith(QFileInfo(photo).baseName() + suffix + "-"),
             qPrintable(rendered));
    QVERIFY(rendered.endsWith(".jpg"));
    const RenderedFile file = inspect(rendered);
    QCOMPARE(file.magick, QByteArray("JPEG"));
    QCOMPARE(file.pixels.size(), expected);
    QCOMPARE(file.units, Magick::PixelsPerInchResolution);
    QCOMPARE(file.density, QSizeF(300, 300));
    QCOMPARE(file.icc, m_srgb);
    QVERIFY(file.exif.isEmpty());
}

void tst_PrintRendering::pictureLandsInPlace()
{
    // Same aspect: each quadrant fills its quarter of the print.
    RenderedFile file =
        inspect(PrintImageRenderer::renderToFile(job("landscape.jpg", 1, QSize(480, 360))));
    const QPoint centres[] = {{120, 90}, {360, 90}, {360, 270}, {120, 270}};
    for (int i = 0; i < 4; ++i)
        QVERIFY2(near(file.pixels.pixel(centres[i]), TestImages::quadrantColour(i)),
                 qPrintable(QString("quadrant %1").arg(i)));

    // 400 x 250 fitted into 240 x 180: 240 x 150 of picture, white bands of 15 rows.
    file = inspect(PrintImageRenderer::renderToFile(job("wide.jpg", 1, QSize(240, 180))));
    QCOMPARE(file.pixels.size(), QSize(240, 180));
    for (int x : {10, 120, 230}) {
        // (rows away from the JPEG blocks that hold an edge of the picture)
        QVERIFY(near(file.pixels.pixel(x, 1), Qt::white, 3));
        QVERIFY(near(file.pixels.pixel(x, 6), Qt::white, 3));
        QVERIFY(near(file.pixels.pixel(x, 170), Qt::white, 3));
        QVERIFY(near(file.pixels.pixel(x, 175), Qt::white, 3));
        QVERIFY(!near(file.pixels.pixel(x, 18), Qt::white, 60));
        QVERIFY(!near(file.pixels.pixel(x, 162), Qt::white, 60));
    }
    QVERIFY(near(file.pixels.pixel(60, 50), TestImages::quadrantColour(0)));
    QVERIFY(near(file.pixels.pixel(180, 130), TestImages::quadrantColour(2)));

    // The crop of the top-right quadrant is all green.
    file = inspect(PrintImageRenderer::renderToFile(
        job("landscape.jpg", 2, QSize(240, 180), QRectF(200, 0, 200, 150))));
    QCOMPARE(file.pixels.size(), QSize(240, 180));
    for (const QPoint& p : {QPoint(5, 5), QPoint(234, 5), QPoint(5, 174), QPoint(234, 174)})
        QVERIFY(near(file.pixels.pixel(p), TestImages::quadrantColour(1)));
}

void tst_PrintRendering::orientedPhotoPrintedUpright()
{
    // Stored landscape, shown portrait: the landscape format is turned to the upright photo.
    RenderedFile file =
        inspect(PrintImageRenderer::renderToFile(job("turned.jpg", 1, QSize(240, 320))));
    QCOMPARE(file.pixels.size(), QSize(240, 320));
    const QPoint centres[] = {{60, 80}, {180, 80}, {180, 240}, {60, 240}};
    for (int i = 0; i < 4; ++i)
        QVERIFY2(near(file.pixels.pixel(centres[i]), TestImages::quadrantColour(i)),
                 qPrintable(QString("quadrant %1").arg(i)));
    QVERIFY(file.orientation == Magick::UndefinedOrientation
            || file.orientation == Magick::TopLeftOrientation);
    QVERIFY(file.exif.isEmpty());

    // The crop rectangle refers to the upright photo: its bottom-left quadrant is blue.
    file = inspect(PrintImageRenderer::renderToFile(
        job("turned.jpg", 2, QSize(120, 160), QRectF(0, 200, 150, 200))));
    QCOMPARE(file.pixels.size(), QSize(120, 160));
    for (const QPoint& p : {QPoint(3, 3), QPoint(116, 3), QPoint(3, 156), QPoint(116, 156)})
        QVERIFY(near(file.pixels.pixel(p), TestImages::quadrantColour(3)));
}

void tst_PrintRendering::qualityFollowsSetting_data()
{
    QTest::addColumn<int>("quality");
    QTest::newRow("80") << 80;
    QTest::newRow("100") << 100;
}

void tst_PrintRendering::qualityFollowsSetting()
{
    QFETCH(int, quality);
    PrintImageRenderer::Job photo = job("photo.jpg", 1, QSize(300, 225));
    photo.jpegQuality = quality;
    const RenderedFile file = inspect(PrintImageRenderer::renderToFile(photo));
    QCOMPARE(int(file.quality), quality);
}

void tst_PrintRendering::embeddedProfileConverted()
{
    // A colour inside both gamuts, given in Adobe RGB (1998): (100, 150, 200) there is about
    // (66, 151, 203) in sRGB.
    const QColor adobe(100, 150, 200);
    QVERIFY(TestImages::writeJpegWithProfile(path("adobe.jpg"), QSize(64, 48), adobe,
                                             TestImages::adobeRgbProfilePath()));
    const RenderedFile file =
        inspect(PrintImageRenderer::renderToFile(job("adobe.jpg", 1, QSize(128, 96))));
    const QRgb centre = file.pixels.pixel(64, 48);
    QVERIFY2(near(centre, QColor(66, 151, 203), 4),
             qPrintable(QString("%1 %2 %3").arg(qRed(centre)).arg(qGreen(centre)).arg(qBlue(centre))));
    QCOMPARE(file.icc, m_srgb);
}

void tst_PrintRendering::outsideCropAndTransparencyPrintWhite()
{
    // The crop's right half lies beyond the photo's right edge.
    RenderedFile file = inspect(PrintImageRenderer::renderToFile(
        job("landscape.jpg", 2, QSize(200, 150), QRectF(300, 0, 200, 150))));
    QCOMPARE(file.pixels.size(), QSize(200, 150));
    QVERIFY(near(file.pixels.pixel(40, 75), TestImages::quadrantColour(1)));
    QVERIFY(near(file.pixels.pixel(160, 75), Qt::white, 3));

    for (int type : {1, 2, 0}) {
        file = inspect(PrintImageRenderer::renderToFile(job("transparent.png", type, QSize(400, 300))));
        QVERIFY(near(file.pixels.pixel(100, 150), QColor(30, 40, 210)));
        QVERIFY2(near(file.pixels.pixel(300, 150), Qt::white, 3), qPrintable(QString::number(type)));
    }
}

void tst_PrintRendering::failuresWriteNothing_data()
{
    QTest::addColumn<QString>("photo");
    QTest::addColumn<QSize>("format");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<QRectF>("crop");
    QTest::newRow("truncated JPEG") << "truncated.jpg" << QSize(180, 120) << 300 << QRectF();
    QTest::newRow("not an image") << "notes.jpg" << QSize(180, 120) << 300 << QRectF();
    QTest::newRow("missing photo") << "missing.jpg" << QSize(180, 120) << 300 << QRectF();
    QTest::newRow("format 0 x 0") << "landscape.jpg" << QSize(0, 0) << 300 << QRectF();
    QTest::newRow("format with one side 0") << "landscape.jpg" << QSize(180, 0) << 300 << QRectF();
    QTest::newRow("no resolution") << "landscape.jpg" << QSize(180, 120) << 0 << QRectF();
    QTest::newRow("crop without width") << "landscape.jpg" << QSize(180, 120) << 300
                                        << QRectF(10, 10, 0, 50);
}

void tst_PrintRendering::failuresWriteNothing()
{
    QFETCH(QString, photo);
    QFETCH(QSize, format);
    QFETCH(int, dpi);
    QFETCH(QRectF, crop);
    PrintImageRenderer::Job failing = job(photo, crop.isNull() ? 1 : 2, format, crop);
    failing.dpi = dpi;
    try {
        PrintImageRenderer::renderToFile(failing);
        QFAIL("rendered");
    } catch (const Korvex2Exception& e) {
        QVERIFY(e.code.empty());
        QVERIFY(!e.message.empty());
    }
    QCOMPARE(filesIn(PrintImageRenderer::temporaryFolder()), QStringList());
}

// Decoding a JPEG at a reduced scale gives the print of a full decode, also for a crop, whose
// rectangle keeps at least the print's size at that scale.
void tst_PrintRendering::shrinkOnLoadMatchesFullDecode_data()
{
    QTest::addColumn<QString>("photo");
    QTest::addColumn<int>("type");
    QTest::addColumn<QRectF>("crop");
    QTest::addColumn<QSize>("format");
    QTest::newRow("fit") << "photo.jpg" << 1 << QRectF() << QSize(480, 360);
    QTest::newRow("fit with bands") << "photo.jpg" << 1 << QRectF() << QSize(480, 300);
    QTest::newRow("crop") << "photo.jpg" << 2 << QRectF(401.3, 250.6, 600.5, 400.2) << QSize(240, 160);
    QTest::newRow("turned photo, fit") << "photo-turned.jpg" << 1 << QRectF() << QSize(480, 360);
    QTest::newRow("turned photo, crop") << "photo-turned.jpg" << 2
                                        << QRectF(100.4, 700.7, 600.2, 800.5) << QSize(180, 240);
}

void tst_PrintRendering::shrinkOnLoadMatchesFullDecode()
{
    QFETCH(QString, photo);
    QFETCH(int, type);
    QFETCH(QRectF, crop);
    QFETCH(QSize, format);
    PrintImageRenderer::Job fast = job(photo, type, format, crop);
    PrintImageRenderer::Job full = fast;
    full.shrinkOnLoad = false;
    const QImage a = PrintImageRenderer::renderImage(fast);
    const QImage b = PrintImageRenderer::renderImage(full);
    QCOMPARE(a.size(), b.size());
    const double psnr = TestImages::psnr(a, b);
    QVERIFY2(psnr >= 40, qPrintable(QString::number(psnr)));
}

void tst_PrintRendering::renderedFilesAreUniqueAndPrivate()
{
    QVERIFY(QDir(m_dir.path()).mkpath("one") && QDir(m_dir.path()).mkpath("two"));
    QVERIFY(TestImages::writeJpeg(path("one/IMG_0042.JPG"), TestImages::quadrants(QSize(40, 30))));
    QVERIFY(TestImages::writeJpeg(path("two/IMG_0042.JPG"), TestImages::quadrants(QSize(30, 40))));
    const QString first = PrintImageRenderer::renderToFile(job("one/IMG_0042.JPG", 1, QSize(40, 30)));
    const QString second = PrintImageRenderer::renderToFile(job("two/IMG_0042.JPG", 1, QSize(40, 30)));
    const QString again = PrintImageRenderer::renderToFile(job("one/IMG_0042.JPG", 1, QSize(40, 30)));
    QCOMPARE(QSet<QString>({first, second, again}).size(), 3);
    QCOMPARE(inspect(first).pixels.size(), QSize(40, 30));
    QCOMPARE(inspect(second).pixels.size(), QSize(30, 40));

    const QFileInfo folder(PrintImageRenderer::temporaryFolder());
    QVERIFY(folder.isDir());
    QCOMPARE(folder.ownerId(), uint(getuid()));
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
                                      | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QCOMPARE(folder.permissions() & others, QFile::Permissions());
    QVERIFY(folder.absoluteFilePath().startsWith(QDir::tempPath() + "/Korvex2-"));
}

void tst_PrintRendering::missingProfileFileLeavesItOut()
{
    PrintImageRenderer::Job withoutProfile = job("landscape.jpg", 1, QSize(200, 150));
    withoutProfile.iccProfilePath = path("missing.icc");
    QTest::ignoreMessage(QtDebugMsg, "ImageMagick++: Unable to open target color profile");
    const RenderedFile file = inspect(PrintImageRenderer::renderToFile(withoutProfile));
    QCOMPARE(file.pixels.size(), QSize(200, 150));
    QCOMPARE(file.density, QSizeF(300, 300));
    QVERIFY(file.icc.isEmpty());
}

// The row upload's call: the product's format from the local catalogue, quality and profile
// from the settings.
void tst_PrintRendering::printRowTakesFormatFromCatalogue_data()
{
    QTest::addColumn<int>("idStampa");
    QTest::addColumn<QSize>("expected");
    QTest::addColumn<QString>("error");
    const QString unavailable = "L'articolo n°%1 associato all'ordine non è disponibile. Si prega "
                                "di aggiornare il database dei prodotti.";
    QTest::newRow("landscape 1800 x 1200") << 1 << QSize(1800, 1200) << QString();
    QTest::newRow("portrait 1200 x 1800 turned") << 4 << QSize(1800, 1200) << QString();
    QTest::newRow("product missing") << 42 << QSize() << unavailable.arg("ST42");
    QTest::newRow("format missing") << 8 << QSize() << unavailable.arg("ST8");
    QTest::newRow("format without resolution") << 6 << QSize() << "";
    QTest::newRow("product with format 0") << 7 << QSize() << "";
}

void tst_PrintRendering::printRowTakesFormatFromCatalogue()
{
    QFETCH(int, idStampa);
    QFETCH(QSize, expected);
    QFETCH(QString, error);
    OrdiniLocal::OrdineRigaStampaLocal riga;
    riga.Codice = QString("ST%1").arg(idStampa);
    riga.IdStampa = idStampa;
    riga.FilePath = path("landscape.jpg");
    riga.Transformation.Type = 1;
    KorvexGlobals::JpegCompressionQuality = 80;
    try {
        const RenderedFile file = inspect(PrintImageRenderer::renderOrdineRigaStampa(riga));
        QVERIFY2(expected.isValid(), "rendered");
        QCOMPARE(file.pixels.size(), expected);
        QCOMPARE(file.density, QSizeF(300, 300));
        QCOMPARE(int(file.quality), 80);
        QCOMPARE(file.icc, m_srgb);
    } catch (const Korvex2Exception& e) {
        QVERIFY2(!expected.isValid(), e.message.c_str());
        QVERIFY(!e.message.empty());
        if (!error.isEmpty())
            QCOMPARE(QString::fromStdString(e.message), error);
        QCOMPARE(filesIn(PrintImageRenderer::temporaryFolder()), QStringList());
    }
}

void tst_PrintRendering::imagePropertiesRewritten()
{
    QVERIFY(QFile::copy(path("landscape.jpg"), path("properties.jpg")));
    QVERIFY(PrintImageRenderer::setImageDpi(path("properties.jpg"), 150));
    RenderedFile file = inspect(path("properties.jpg"));
    QCOMPARE(file.density, QSizeF(150, 150));
    QVERIFY(file.icc.isEmpty());
    QCOMPARE(int(file.quality), 95);

    QVERIFY(PrintImageRenderer::setImageProperties(path("properties.jpg"), 300, true));
    file = inspect(path("properties.jpg"));
    QCOMPARE(file.density, QSizeF(300, 300));
    QCOMPARE(file.units, Magick::PixelsPerInchResolution);
    QCOMPARE(file.icc, m_srgb);

    QVERIFY(!PrintImageRenderer::setImageProperties(path("missing.jpg"), 300, true));
    QVERIFY(!PrintImageRenderer::setImageDpi(path("missing.jpg"), 300));
    QVERIFY(!PrintImageRenderer::setImageProperties(path("notes.jpg"), 300, true));
    QVERIFY(!PrintImageRenderer::setImageProperties(QString(), 300, true));
}

QTEST_GUILESS_MAIN(tst_PrintRendering)
#include "tst_printrendering.moc"
