#include "articolostampafotograficafotoprintmodel.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QIcon>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QSet>
#include <QtConcurrent>

#include "korvex2exception.h"
#include "korvexglobals.h"

QSize ArticoloStampaFotograficaFotoPrintModel::thumbsSize(140, 140);
QMap<QString, QImage> ArticoloStampaFotograficaFotoPrintModel::m_images;
QMap<QString, QSize> ArticoloStampaFotograficaFotoPrintModel::fileSizes;

namespace {

// The key under which a row's file is kept: its absolute path (nothing for an empty path).
QString absolutePathOf(const QString &path)
{
    return path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
}

int roundHalfUp(double value)
{
    return int(std::floor(value + 0.5));
}

// Adds uses of a key (negative: takes them away); a key without uses leaves the counts.
template <typename Key>
void addUses(QHash<Key, int> &counts, const Key &key, int uses)
{
    auto found = counts.find(key);
    if (found == counts.end())
        found = counts.insert(key, 0);
    *found += uses;
    if (*found <= 0)
        counts.erase(found);
}

// Print size turned to the orientation of box; a square size or box turns nothing.
QSize turnedTo(QSize size, const QSize &box)
{
    if ((size.width() > size.height() && box.height() > box.width())
        || (size.width() < size.height() && box.width() > box.height()))
        size.transpose();
    return size;
}

} // namespace

ArticoloStampaFotograficaFotoPrintModel::ArticoloStampaFotograficaFotoPrintModel(QObject *parent)
    : QAbstractListModel(parent)
    , scalingWatcher(new QFutureWatcher<ResizedImageInfo>())
{
    placeholderImage = QImage(QStringLiteral(":/Resource/256x256/photo.png"))
                           .convertToFormat(QImage::Format_ARGB32);
    warningImage = QImage(QStringLiteral(":/Resource/128x128/warning.png"))
                       .convertToFormat(QImage::Format_ARGB32);
    if (!fileSizes.isEmpty())
        fileSizes.clear();
    thumbsSize = QSize(140, 140);
    connect(scalingWatcher, &QFutureWatcher<ResizedImageInfo>::resultReadyAt, this,
            &ArticoloStampaFotograficaFotoPrintModel::updateThumb);
    connect(scalingWatcher, &QFutureWatcher<ResizedImageInfo>::finished, this,
            &ArticoloStampaFotograficaFotoPrintModel::onImageScalingFinished);
}

ArticoloStampaFotograficaFotoPrintModel::~ArticoloStampaFotograficaFotoPrintModel()
{
    // The jobs hold nothing of the model, but none is left running behind it: a cancelled
    // batch starts no further file, so this waits for the files being read at most.
    scalingWatcher->disconnect(this);
    scalingWatcher->cancel();
    scalingWatcher->waitForFinished();
    delete scalingWatcher;
    filesToScale.clear();
    m_images.clear();
    fileSizes.clear();
}

int ArticoloStampaFotograficaFotoPrintModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : righeStampa.size();
}

int ArticoloStampaFotograficaFotoPrintModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant ArticoloStampaFotograficaFotoPrintModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.column() != 0
        || index.row() >= righeStampa.size())
        return QVariant();
    if (role == Qt::ToolTipRole)
        return generateItemTooltip(index);
    // What a screen reader reads of the print: the painted caption tells no print apart.
    if (role == Qt::AccessibleTextRole)
        return accessibleText(righeStampa.at(index.row()));
    if (role == Qt::AccessibleDescriptionRole)
        return accessibleDescription(righeStampa.at(index.row()));
    if (role == Qt::DecorationRole) {
        if (thumbsSize.width() < 1 || thumbsSize.height() < 1)
            return QVariant();
        QPixmap pixmap(thumbsSize);
        pixmap.fill(Qt::white);
        {
            QPainter painter(&pixmap);
            drawFotoPreview(&painter, pixmap.rect(), righeStampa.at(index.row()));
        }
        return QIcon(pixmap);
    }
    return QVariant();
}

