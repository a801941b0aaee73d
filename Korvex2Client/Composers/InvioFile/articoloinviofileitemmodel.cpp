#include "articoloinviofileitemmodel.h"

#include <QDebug>
#include <QFile>
#include <QIcon>
#include <QMimeData>
#include <QPixmap>
#include <QUrl>

#include "korvexglobals.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

QString lowerPath(const QFileInfo &file)
{
    return file.absoluteFilePath().toLower();
}

} // namespace

ArticoloInvioFileItemModel::OnDisk ArticoloInvioFileItemModel::onDisk(const QFileInfo &file)
{
    OnDisk state;
    const QString path = file.absoluteFilePath();
    if (path.isEmpty())
        return state;
#ifdef Q_OS_UNIX
    // One look at the disk, without a file record's own work: the counters ask it for every
    // file of the list.
    struct stat buffer;
    if (::stat(QFile::encodeName(path).constData(), &buffer) != 0)
        return state;
    state.exists = true;
    state.folder = S_ISDIR(buffer.st_mode);
    state.size = quint64(buffer.st_size);
#else
    // A new record of the path: an entry keeps the answers it read when it was made, and a
    // refreshed copy of it does not always read them again.
    const QFileInfo now(path);
    state.exists = now.exists();
    if (state.exists) {
        state.folder = now.isDir();
        state.size = quint64(now.size());
    }
#endif
    return state;
}

ArticoloInvioFileItemModel::ArticoloInvioFileItemModel(QObject *parent)
    : QAbstractListModel(parent)
{
    headerLabels << tr("Nome") << tr("Percorso") << tr("Dimensione");
}

QModelIndex ArticoloInvioFileItemModel::index(int row, int column, const QModelIndex &parent) const
{
    return QAbstractListModel::index(row, column, parent);
}

int ArticoloInvioFileItemModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : fileInfoList.size();
}

int ArticoloInvioFileItemModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : headerLabels.size();
}

QVariant ArticoloInvioFileItemModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.column() < 0 || index.model() != this
        || index.row() >= fileInfoList.size())
        return QVariant();
    const QFileInfo &file = fileInfoList.at(index.row());

    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case 0:
            return file.fileName();
        case 1:
            return file.absoluteFilePath();
        case 2:
            return fileSizeToString(onDisk(file).size);
        default:
            return QVariant();
        }
    case Qt::DecorationRole:
        if (index.column() != 0)
            return QVariant();
        // Made once: an icon keeps its scaled pictures, which painting thousands of rows reuses.
        if (m_presentIcon.isNull()) {
            m_presentIcon = QIcon(QPixmap(QStringLiteral(":/Resource/256x256/file.png")));
            m_brokenIcon = QIcon(QPixmap(QStringLiteral(":/Resource/128x128/broken-file-access.png")));
        }
        return onDisk(file).exists ? m_presentIcon : m_brokenIcon;
    case Qt::ToolTipRole: {
        if (file.filePath().isEmpty())
            return QVariant();
        // Names and paths are text, not markup: a file named a<b>.txt shows as it is.
        const QString name = file.fileName().toHtmlEscaped();
        const QString path = file.absoluteFilePath().toHtmlEscaped();
        const QString nome = QStringLiteral("<i>") + tr("Nome") + QStringLiteral("</i>");
        const QString percorso = QStringLiteral("<i>") + tr("Percorso") + QStringLiteral("</i>");
        const QString dimensione = QStringLiteral("<i>") + tr("Dimensione") + QStringLiteral("</i>");
        const OnDisk state = onDisk(file);
        if (state.exists) {
            return (nome + QStringLiteral(": %1<br />") + percorso + QStringLiteral(": %2<br />") + dimensione
                    + QStringLiteral(": %3"))
                .arg(name, path, fileSizeToString(state.size));
        }
        return (QStringLiteral("<h4>%1</h4>") + nome + QStringLiteral(": %2<br />") + percorso
                + QStringLiteral(": %3<br />") + dimensione + QStringLiteral(": %4"))
            .arg(tr("Il file non esiste, fai doppio click per sostituirlo"), name, path, QStringLiteral("--"));
    }
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

bool ArticoloInvioFileItemModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() < 0 || index.row() >= fileInfoList.size())
        return false;
    if (role != Qt::EditRole)
        return false;
    const QString path = value.toString();
    if (path.isEmpty())
        return false;
    const QFileInfo file(path);
    if (!file.isFile() || !file.exists())
        return false;

    beginResetModel();
    unindexPath(fileInfoList.at(index.row()));
    fileInfoList[index.row()] = file;
    indexPath(file);
    endResetModel();
    emit dataChanged(index, index, QVector<int>());
    return true;
}

QVariant ArticoloInvioFileItemModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < headerLabels.size() ? QVariant(headerLabels.at(section)) : QVariant();
    return QStringLiteral("%1").arg(section + 1);
}

QStringList ArticoloInvioFileItemModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData *ArticoloInvioFileItemModel::mimeData(const QModelIndexList &indexes) const
{
    auto *data = new QMimeData;
    QList<QUrl> urls;
    for (const QModelIndex &index : indexes) {
        if (index.row() >= 0 && index.row() < fileInfoList.size())
            urls.append(QUrl::fromLocalFile(fileInfoList.at(index.row()).absoluteFilePath()));
    }
    data->setUrls(urls);
    return data;
}

bool ArticoloInvioFileItemModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int, int,
                                              const QModelIndex &)
{
    if (action == Qt::IgnoreAction)
        return true;
    if (!data || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    for (const QUrl &url : urls)
        addFile(QFileInfo(url.toLocalFile()));
    return true;
}

bool ArticoloInvioFileItemModel::insertRows(int row, int count, const QModelIndex &parent)
{
    if (row < 0 || row > fileInfoList.size() || count < 1)
        return false;
    beginInsertRows(parent, row, row + count - 1);
    for (int i = 0; i < count; ++i)
        fileInfoList.insert(row, QFileInfo());
    endInsertRows();
    return true;
}

bool ArticoloInvioFileItemModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (row < 0 || count <= 0 || row >= fileInfoList.size() || row + count > fileInfoList.size())
        return false;
    beginRemoveRows(parent, row, row + count - 1);
    for (int i = row; i < row + count; ++i)
        unindexPath(fileInfoList.at(i));
    fileInfoList.erase(fileInfoList.begin() + row, fileInfoList.begin() + row + count);
    endRemoveRows();
    notifyAllCells();
    return true;
}

Qt::ItemFlags ArticoloInvioFileItemModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return QAbstractListModel::flags(index) | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

QFileInfo ArticoloInvioFileItemModel::admit(const QFileInfo &given) const
{
    // Read the disk once for the tests below and for the counters later.
    QFileInfo file(given);
    // Switched on only when it is off: setting it copies the record, for every file added.
    if (!file.caching())
        file.setCaching(true);
    const QString path = file.absoluteFilePath();
    if (!file.isFile() || !file.exists()) {
        qDebug().noquote() << QStringLiteral("File Skipped (Not File/Not Exist): ") + path;
        return QFileInfo();
    }
    if (m_lowerPaths.contains(path.toLower())) {
        qDebug().noquote() << QStringLiteral("File Skipped (Exists): ") + path;
        return QFileInfo();
    }
    qDebug().noquote() << QStringLiteral("File Added: ") + path;
    // An absolute record is kept as it is, with what it has read of the disk.
    return file.isAbsolute() ? file : QFileInfo(path);
}

void ArticoloInvioFileItemModel::addFile(QFileInfo file)
{
    const QFileInfo admitted = admit(file);
    if (admitted.filePath().isEmpty())
        return;
    insertRows(rowCount(), 1);
    setData(index(rowCount() - 1, 0), admitted.absoluteFilePath(), Qt::EditRole);
}

void ArticoloInvioFileItemModel::addFiles(const QList<QFileInfo> &files)
{
    QList<QFileInfo> admitted;
    for (const QFileInfo &file : files) {
        QFileInfo entry = admit(file);
        if (entry.filePath().isEmpty())
            continue;
        indexPath(entry);
        admitted.append(entry);
    }
    if (admitted.isEmpty())
        return;
    const int first = fileInfoList.size();
    beginInsertRows(QModelIndex(), first, first + admitted.size() - 1);
    fileInfoList.append(admitted);
    endInsertRows();
    beginResetModel();
    endResetModel();
    emit dataChanged(index(first, 0), index(fileInfoList.size() - 1, 0), QVector<int>());
}

