#pragma once

#include <QFileInfo>
#include <QFileInfoList>
#include <QFileSystemModel>
#include <QFutureWatcher>
#include <QImage>
#include <QMap>
#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTimer>

// The print composer's file browser: a read-only file-system model of one folder whose files
// show thumbnails of their images in place of file-type icons.
//
// Thumbnails are scaled on the global thread pool, one batch per model at a time; each job
// gets its path and its box by value and hands back its path with the picture, so a result is
// always filed under its own file. The cache, the batch and the model are touched on the GUI
// thread only.
class ArticoloStampaFotograficaFileSelectionModel : public QFileSystemModel
{
    Q_OBJECT

public:
    // One job's answer: the file it read and its picture (null when it could not be read).
    struct Thumb
    {
        QString path;
        QImage image;
    };

    explicit ArticoloStampaFotograficaFileSelectionModel(QObject *parent = nullptr);
    // Cancels the running batch and waits for the jobs already running, no more.
    ~ArticoloStampaFotograficaFileSelectionModel() override;
    Q_DISABLE_COPY(ArticoloStampaFotograficaFileSelectionModel)

    // Empties the thumbnail cache when the folder changes, then shows the folder.
    QModelIndex setRootPath(const QString &path);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Remembered, so that a folder just read can be put in this order at once.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    static QImage scale(const QFileInfo &file, const QSize &box);
    static QString fileSizeToString(quint64 size);

    // Whether the folder shown has been read and put in order (folderListed has come for it).
    bool isFolderInOrder() const;
    bool isLoadingThumbs() const;

    // The box thumbnails are scaled into (240 x 240 after construction).
    static QSize thumbsSize;
    // Thumbnails by absolute path; a null image marks a file that could not be read.
    static QMap<QString, QImage> m_images;

signals:
    // The folder shown has been read and put in order (after directoryLoaded).
    void folderListed(const QString &path);

public slots:
    void loadThumbs(QString path, QSize thumbsSize = QSize(-1, -1),
                    QFileInfoList filesToProcess = QFileInfoList());

private slots:
    void updateThumb(int index);
    void onImageScalingFinished();

private:
    // Column 0's Qt::AccessibleTextRole (the file name; a folder as a folder, a missing file
    // as missing) and Qt::AccessibleDescriptionRole (the path).
    QVariant accessibleData(const QModelIndex &index, int role) const;

    QList<QFileInfo> batchFiles;
    // Paths of the current batch: a result of a replaced batch is stored only under a path
    // that is still asked for.
    QSet<QString> batchPaths;
    QFutureWatcher<Thumb> *scalingWatcher;
    // Folders read since the last order was set, and the timer that sets it; the folder shown,
    // once it has been read and put in order (empty before).
    QStringList listedFolders;
    QString orderedFolder;
    QTimer orderTimer;
    int sortColumn = 0;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
};