bool ArticoloStampaFotograficaFotoPrintModel::removeRows(int row, int count,
                                                        const QModelIndex &parent)
{
    if (row < 0 || count < 1 || row >= righeStampa.size() || row + count > righeStampa.size())
        return false;
    beginRemoveRows(parent, row, row + count - 1);
    const QList<OrdiniLocal::OrdineRigaStampaLocal> removed = righeStampa.mid(row, count);
    righeStampa.erase(righeStampa.begin() + row, righeStampa.begin() + row + count);
    // The rows after the block moved up.
    m_rowsOfPath.clear();
    m_rowsOfPathStale = true;
    for (const OrdiniLocal::OrdineRigaStampaLocal &riga : removed)
        countRow(riga, -1);
    // A file or a product of a removed row leaves the caches when no row left uses it, as if
    // the rows had gone one by one.
    for (const OrdiniLocal::OrdineRigaStampaLocal &riga : removed) {
        if (!m_pathUses.contains(riga.FilePath)) {
            forgetInvalidFile(riga.FilePath);
            m_images.remove(riga.FilePath);
        }
        if (!m_stampaUses.contains(riga.IdStampa))
            stampeMap.remove(riga.IdStampa);
        forgetFailedPath(riga.FilePath);
    }
    endRemoveRows();
    return true;
}

void ArticoloStampaFotograficaFotoPrintModel::removeAllRows()
{
    removeRows(0, rowCount(), QModelIndex());
}

void ArticoloStampaFotograficaFotoPrintModel::addStampa(OrdiniLocal::OrdineRigaStampaLocal riga)
{
    const int n = righeStampa.size();
    beginInsertRows(QModelIndex(), n, n);
    righeStampa.append(riga);
    countRow(riga, 1);
    if (!m_rowsOfPathStale)
        m_rowsOfPath[riga.FilePath].append(n);
    endInsertRows();
    forgetFailedPath(riga.FilePath);
    noteInvalidFile(riga.FilePath);
    addStampaLocalToStampeMap(riga.IdStampa);
}

void ArticoloStampaFotograficaFotoPrintModel::editStampa(OrdiniLocal::OrdineRigaStampaLocal riga,
                                                        const QModelIndex &index)
{
    if (!index.isValid() || index.row() < 0 || index.column() < 0
        || index.row() >= righeStampa.size())
        return;
    const int row = index.row();
    const QString oldPath = righeStampa.at(row).FilePath;
    const int oldId = righeStampa.at(row).IdStampa;
    righeStampa[row] = riga;
    if (oldPath != riga.FilePath) {
        addUses(m_pathUses, oldPath, -1);
        addUses(m_pathUses, riga.FilePath, 1);
        if (!m_rowsOfPathStale) {
            QVector<int> &before = m_rowsOfPath[oldPath];
            const auto at = std::lower_bound(before.begin(), before.end(), row);
            if (at != before.end() && *at == row)
                before.erase(at);
            if (before.isEmpty())
                m_rowsOfPath.remove(oldPath);
            QVector<int> &after = m_rowsOfPath[riga.FilePath];
            after.insert(std::lower_bound(after.begin(), after.end(), row), row);
        }
    }
    if (oldId != riga.IdStampa) {
        addUses(m_stampaUses, oldId, -1);
        addUses(m_stampaUses, riga.IdStampa, 1);
    }
    removeInvalidFileIfUnused(oldPath);
    removeStampaFromStampeMapIfUnused(oldId);
    removeThumbIfUnused(oldPath);
    forgetFailedPath(oldPath);
    forgetFailedPath(riga.FilePath);
    noteInvalidFile(riga.FilePath);
    const QModelIndex changed = this->index(index.row(), 0);
    try {
        addStampaLocalToStampeMap(riga.IdStampa);
    } catch (...) {
        // The new row is in place: it is shown before the caller hears of the failure.
        emit dataChanged(changed, changed);
        throw;
    }
    emit dataChanged(changed, changed);
}

QList<OrdiniLocal::OrdineRigaStampaLocal> ArticoloStampaFotograficaFotoPrintModel::stampe() const
{
    return righeStampa;
}