void ArticoloInvioFileItemModel::setFileList(QList<QFileInfo> list)
{
    beginResetModel();
    fileInfoList = list;
    m_lowerPaths.clear();
    for (const QFileInfo &file : qAsConst(fileInfoList))
        indexPath(file);
    endResetModel();
    notifyAllCells();
}

QList<QFileInfo> ArticoloInvioFileItemModel::fileList() const
{
    return fileInfoList;
}

QFileInfo ArticoloInvioFileItemModel::fileInfo(const QModelIndex &index) const
{
    if (!index.isValid() || index.row() < 0 || index.column() < 0 || index.row() >= fileInfoList.size())
        return QFileInfo();
    return fileInfoList.at(index.row());
}

QFileInfo ArticoloInvioFileItemModel::fileInfo(const QString &path) const
{
    const QFileInfo wanted(path);
    for (const QFileInfo &file : fileInfoList) {
        if (file == wanted)
            return file;
    }
    return QFileInfo();
}

QModelIndex ArticoloInvioFileItemModel::index(QFileInfo &file) const
{
    const QString path = file.absoluteFilePath();
    for (int row = 0; row < fileInfoList.size(); ++row) {
        if (fileInfoList.at(row).absoluteFilePath() == path)
            return index(row, 0);
    }
    return QModelIndex();
}

bool ArticoloInvioFileItemModel::removeItem(QFileInfo file)
{
    const QString path = file.absoluteFilePath();
    bool found = false;
    for (int row = fileInfoList.size() - 1; row >= 0; --row) {
        if (fileInfoList.at(row).absoluteFilePath() == path) {
            removeRows(row, 1);
            found = true;
        }
    }
    return found;
}

QList<QFileInfo> ArticoloInvioFileItemModel::invalidFilesList() const
{
    QList<QFileInfo> invalid;
    for (const QFileInfo &file : fileInfoList) {
        if (onDisk(file).missing())
            invalid.append(file);
    }
    return invalid;
}

quint64 ArticoloInvioFileItemModel::totalFilesSize() const
{
    quint64 total = 0;
    for (const QFileInfo &file : fileInfoList)
        total += onDisk(file).size;
    return total;
}

QString ArticoloInvioFileItemModel::totalFilesSizeToString() const
{
    return fileSizeToString(totalFilesSize());
}

QString ArticoloInvioFileItemModel::fileSizeToString(unsigned long long size) const
{
    return KorvexGlobals::fileSizeToString(quint64(size));
}

void ArticoloInvioFileItemModel::status(quint64 *totalSize, int *invalidCount) const
{
    quint64 total = 0;
    int invalid = 0;
    for (const QFileInfo &file : fileInfoList) {
        const OnDisk state = onDisk(file);
        total += state.size;
        if (state.missing())
            ++invalid;
    }
    if (totalSize)
        *totalSize = total;
    if (invalidCount)
        *invalidCount = invalid;
}

void ArticoloInvioFileItemModel::ResetModel()
{
    beginResetModel();
    endResetModel();
}

Qt::DropActions ArticoloInvioFileItemModel::supportedDropActions()
{
    return Qt::DropActions(Qt::ActionMask | Qt::TargetMoveAction);
}

void ArticoloInvioFileItemModel::indexPath(const QFileInfo &file)
{
    if (!file.filePath().isEmpty())
        ++m_lowerPaths[lowerPath(file)];
}

void ArticoloInvioFileItemModel::unindexPath(const QFileInfo &file)
{
    if (file.filePath().isEmpty())
        return;
    const auto it = m_lowerPaths.find(lowerPath(file));
    if (it != m_lowerPaths.end() && --it.value() <= 0)
        m_lowerPaths.erase(it);
}

// Over the cells that exist: an empty list has none to name.
void ArticoloInvioFileItemModel::notifyAllCells()
{
    if (!fileInfoList.isEmpty())
        emit dataChanged(index(0, 0), index(fileInfoList.size() - 1, columnCount() - 1));
}
