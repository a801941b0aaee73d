#include "articolostampafotograficafileselectionmodel.h"

#include <algorithm>
#include <functional>
#include <utility>

#include <QDir>
#include <QIcon>
#include <QTimer>
#include <QtConcurrent>

#include "imageutility.h"
#include "korvexglobals.h"

QSize ArticoloStampaFotograficaFileSelectionModel::thumbsSize(240, 240);
QMap<QString, QImage> ArticoloStampaFotograficaFileSelectionModel::m_images;

namespace {

const QIcon &placeholderIcon()
{
    static const QIcon icon(QStringLiteral(":/Resource/256x256/photo.png"));
    return icon;
}

const QIcon &brokenFileIcon()
{
    static const QIcon icon(QStringLiteral(":/Resource/128x128/broken-file-access.png"));
    return icon;
}

} // namespace

ArticoloStampaFotograficaFileSelectionModel::ArticoloStampaFotograficaFileSelectionModel(QObject *parent)
    : QFileSystemModel(parent)
    , scalingWatcher(new QFutureWatcher<Thumb>())
{
    thumbsSize = QSize(240, 240);
    // Loaded here, before any batch fills the thread pool: converting a picture on the GUI
    // thread waits for free pool threads.
    placeholderIcon();
    brokenFileIcon();
    connect(scalingWatcher, SIGNAL(resultReadyAt(int)), this, SLOT(updateThumb(int)));
    connect(scalingWatcher, SIGNAL(finished()), this, SLOT(onImageScalingFinished()));
    // The folder shown is put in order once it has been read, then announced with
    // folderListed: its rows are then those the views show, so the files in view can be asked
    // for on that notice. The order is set from a zero timer, as the base model does, so that
    // the window gets its turn between taking the listing in and sorting it: on a large folder
    // each is long. The batch of the whole folder comes after the files in view: when a batch
    // is already running by then, its end goes on with the rest of the folder, so it is not
    // cancelled for a batch that would read the same files behind it.
    orderTimer.setSingleShot(true);
    orderTimer.setInterval(0);
    connect(this, &QFileSystemModel::directoryLoaded, this, [this](const QString &path) {
        if (!listedFolders.contains(path))
            listedFolders << path;
        orderTimer.start();
    });
    connect(&orderTimer, &QTimer::timeout, this, [this] {
        sort(sortColumn, sortOrder);
        const QStringList folders = std::exchange(listedFolders, QStringList());
        const QDir shown(rootPath());
        if (std::none_of(folders.cbegin(), folders.cend(), [&shown](const QString &folder) { return QDir(folder) == shown; }))
            return;
        orderedFolder = rootPath();
        emit folderListed(orderedFolder);
        QTimer::singleShot(0, this, [this] {
            if (isFolderInOrder() && !scalingWatcher->isRunning())
                loadThumbs(rootPath());
        });
    });
}

void ArticoloStampaFotograficaFileSelectionModel::sort(int column, Qt::SortOrder order)
{
    sortColumn = column;
    sortOrder = order;
    QFileSystemModel::sort(column, order);
}

ArticoloStampaFotograficaFileSelectionModel::~ArticoloStampaFotograficaFileSelectionModel()
{
    scalingWatcher->disconnect(this);
    scalingWatcher->cancel();
    scalingWatcher->waitForFinished();
    delete scalingWatcher;
}

QModelIndex ArticoloStampaFotograficaFileSelectionModel::setRootPath(const QString &path)
{
    if (QDir::cleanPath(path) != rootPath()) {
        m_images.clear();
        orderedFolder.clear();
        // What the running batch still brings belongs to the folder left: it is not kept.
        if (scalingWatcher->isRunning())
            scalingWatcher->cancel();
        batchFiles.clear();
        batchPaths.clear();
    }
    return QFileSystemModel::setRootPath(path);
}

bool ArticoloStampaFotograficaFileSelectionModel::isFolderInOrder() const
{
    return !orderedFolder.isEmpty() && orderedFolder == rootPath();
}

bool ArticoloStampaFotograficaFileSelectionModel::isLoadingThumbs() const
{
    return scalingWatcher->isRunning();
}

void ArticoloStampaFotograficaFileSelectionModel::loadThumbs(QString path, QSize box,
                                                             QFileInfoList filesToProcess)
{
    Q_UNUSED(path)
    if (!box.isValid())
        box = thumbsSize;
    // What the current batch has read already is filed first: the notices of its results may
    // still be on their way, and would come when a new batch has taken its place.
    const int ready = scalingWatcher->future().resultCount();
    for (int i = 0; i < ready; ++i)
        updateThumb(i);

    QFileInfoList candidates = filesToProcess;
    if (candidates.isEmpty()) {
        const QModelIndex root = index(rootPath());
        const int rows = rowCount(root);
        for (int row = 0; row < rows; ++row)
            candidates << fileInfo(index(row, 0, root));
    }
    QList<QFileInfo> files;
    QSet<QString> paths;
    for (const QFileInfo &file : qAsConst(candidates)) {
        const QString key = file.absoluteFilePath();
        if (key.isEmpty() || m_images.contains(key) || paths.contains(key))
            continue;
        files << file;
        paths.insert(key);
    }
    // Cancelling a batch throws away what its running jobs read. A request with nothing left
    // to read, or for the very files of the running batch in the same box, leaves that batch
    // alone: its end goes on with the rest of the folder all the same.
    if (files.isEmpty())
        return;
    if (scalingWatcher->isRunning()) {
        if (paths == batchPaths && box == thumbsSize)
            return;
        scalingWatcher->cancel();
    }
    batchFiles = files;
    batchPaths = paths;

    thumbsSize = box;
    const QList<QFileInfo> jobs = batchFiles;
    const std::function<Thumb(const QFileInfo &)> job = [box](const QFileInfo &file) {
        return Thumb{file.absoluteFilePath(), scale(file, box)};
    };
    scalingWatcher->setFuture(QtConcurrent::mapped(jobs, job));
}