QFileInfo ArticoloStampaFotograficaFotoPrintModel::fileInfo(const QModelIndex &index) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= righeStampa.size())
        return QFileInfo();
    return QFileInfo(righeStampa.at(index.row()).FilePath);
}

QList<int> ArticoloStampaFotograficaFotoPrintModel::filePath2righeStampaIndex(const QString &path) const
{
    if (!m_pathUses.contains(path))
        return QList<int>();
    return rowsOfPath(path).toList();
}

const QVector<int> &ArticoloStampaFotograficaFotoPrintModel::rowsOfPath(const QString &path) const
{
    if (m_rowsOfPathStale) {
        m_rowsOfPath.clear();
        for (int i = 0; i < righeStampa.size(); ++i)
            m_rowsOfPath[righeStampa.at(i).FilePath].append(i);
        m_rowsOfPathStale = false;
    }
    static const QVector<int> none;
    const auto found = m_rowsOfPath.constFind(path);
    return found == m_rowsOfPath.constEnd() ? none : *found;
}

QList<int> ArticoloStampaFotograficaFotoPrintModel::idStampa2righeStampaIndex(int idStampa) const
{
    QList<int> rows;
    if (!m_stampaUses.contains(idStampa))
        return rows;
    for (int i = 0; i < righeStampa.size(); ++i)
        if (righeStampa.at(i).IdStampa == idStampa)
            rows.append(i);
    return rows;
}

bool ArticoloStampaFotograficaFotoPrintModel::isValidFile(const QFileInfo &file) const
{
    return !file.filePath().isEmpty() && file.exists() && file.isReadable();
}

bool ArticoloStampaFotograficaFotoPrintModel::isValidStampa(int idStampa) const
{
    return idStampa >= 1 && !stampeMap.isEmpty() && stampeMap.contains(idStampa);
}

QList<QFileInfo> ArticoloStampaFotograficaFotoPrintModel::invalidFilesList() const
{
    return invalidFiles;
}

void ArticoloStampaFotograficaFotoPrintModel::invalidFileUpdate()
{
    invalidFiles.clear();
    m_invalidPaths.clear();
    // Each path is asked of the disk once, however many rows show it.
    QSet<QString> tested;
    for (const auto &riga : qAsConst(righeStampa)) {
        if (tested.contains(riga.FilePath))
            continue;
        tested.insert(riga.FilePath);
        noteInvalidFile(riga.FilePath);
    }
}

QList<OrdiniLocal::OrdineRigaStampaLocal> ArticoloStampaFotograficaFotoPrintModel::invalidStampeList() const
{
    QList<OrdiniLocal::OrdineRigaStampaLocal> rows;
    for (const auto &riga : righeStampa)
        if (!isValidStampa(riga.IdStampa))
            rows.append(riga);
    return rows;
}

void ArticoloStampaFotograficaFotoPrintModel::stampeMapUpdate()
{
    stampeMap.clear();
    for (const auto &riga : qAsConst(righeStampa))
        addStampaLocalToStampeMap(riga.IdStampa);
}

bool ArticoloStampaFotograficaFotoPrintModel::addStampaLocalToStampeMap(int idStampa)
{
    if (idStampa < 1)
        return false;
    // Thousands of prints of one product read it once.
    if (stampeMap.contains(idStampa))
        return true;
    OrdiniLocal store;
    const OrdiniLocal::StampaLocal stampa = store.StampaLocalFromDb(idStampa);
    if (!stampeMap.contains(stampa.id))
        stampeMap.insert(stampa.id, stampa);
    return true;
}

void ArticoloStampaFotograficaFotoPrintModel::removeStampaFromStampeMapIfUnused(int idStampa)
{
    if (stampeMap.isEmpty() || !stampeMap.contains(idStampa))
        return;
    if (!m_stampaUses.contains(idStampa))
        stampeMap.remove(idStampa);
}

void ArticoloStampaFotograficaFotoPrintModel::removeInvalidFileIfUnused(const QString &path)
{
    if (invalidFiles.isEmpty() || !isInvalidFile(path))
        return;
    if (m_pathUses.contains(path))
        return;
    forgetInvalidFile(path);
}

