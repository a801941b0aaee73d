#pragma once

#include <QAbstractListModel>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHash>
#include <QImage>
#include <QList>
#include <QMap>
#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

#include "imageutility.h"
#include "ordinilocal.h"

class QPainter;

// The prints of a photo print order being composed: one row per print, shown as a painted
// preview of the print in its format's shape (decoration role) with an HTML tooltip, and
// read by a screen reader through its accessible text and description.
//
// Thumbnails are read on the global thread pool, one batch at a time. Each job gets its path
// and its box by value and hands back path, thumbnail and full pixel size; the GUI thread
// files both under that path. Everything else, the class-wide maps included, is touched on
// the GUI thread only.
class ArticoloStampaFotograficaFotoPrintModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit ArticoloStampaFotograficaFotoPrintModel(QObject *parent = nullptr);
    ~ArticoloStampaFotograficaFotoPrintModel() override;
    Q_DISABLE_COPY(ArticoloStampaFotograficaFotoPrintModel)

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    void removeAllRows();

    // Both may throw the Korvex2Exception of the catalogue when the row's print product can't
    // be read; the row is in place by then (and editStampa has repainted it).
    void addStampa(OrdiniLocal::OrdineRigaStampaLocal riga);
    void editStampa(OrdiniLocal::OrdineRigaStampaLocal riga, const QModelIndex &index);

    QList<OrdiniLocal::OrdineRigaStampaLocal> stampe() const;
    QFileInfo fileInfo(const QModelIndex &index) const;
    QList<int> filePath2righeStampaIndex(const QString &path) const;
    QList<int> idStampa2righeStampaIndex(int idStampa) const;
    bool isValidFile(const QFileInfo &file) const;
    bool isValidStampa(int idStampa) const;

    QList<QFileInfo> invalidFilesList() const;
    void invalidFileUpdate();
    QList<OrdiniLocal::OrdineRigaStampaLocal> invalidStampeList() const;

    void stampeMapUpdate();
    bool addStampaLocalToStampeMap(int idStampa);
    void removeStampaFromStampeMapIfUnused(int idStampa);
    void removeInvalidFileIfUnused(const QString &path);
    void removeThumbIfUnused(const QString &path);

    qint64 totalFilesSize() const;
    QString totalFilesSizeString() const;
    QString fileSizeToString(double size) const;

    // Painting and texts of a row.
    void drawFotoPreview(QPainter *painter, const QRect &rect,
                         const OrdiniLocal::OrdineRigaStampaLocal &riga) const;
    static QImage getTransformedImage(QImage image,
                                      const OrdiniLocal::StampaLocalTransformation &transformation,
                                      QSize printSize, QSize box, const QString &path);
    QStringList getErrorStrings(const OrdiniLocal::OrdineRigaStampaLocal &riga) const;
    QString generateItemTooltip(const QModelIndex &index) const;
    // What a screen reader reads of a row (Qt::AccessibleTextRole): file name, format and
    // paper, copies, fit or crop, then the error texts after "; ". Its description
    // (Qt::AccessibleDescriptionRole) is the file's path.
    QString accessibleText(const OrdiniLocal::OrdineRigaStampaLocal &riga) const;
    QString accessibleDescription(const OrdiniLocal::OrdineRigaStampaLocal &riga) const;

    // True when an image of imageSize pixels is smaller than a print of formatSize pixels:
    // its longer side shorter than the format's longer side, or its shorter side shorter
    // than the format's shorter one. Sizes with a side below 1 are never too small.
    static bool isImageTooSmall(const QSize &imageSize, const QSize &formatSize);

    // The thumbnail job of one file; runs on pool threads, never throws.
    static ResizedImageInfo scale(const QString &path, const QSize &box);

    // Whether a thumbnail batch is running (for tests and the composer's status).
    bool isLoadingThumbs() const;

    // Size of a cell picture; 140 x 140 after construction, replaced by loadThumbs.
    static QSize thumbsSize;
    // Thumbnails and full pixel sizes of the images by absolute path (GUI thread only).
    static QMap<QString, QImage> m_images;
    static QMap<QString, QSize> fileSizes;

public slots:
    void loadThumbs(QSize selectedThumbsSize = QSize(-1, -1),
                    QList<OrdiniLocal::OrdineRigaStampaLocal> righeStampaToProcess =
                        QList<OrdiniLocal::OrdineRigaStampaLocal>());

private slots:
    void updateThumb(int index);
    void onImageScalingFinished();

private:
    OrdiniLocal::StampaLocal stampaOf(const OrdiniLocal::OrdineRigaStampaLocal &riga) const;
    bool isInvalidFile(const QString &path) const;
    void noteInvalidFile(const QString &path);
    // Drops a file from the invalid-files list, whoever still uses it.
    void forgetInvalidFile(const QString &path);
    // Forgets that a path gave no image, so that its next batch tries it again.
    void forgetFailedPath(const QString &path);
    // Counts a row in (1) or out (-1) of the uses of its path and of its product.
    void countRow(const OrdiniLocal::OrdineRigaStampaLocal &riga, int uses);
    // The rows of a path, ascending.
    const QVector<int> &rowsOfPath(const QString &path) const;

    QList<OrdiniLocal::OrdineRigaStampaLocal> righeStampa;
    QStringList filesToScale;
    QFutureWatcher<ResizedImageInfo> *scalingWatcher;
    QList<QFileInfo> invalidFiles;
    QMap<int, OrdiniLocal::StampaLocal> stampeMap;
    QImage placeholderImage;
    QImage warningImage;
    // Paths whose job gave no image (gone, unreadable, undecodable, too small to scale):
    // not queued again until a row of that path is added, edited or removed.
    QSet<QString> m_failedPaths;

    // How many rows use each path (as the rows spell it) and each product id: whether a
    // thumbnail, an invalid file or a cached product is still used is known without a pass
    // over the rows, which cost the square of the rows when thousands were edited at once.
    QHash<QString, int> m_pathUses;
    QHash<int, int> m_stampaUses;
    // The rows of each path, ascending, for the repaint of a path's rows; a removal shifts
    // the rows after it, and the index is rebuilt when it is next asked for.
    mutable QHash<QString, QVector<int>> m_rowsOfPath;
    mutable bool m_rowsOfPathStale = false;
    // The absolute paths of invalidFiles.
    QSet<QString> m_invalidPaths;
};