QImage ArticoloStampaFotograficaFileSelectionModel::scale(const QFileInfo &file, const QSize &box)
{
    try {
        return imageUtility::loadResizedImage(file.absoluteFilePath(), box);
    } catch (...) {
        // An unreadable file keeps the placeholder.
        return QImage();
    }
}

void ArticoloStampaFotograficaFileSelectionModel::updateThumb(int i)
{
    const QFuture<Thumb> future = scalingWatcher->future();
    if (i < 0 || i >= future.resultCount())
        return;
    const Thumb thumb = future.resultAt(i);
    // A late result of a batch that was replaced is kept only when its file is still wanted.
    if (!batchPaths.contains(thumb.path) || m_images.contains(thumb.path))
        return;
    m_images.insert(thumb.path, thumb.image);
    const QModelIndex changed = index(thumb.path, 0);
    if (changed.isValid())
        emit dataChanged(changed, changed);
}

void ArticoloStampaFotograficaFileSelectionModel::onImageScalingFinished()
{
    // The end notice of a batch that has since been replaced, already on its way: the batch
    // running now has its own, and must not be cancelled by a restart of the chain.
    if (!scalingWatcher->future().isFinished())
        return;
    // The end notice can come before the notices of the batch's last results: those are
    // taken from the future here, or the next batch would read those files again.
    const int results = scalingWatcher->future().resultCount();
    for (int i = 0; i < results; ++i)
        updateThumb(i);
    // The rest of the folder, once it is read and in order: a folder still being read gets its
    // batch after its files in view.
    if (isFolderInOrder())
        loadThumbs(rootPath());
}

QString ArticoloStampaFotograficaFileSelectionModel::fileSizeToString(quint64 size)
{
    return KorvexGlobals::fileSizeToString(size);
}

QVariant ArticoloStampaFotograficaFileSelectionModel::data(const QModelIndex &index, int role) const
{
    if ((role == Qt::AccessibleTextRole || role == Qt::AccessibleDescriptionRole) && index.column() == 0)
        return accessibleData(index, role);
    if (role != Qt::ToolTipRole && !(role == Qt::DecorationRole && index.column() == 0))
        return QFileSystemModel::data(index, role);

    const QFileInfo file = fileInfo(index);
    const QString path = file.absoluteFilePath();
    const bool exists = !path.isEmpty() && QFileInfo::exists(path);

    if (role == Qt::ToolTipRole) {
        if (path.isEmpty())
            return QVariant();
        const QString name = file.fileName().toHtmlEscaped();
        const QString where = path.toHtmlEscaped();
        if (exists) {
            return QString(QStringLiteral("<i>") + tr("Nome") + QStringLiteral("</i>: %1<br />")
                           + QStringLiteral("<i>") + tr("Percorso") + QStringLiteral("</i>: %2<br />")
                           + QStringLiteral("<i>") + tr("Dimensione") + QStringLiteral("</i>: %3"))
                .arg(name, where, fileSizeToString(quint64(QFileInfo(path).size())));
        }
        return QString(QStringLiteral("<h4>%1</h4>") + QStringLiteral("<i>") + tr("Nome")
                       + QStringLiteral("</i>: %2<br />") + QStringLiteral("<i>") + tr("Percorso")
                       + QStringLiteral("</i>: %3<br />") + QStringLiteral("<i>") + tr("Dimensione")
                       + QStringLiteral("</i>: %4"))
            .arg(tr("Il file non esiste, fai doppio click per sostituirlo"), name, where, tr("--"));
    }

    if (!exists)
        return brokenFileIcon();
    const auto cached = m_images.constFind(path);
    if (cached != m_images.constEnd() && !cached->isNull())
        return QIcon(QPixmap::fromImage(*cached));
    return placeholderIcon();
}

QVariant ArticoloStampaFotograficaFileSelectionModel::accessibleData(const QModelIndex &index, int role) const
{
    const QFileInfo file = fileInfo(index);
    const QString path = file.absoluteFilePath();
    if (!index.isValid() || path.isEmpty())
        return QVariant();
    if (role == Qt::AccessibleDescriptionRole)
        return QDir::toNativeSeparators(path);
    // A thumbnail is read by its file name; a folder says it is one, a file gone since the
    // folder was read says that, as its tooltip does.
    const QString name = file.fileName();
    if (!QFileInfo::exists(path))
        return name + QStringLiteral("; ") + tr("Il file non esiste, fai doppio click per sostituirlo");
    if (isDir(index))
        return tr("%1, cartella").arg(name);
    return name;
}