void ArticoloStampaFotograficaFotoPrintModel::forgetInvalidFile(const QString &path)
{
    if (m_invalidPaths.isEmpty())
        return;
    const QString key = absolutePathOf(path);
    if (!m_invalidPaths.remove(key))
        return;
    for (int i = invalidFiles.size() - 1; i >= 0; --i)
        if (invalidFiles.at(i).absoluteFilePath() == key)
            invalidFiles.removeAt(i);
}

void ArticoloStampaFotograficaFotoPrintModel::removeThumbIfUnused(const QString &path)
{
    if (m_images.isEmpty() || !m_images.contains(path))
        return;
    if (!m_pathUses.contains(path))
        m_images.remove(path);
}

qint64 ArticoloStampaFotograficaFotoPrintModel::totalFilesSize() const
{
    qint64 total = 0;
    for (const auto &riga : righeStampa)
        total += riga.FileSize;
    return total;
}

QString ArticoloStampaFotograficaFotoPrintModel::totalFilesSizeString() const
{
    return fileSizeToString(double(totalFilesSize()));
}

QString ArticoloStampaFotograficaFotoPrintModel::fileSizeToString(double size) const
{
    return KorvexGlobals::fileSizeToString(size > 0 ? quint64(size) : 0);
}

bool ArticoloStampaFotograficaFotoPrintModel::isLoadingThumbs() const
{
    return scalingWatcher->isRunning();
}

void ArticoloStampaFotograficaFotoPrintModel::loadThumbs(
    QSize selectedThumbsSize, QList<OrdiniLocal::OrdineRigaStampaLocal> righeStampaToProcess)
{
    const QSize size = selectedThumbsSize == QSize(-1, -1) ? thumbsSize : selectedThumbsSize;
    // Cancelled jobs may still be reading a file; they hold their own path and box, and their
    // results are never applied.
    if (scalingWatcher->isRunning())
        scalingWatcher->cancel();
    filesToScale.clear();

    const QList<OrdiniLocal::OrdineRigaStampaLocal> &rows =
        righeStampaToProcess.isEmpty() ? righeStampa : righeStampaToProcess;
    // One job per file, also when several rows show it; the files already queued are looked
    // up in a set, not in the list, or a list of thousands of files costs their square.
    QSet<QString> queued;
    for (const auto &riga : rows) {
        if (riga.FilePath.isEmpty())
            continue;
        const QString path = absolutePathOf(riga.FilePath);
        if (isInvalidFile(path) || m_images.contains(path) || m_failedPaths.contains(path)
            || queued.contains(path))
            continue;
        queued.insert(path);
        filesToScale.append(path);
    }
    if (filesToScale.isEmpty())
        return;

    thumbsSize = size;
    const QSize box(size.width() - 26, size.height() - 35);
    scalingWatcher->setFuture(QtConcurrent::mapped(
        filesToScale, std::function<ResizedImageInfo(const QString &)>(
                          [box](const QString &path) { return scale(path, box); })));
}

ResizedImageInfo ArticoloStampaFotograficaFotoPrintModel::scale(const QString &path, const QSize &box)
{
    ResizedImageInfo info;
    info.filePath = path;
    if (!QFileInfo::exists(path))
        return info;
    try {
        ResizedImageInfo read = imageUtility::loadResizedImageInfo(path, box);
        info.image = read.image;
        info.originalSize = read.originalSize;
        if (!info.image.isNull() && info.image.depth() != 32)
            info.image = info.image.convertToFormat(QImage::Format_ARGB32);
    } catch (...) {
        // Unreadable or undecodable: no thumbnail and no size.
        info.image = QImage();
        info.originalSize = QSize(-1, -1);
    }
    return info;
}

