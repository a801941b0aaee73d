#include "printimagerenderer.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>

#include <Magick++.h>

#include <QDebug>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "imagecompose.h"
#include "imageutility.h"
#include "korvex2exception.h"
#include "korvexglobals.h"
#include "magickimage.h"

namespace {

Korvex2Exception failure(const QString& message)
{
    return Korvex2Exception(std::string(), message.toUtf8().toStdString());
}

QString sizeText(const QSize& size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

bool landscape(const QSizeF& size)
{
    return size.width() > size.height();
}

bool portrait(const QSizeF& size)
{
    return size.width() < size.height();
}

// The format turned to the picture's orientation; a square format or picture leaves it.
QSize orientedFormat(QSize format, const QSizeF& picture)
{
    if ((landscape(format) && portrait(picture)) || (portrait(format) && landscape(picture)))
        format.transpose();
    return format;
}

QRect roundedRect(const QRectF& rect)
{
    return QRect(qRound(rect.left()), qRound(rect.top()), qRound(rect.width()),
                 qRound(rect.height()));
}

bool wholePicture(const QRect& crop)
{
    return crop.width() == 0 && crop.height() == 0;
}

// Scale at which a side of `full` pixels was decoded into `decoded` pixels. A JPEG decoder
// reduces by M/8 and rounds the size up; its scale is then exactly M/8.
double decodeScale(int decoded, int full)
{
    if (decoded == full)
        return 1.0;
    for (int m = 1; m < 8; ++m) {
        if (int(std::ceil(full * m / 8.0)) == decoded)
            return m / 8.0;
    }
    return double(decoded) / full;
}

// The area of the picture (fractional pixels where the picture was decoded at a reduced scale)
// scaled to target; the background shows where the area leaves the picture.
QImage scaleArea(const QImage& picture, const QRectF& area, const QSize& target)
{
    const QRect bound = area.toAlignedRect();
    const QImage part = ImageCompose::cropOnBackground(picture, bound, Qt::white);
    if (part.isNull())
        return part;
    const QRectF local = area.translated(-bound.topLeft());
    if (QRectF(part.rect()) == local && part.size() == target)
        return part;
    constexpr double tolerance = 1e-6;
    if (target.width() <= local.width() + tolerance && target.height() <= local.height() + tolerance)
        return ImageCompose::reduceArea(part, local, target);
    return part.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Size a JPEG decoder must at least produce so that `covered` pixels of the upright picture
// still give `target` pixels; invalid when only the full size will do.
QSize shrinkHint(const QSize& stored, const QSize& covered, const QSize& target)
{
    if (target.isEmpty() || covered.isEmpty())
        return QSize();
    const double scale = std::max(double(target.width()) / covered.width(),
                                  double(target.height()) / covered.height());
    if (scale >= 1.0)
        return QSize();
    return QSize(int(std::ceil(scale * stored.width())), int(std::ceil(scale * stored.height())));
}

int encoderQuality(int quality)
{
    // As Qt's encoder takes it: a negative value asks for the encoder's default.
    if (quality < 0)
        return 75;
    return std::clamp(quality, 1, 100);
}

QString nextFileName(const QString& folder, const QString& imagePath, int type)
{
    static std::atomic<unsigned> counter{0};
    QString suffix;
    if (type == PrintImageRenderer::Crop)
        suffix = QStringLiteral("_cropped");
    else if (type == PrintImageRenderer::Fit)
        suffix = QStringLiteral("_adjusted");
    return QStringLiteral("%1/%2%3-%4.jpg")
        .arg(folder, QFileInfo(imagePath).baseName(), suffix)
        .arg(++counter);
}

}  // namespace

QImage PrintImageRenderer::renderImage(const Job& job)
{
    qDebug().noquote() << "imageFileName: " + job.imagePath;
    if (job.formatSize.width() < 1 || job.formatSize.height() < 1 || job.dpi < 1) {
        throw failure(tr("Il formato di stampa dell'immagine %1 non è valido (%2 pixel, %3 dpi).")
                          .arg(job.imagePath, sizeText(job.formatSize))
                          .arg(job.dpi));
    }

    try {
        const MagickImage::Header header = MagickImage::ping(job.imagePath);
        const QSize upright = header.uprightSize;
        qDebug().noquote() << "imageSize: " + sizeText(upright);
        qDebug().noquote() << "Formato: " + sizeText(job.formatSize);

        // Geometry on the upright photograph at full size: the region that is printed and
        // the size it takes in the print.
        QSize format = job.formatSize;
        QRect region;
        QSize target;
        if (job.transformationType == Crop) {
            format = orientedFormat(format, job.cropRect.size());
            region = roundedRect(job.cropRect);
            if (!wholePicture(region) && (region.width() <= 0 || region.height() <= 0)) {
                throw failure(tr("L'area di ritaglio dell'immagine %1 non è valida.")
                                  .arg(job.imagePath));
            }
            target = imageUtility::calculateThumbSize(
                wholePicture(region) ? upright : region.size(), format);
        } else if (job.transformationType == Fit) {
            format = orientedFormat(format, upright);
            target = imageUtility::calculateThumbSize(upright, format);
        } else {
            target = upright;
        }

        QSize hint;
        if (job.shrinkOnLoad && header.jpeg)
            hint = shrinkHint(header.storedSize,
                              wholePicture(region) ? upright : region.size(), target);

        const QByteArray profile = MagickImage::readProfile(job.iccProfilePath);
        qDebug().noquote() << job.iccProfilePath;
        if (profile.isEmpty())
            qDebug().noquote() << "Unable to open target color profile";
        Magick::Image image;
        MagickImage::read(image, job.imagePath, hint);
        MagickImage::orientUpright(image);
        MagickImage::convertToProfile(image, profile);
        const QImage picture = MagickImage::toQImage(image);
        image = Magick::Image();

        const double sx = decodeScale(picture.width(), upright.width());
        const double sy = decodeScale(picture.height(), upright.height());
        const QRectF area = job.transformationType == Crop && !wholePicture(region)
                                ? QRectF(region.left() * sx, region.top() * sy,
                                         region.width() * sx, region.height() * sy)
                                : QRectF(0, 0, upright.width() * sx, upright.height() * sy);
        QImage rendering = scaleArea(picture, area, target);
        if (job.transformationType == Fit)
            rendering = ImageCompose::fitOnBackground(rendering, format, target, Qt::white, true);
        if (rendering.isNull())
            throw failure(tr("Impossibile preparare l'immagine %1 per la stampa.")
                              .arg(job.imagePath));
        qDebug().noquote() << "transfImageSize: " + sizeText(rendering.size());
        return rendering;
    } catch (const Magick::Exception& e) {
        qDebug().noquote() << QStringLiteral("loadImage: %1").arg(QString::fromUtf8(e.what()));
        throw Korvex2Exception(std::string(), e.what());
    }
}

QByteArray PrintImageRenderer::encode(const QImage& rendering, int dpi,
                                      const QString& iccProfilePath, int jpegQuality)
{
    try {
        Magick::Image image;
        MagickImage::fromQImage(rendering, image);
        image.magick("JPEG");
        image.quality(size_t(encoderQuality(jpegQuality)));
        image.resolutionUnits(Magick::PixelsPerInchResolution);
        image.density(Magick::Geometry(size_t(dpi), size_t(dpi)));
        const QByteArray profile = MagickImage::readProfile(iccProfilePath);
        qDebug().noquote() << iccProfilePath;
        if (profile.isEmpty())
            qDebug().noquote() << "ImageMagick++: Unable to open target color profile";
        else
            image.profile("ICC", Magick::Blob(profile.constData(), size_t(profile.size())));
        Magick::Blob blob;
        image.write(&blob);
        return QByteArray(static_cast<const char*>(blob.data()), int(blob.length()));
    } catch (const Magick::Exception& e) {
        qDebug().noquote() << QStringLiteral("ImageMagick++: %1").arg(QString::fromUtf8(e.what()));
        throw Korvex2Exception(std::string(), e.what());
    }
}

QString PrintImageRenderer::renderToFile(const Job& job)
{
    const QImage rendering = renderImage(job);
    const QByteArray jpeg = encode(rendering, job.dpi, job.iccProfilePath, job.jpegQuality);

    const QString folder = temporaryFolder();
    if (folder.isEmpty())
        throw failure(tr("Impossibile creare la cartella temporanea delle immagini da stampare."));
    const QString fileName = nextFileName(folder, job.imagePath, job.transformationType);
    qDebug().noquote() << "transfImageFileName: " + fileName;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size() || !file.commit()) {
        throw failure(tr("Impossibile scrivere l'immagine da stampare %1: %2")
                          .arg(fileName, file.errorString()));
    }
    return fileName;
}

QString PrintImageRenderer::getOrdineRigaStampaImageTransformedFileName(
    QString path, OrdiniLocal::StampaLocalTransformation transformation, QSize formatSize, int dpi)
{
    Job job;
    job.imagePath = path;
    job.transformationType = transformation.Type;
    job.cropRect = transformation.CropRect;
    job.formatSize = formatSize;
    job.dpi = dpi;
    job.iccProfilePath = KorvexGlobals::iccColorProfileLocation;
    job.jpegQuality = KorvexGlobals::JpegCompressionQuality;
    return renderToFile(job);
}

QString PrintImageRenderer::renderOrdineRigaStampa(const OrdiniLocal::OrdineRigaStampaLocal& riga)
{
    OrdiniLocal ordiniLocal;
    const OrdiniLocal::StampaLocal stampa = ordiniLocal.StampaLocalFromDb(riga.IdStampa);
    if (stampa.id < 1 || stampa.formato.id < 1) {
        throw failure(QCoreApplication::translate(
                          "OrdineUploadThread",
                          "L'articolo n°%1 associato all'ordine non è disponibile. Si prega di "
                          "aggiornare il database dei prodotti.")
                          .arg(riga.Codice));
    }
    return getOrdineRigaStampaImageTransformedFileName(
        riga.FilePath, riga.Transformation,
        QSize(stampa.formato.colonna3, stampa.formato.colonna4), stampa.formato.colonna5);
}

namespace {

bool rewriteWithResolution(const QString& path, unsigned int dpi, bool embedProfile)
{
    try {
        Magick::Image image;
        MagickImage::read(image, path);
        image.resolutionUnits(Magick::PixelsPerInchResolution);
        image.density(Magick::Geometry(dpi, dpi));
        if (embedProfile) {
            qDebug().noquote() << KorvexGlobals::iccColorProfileLocation;
            const QByteArray profile = MagickImage::readProfile(KorvexGlobals::iccColorProfileLocation);
            if (profile.isEmpty())
                qDebug().noquote() << "ImageMagick++: Unable to open target color profile";
            else
                image.profile("ICC", Magick::Blob(profile.constData(), size_t(profile.size())));
        }
        // A JPEG read by Magick++ keeps the quality its tables tell, and is written with it.
        image.write(path.toUtf8().toStdString());
        return true;
    } catch (const Magick::Exception& e) {
        qDebug().noquote() << QStringLiteral("ImageMagick++: %1").arg(QString::fromUtf8(e.what()));
    } catch (...) {
        qDebug().noquote() << "ImageMagick++: Errore sconosciuto";
    }
    return false;
}

}  // namespace

bool PrintImageRenderer::setImageProperties(const QString& path, unsigned int dpi, bool embedProfile)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    return rewriteWithResolution(path, dpi, embedProfile);
}

bool PrintImageRenderer::setImageDpi(const QString& path, unsigned int dpi)
{
    if (path.isEmpty())
        return false;
    return rewriteWithResolution(path, dpi, false);
}

QString PrintImageRenderer::temporaryFolder()
{
    static std::mutex mutex;
    static std::unique_ptr<QTemporaryDir> folder;
    std::lock_guard<std::mutex> lock(mutex);
    if (!folder || !folder->isValid() || !QFileInfo::exists(folder->path())) {
        const QString base = QStandardPaths::standardLocations(QStandardPaths::TempLocation).value(0);
        folder = std::make_unique<QTemporaryDir>(base + QStringLiteral("/Korvex2-XXXXXX"));
        if (!folder->isValid())
            return QString();
    }
    return folder->path();
}