void ArticoloStampaFotograficaFotoPrintModel::updateThumb(int index)
{
    const QFuture<ResizedImageInfo> future = scalingWatcher->future();
    if (index < 0 || !future.isResultReadyAt(index))
        return;
    const ResizedImageInfo info = future.resultAt(index);
    if (info.filePath.isEmpty())
        return;
    if (info.originalSize.isValid())
        fileSizes.insert(info.filePath, info.originalSize);
    if (info.image.isNull()) {
        m_failedPaths.insert(info.filePath);
        // Gone or unreadable since it was added: listed with the missing files, so that its
        // rows show the sign and the composer offers to replace it.
        if (m_pathUses.contains(info.filePath))
            noteInvalidFile(info.filePath);
    } else
        m_images.insert(info.filePath, info.image);
    if (!m_pathUses.contains(info.filePath))
        return;
    for (int row : rowsOfPath(info.filePath)) {
        const QModelIndex changed = this->index(row, 0);
        emit dataChanged(changed, changed);
    }
}

void ArticoloStampaFotograficaFotoPrintModel::onImageScalingFinished()
{
    loadThumbs();
}

OrdiniLocal::StampaLocal
ArticoloStampaFotograficaFotoPrintModel::stampaOf(const OrdiniLocal::OrdineRigaStampaLocal &riga) const
{
    if (isValidStampa(riga.IdStampa))
        return stampeMap.value(riga.IdStampa);
    OrdiniLocal::StampaLocal none;
    OrdiniLocal().initStampaLocal(none);
    return none;
}

bool ArticoloStampaFotograficaFotoPrintModel::isInvalidFile(const QString &path) const
{
    return !m_invalidPaths.isEmpty() && m_invalidPaths.contains(absolutePathOf(path));
}

void ArticoloStampaFotograficaFotoPrintModel::noteInvalidFile(const QString &path)
{
    if (!isValidFile(QFileInfo(path)) && !isInvalidFile(path)) {
        invalidFiles.append(QFileInfo(path));
        m_invalidPaths.insert(absolutePathOf(path));
    }
}

void ArticoloStampaFotograficaFotoPrintModel::countRow(const OrdiniLocal::OrdineRigaStampaLocal &riga, int uses)
{
    addUses(m_pathUses, riga.FilePath, uses);
    addUses(m_stampaUses, riga.IdStampa, uses);
}

void ArticoloStampaFotograficaFotoPrintModel::forgetFailedPath(const QString &path)
{
    if (!m_failedPaths.isEmpty())
        m_failedPaths.remove(absolutePathOf(path));
}

// ---- Painting and texts ----------------------------------------------------------------

bool ArticoloStampaFotograficaFotoPrintModel::isImageTooSmall(const QSize &imageSize,
                                                              const QSize &formatSize)
{
    if (imageSize.width() < 1 || imageSize.height() < 1 || formatSize.width() < 1
        || formatSize.height() < 1)
        return false;
    const bool imageLandscape = imageSize.width() >= imageSize.height();
    const bool formatLandscape = formatSize.width() >= formatSize.height();
    if (imageLandscape == formatLandscape)
        return imageSize.width() < formatSize.width() || imageSize.height() < formatSize.height();
    return imageSize.width() < formatSize.height() || imageSize.height() < formatSize.width();
}

void ArticoloStampaFotograficaFotoPrintModel::drawFotoPreview(
    QPainter *painter, const QRect &rect, const OrdiniLocal::OrdineRigaStampaLocal &riga) const
{
    const int l = rect.left();
    const int t = rect.top();
    const int r = rect.right();
    const int b = rect.bottom();

    painter->fillRect(rect, QColor(255, 255, 255));
    painter->fillRect(QRect(QPoint(l + 4, t + 4), QPoint(r - 4, b - 4)), QColor(170, 170, 170));
    QPen pen(QColor(255, 255, 255), 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(QRect(QPoint(l + 5, t + 5), QPoint(r - 6, b - 6)));

    const QRect area(QPoint(l + 14, t + 14), QPoint(r - 14, b - 23));
    if (area.width() >= 1 && area.height() >= 1) {
        QImage picture;
        const auto thumb = m_images.constFind(riga.FilePath);
        if (thumb != m_images.constEnd()) {
            if (stampeMap.contains(riga.IdStampa)) {
                const OrdiniLocal::FormatoLocal &formato = stampeMap.value(riga.IdStampa).formato;
                picture = getTransformedImage(thumb.value(), riga.Transformation,
                                              QSize(formato.colonna3, formato.colonna4),
                                              area.size(), riga.FilePath);
            }
            // A product without a format size can't shape the picture: it shows as it is.
            if (picture.isNull())
                picture = thumb.value();
        } else if (!placeholderImage.isNull()) {
            const QSize fitted = imageUtility::calculateThumbSize(placeholderImage.size(), area.size());
            picture = imageUtility::cheatScaled(fitted, placeholderImage);
        }
        if (!picture.isNull()) {
            const float x = float(area.left()) + float(area.width() - picture.width()) / 2.0f;
            const float y = float(area.top()) + float(area.height() - picture.height()) / 2.0f;
            painter->drawImage(QPointF(double(x), double(y)), picture);
        }
    }

    const QString caption = riga.Descrizione + QStringLiteral(" | %1").arg(riga.Qta);
    pen.setColor(Qt::black);
    painter->setPen(pen);
    QFont font = painter->font();
    if (font.pointSize() > 1)
        font = QFont(font.family(), font.pointSize() - 1);
    font.setBold(false);
    font.setItalic(false);
    painter->setFont(font);
    const QFontMetrics metrics(font);
    const QRect captionBox(area.left(), b - 18, qMax(area.width(), 0), metrics.height());
    painter->drawText(captionBox, Qt::AlignLeft | Qt::AlignTop,
                      metrics.elidedText(caption, Qt::ElideMiddle, captionBox.width()));

    if (!getErrorStrings(riga).isEmpty() && !warningImage.isNull())
        painter->drawImage(QRect(l + 6, t + 6, 32, 32), warningImage);
}

QImage ArticoloStampaFotograficaFotoPrintModel::getTransformedImage(
    QImage image, const OrdiniLocal::StampaLocalTransformation &transformation, QSize printSize,
    QSize box, const QString &path)
{
    if (image.isNull())
        return image;
    const QSize target = imageUtility::calculateThumbSize(turnedTo(printSize, box), box);
    if (transformation.Type == 1)
        return imageUtility::generateAdjustedThumb(image, target, Qt::white, false);
    if (transformation.Type != 2)
        return image;
    if (target.isEmpty())
        return QImage();

    const QSize s = imageUtility::calculateThumbSize(image.size(), target);
    if ((image.width() < target.width() || image.height() < target.height())
        && (s.width() != image.width() || s.height() < image.height()) && !s.isEmpty())
        image = image.scaled(s, Qt::IgnoreAspectRatio, Qt::FastTransformation);

    QRect crop;
    const QRectF &chosen = transformation.CropRect;
    if (chosen.width() != 0 || chosen.height() != 0) {
        QSize full = fileSizes.value(path, QSize(-1, -1));
        if (!fileSizes.contains(path))
            full = imageUtility::getImageSize(path);
        const QRect rounded(roundHalfUp(chosen.x()), roundHalfUp(chosen.y()),
                            roundHalfUp(chosen.width()), roundHalfUp(chosen.height()));
        // An unknown full size or an empty crop can't be rescaled: the centred crop stands in.
        if (full.width() >= 1 && full.height() >= 1 && rounded.width() >= 1 && rounded.height() >= 1)
            crop = imageUtility::calculateCropRect(rounded, image.size(), full);
    }
    if (crop.width() < 1 || crop.height() < 1)
        crop = imageUtility::calculateCropRect(image.size(), target);
    return imageUtility::generateCroppedThumb(image, target, crop, Qt::white, true);
}

QStringList ArticoloStampaFotograficaFotoPrintModel::getErrorStrings(
    const OrdiniLocal::OrdineRigaStampaLocal &riga) const
{
    QStringList errors;
    if (isInvalidFile(riga.FilePath))
        errors << tr("Il file non esiste, fai doppio click per sostituirlo");
    if (!isValidStampa(riga.IdStampa))
        errors << tr("Le impostazioni di stampa scelte non sono attualmente disponibili, "
                     "reimpostare il formato e la carta per continuare");
    const OrdiniLocal::StampaLocal stampa = stampaOf(riga);
    if (stampa.id >= 1
        && isImageTooSmall(fileSizes.value(riga.FilePath),
                           QSize(stampa.formato.colonna3, stampa.formato.colonna4)))
        errors << tr("La stampa non è ottimale. Le dimensioni dell'immagine originale sono "
                     "inferiori a quelle del formato sclelto, quindi l'immagine verrà "
                     "ridimensionata.");
    return errors;
}

QString ArticoloStampaFotograficaFotoPrintModel::generateItemTooltip(const QModelIndex &index) const
{
    if (!index.isValid() || index.row() < 0 || index.column() < 0
        || index.row() >= righeStampa.size())
        return QString();
    const OrdiniLocal::OrdineRigaStampaLocal &riga = righeStampa.at(index.row());
    const OrdiniLocal::StampaLocal stampa = stampaOf(riga);
    const QFileInfo file(riga.FilePath);
    const QSize size = fileSizes.value(riga.FilePath, QSize(-1, -1));
    const int dpi = stampa.formato.colonna5;

    QString dimensions;
    if (dpi != 0) {
        dimensions = QStringLiteral("%1x%2 cm")
                         .arg(int(imageUtility::pixelsToCm(size.width(), dpi)))
                         .arg(int(imageUtility::pixelsToCm(size.height(), dpi)));
    } else {
        // No resolution, no physical size: the pixels stand in.
        dimensions = QStringLiteral("%1x%2 px").arg(qMax(size.width(), 0)).arg(qMax(size.height(), 0));
    }

    auto line = [](const QString &label, const char *tail) {
        return QStringLiteral("<i>") + label + QStringLiteral("</i>") + QLatin1String(tail);
    };
    // One arg() for every placeholder: a "%3" inside a name is text, not a placeholder.
    QString text = (line(tr("Formato"), ": %1<br />") + line(tr("Carta"), ": %2<br />")
                    + line(tr("Nome"), ": %3<br />") + line(tr("Percorso"), ": %4<br />")
                    + line(tr("Dimensioni immagine"), ": %5 a %6 dpi<br />")
                    + line(tr("Dimensione file"), ": %7"))
                       .arg(riga.FormatoDesc.toHtmlEscaped(), riga.CartaDesc.toHtmlEscaped(),
                            file.fileName().toHtmlEscaped(),
                            file.absoluteFilePath().toHtmlEscaped(), dimensions,
                            QString::number(dpi), fileSizeToString(double(file.size())));
    for (const QString &error : getErrorStrings(riga))
        text = QStringLiteral("<h4>") + error + QStringLiteral("</h4>") + text;
    return text;
}

QString ArticoloStampaFotograficaFotoPrintModel::accessibleText(
    const OrdiniLocal::OrdineRigaStampaLocal &riga) const
{
    // What the tooltip shows, without its markup: the file's name, format and paper (the
    // product's description when the row has neither), then copies and fit or crop, then the
    // tooltip's error texts in their own order.
    QStringList parts;
    const QString name = QFileInfo(riga.FilePath).fileName();
    if (!name.isEmpty())
        parts << name;
    QStringList product;
    for (const QString &text : {riga.FormatoDesc, riga.CartaDesc}) {
        if (!text.trimmed().isEmpty())
            product << text.trimmed();
    }
    if (product.isEmpty() && !riga.Descrizione.trimmed().isEmpty())
        product << riga.Descrizione.trimmed();
    if (!product.isEmpty())
        parts << product.join(QLatin1Char(' '));
    parts << (riga.Qta == 1 ? tr("1 copia") : tr("%1 copie").arg(riga.Qta));
    if (riga.Transformation.Type == 1)
        parts << tr("adattamento");
    else if (riga.Transformation.Type == 2)
        parts << tr("ritaglio");
    QString text = parts.join(QStringLiteral(", "));
    for (const QString &error : getErrorStrings(riga))
        text += QStringLiteral("; ") + error;
    return text;
}

QString ArticoloStampaFotograficaFotoPrintModel::accessibleDescription(
    const OrdiniLocal::OrdineRigaStampaLocal &riga) const
{
    return riga.FilePath.isEmpty() ? QString()
                                   : QDir::toNativeSeparators(QFileInfo(riga.FilePath).absoluteFilePath());
}
