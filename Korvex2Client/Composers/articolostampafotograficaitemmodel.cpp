#include "articolostampafotograficaitemmodel.h"

#include <QIcon>
#include <QMimeData>
#include <QPixmap>
#include <QUrl>

#include "korvexglobals.h"

namespace {

QString fileAbsolutePath(const QFileInfo &file)
{
    // An entry without a path (made by insertRows) has no absolute path either.
    return file.filePath().isEmpty() ? QString() : file.absoluteFilePath();
}

} // namespace

ArticoloStampaFotograficaItemModel::ArticoloStampaFotograficaItemModel(QObject *parent)
    : QAbstractListModel(parent)
{
    m_headers << tr("Nome") << tr("Percorso") << tr("Dimensione");
}

int ArticoloStampaFotograficaItemModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_files.size();
}

int ArticoloStampaFotograficaItemModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_headers.size();
}

QVariant ArticoloStampaFotograficaItemModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal) {
        if (section >= 0 && section < m_headers.size())
            return m_headers.at(section);
        return QVariant();
    }
    return QStringLiteral("%1").arg(section + 1);
}

Qt::ItemFlags ArticoloStampaFotograficaItemModel::flags(const QModelIndex &index) const
{
    const Qt::ItemFlags base = QAbstractListModel::flags(index);
    if (index.isValid())
        return base | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    return base | Qt::ItemIsDropEnabled;
}

QVariant ArticoloStampaFotograficaItemModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_files.size())
        return QVariant();
    const QFileInfo &file = m_files.at(index.row());
    const QString path = fileAbsolutePath(file);

    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case 0:
            return file.fileName();
        case 1:
            return path;
        case 2:
            return fileSizeToString(quint64(qMax<qint64>(0, file.size())));
        default:
            return QVariant();
        }
    case Qt::DecorationRole:
        if (index.column() != 0)
            return QVariant();
        if (path.isEmpty() || !file.exists())
            return QIcon(QPixmap(QStringLiteral(":/Resource/128x128/broken-file-access.png")));
        return QIcon(QPixmap(QStringLiteral(":/Resource/256x256/file.png")));
    case Qt::ToolTipRole: {
        if (path.isEmpty())
            return QVariant();
        // Names and paths are text, not markup.
        const QString name = file.fileName().toHtmlEscaped();
        const QString escapedPath = path.toHtmlEscaped();
        if (file.exists()) {
            return QString(QStringLiteral("<i>") + tr("Nome") + QStringLiteral("</i>: %1<br /><i>") + tr("Percorso")
                           + QStringLiteral("</i>: %2<br /><i>") + tr("Dimensione") + QStringLiteral("</i>: %3"))
                .arg(name, escapedPath, fileSizeToString(quint64(qMax<qint64>(0, file.size()))));
        }
        return QString(QStringLiteral("<h4>%1</h4><i>") + tr("Nome") + QStringLiteral("</i>: %2<br /><i>")
                       + tr("Percorso") + QStringLiteral("</i>: %3<br /><i>") + tr("Dimensione")
                       + QStringLiteral("</i>: %4"))
            .arg(tr("Il file non esiste, fai doppio click per sostituirlo").toHtmlEscaped(), name, escapedPath,
                 tr("--"));
    }
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

bool ArticoloStampaFotograficaItemModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_files.size())
        return false;
    const QString path = value.toString();
    const QFileInfo file(path);
    if (path.isEmpty() || !file.isFile() || !file.exists())
        return false;
    if (role != Qt::EditRole)
        return false;
    beginResetModel();
    m_files[index.row()] = QFileInfo(path);
    endResetModel();
    emit dataChanged(index, index);
    return true;
}

bool ArticoloStampaFotograficaItemModel::insertRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || row > m_files.size() || count < 1)
        return false;
    beginInsertRows(parent, row, row + count - 1);
    for (int k = 0; k < count; ++k)
        m_files.insert(row, QFileInfo());
    endInsertRows();
    return true;
}

bool ArticoloStampaFotograficaItemModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (row < 0 || count < 1 || row >= m_files.size() || row + count > m_files.size())
        return false;
    beginRemoveRows(parent, row, row + count - 1);
    m_files.erase(m_files.begin() + row, m_files.begin() + row + count);
    endRemoveRows();
    allDataChanged();
    return true;
}

void ArticoloStampaFotograficaItemModel::allDataChanged()
{
    // Only a table with rows has corners to name.
    if (m_files.isEmpty())
        return;
    emit dataChanged(index(0, 0), index(m_files.size() - 1, m_headers.size() - 1));
}

QStringList ArticoloStampaFotograficaItemModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData *ArticoloStampaFotograficaItemModel::mimeData(const QModelIndexList &indexes) const
{
    QList<QUrl> urls;
    for (const QModelIndex &index : indexes) {
        if (index.row() < 0 || index.row() >= m_files.size())
            continue;
        urls << QUrl::fromLocalFile(m_files.at(index.row()).absoluteFilePath());
    }
    auto *data = new QMimeData;
    data->setUrls(urls);
    return data;
}

bool ArticoloStampaFotograficaItemModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row,
                                                      int column, const QModelIndex &parent)
{
    Q_UNUSED(row)
    Q_UNUSED(column)
    Q_UNUSED(parent)
    if (action == Qt::IgnoreAction)
        return true;
    if (!data || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    for (const QUrl &url : urls)
        addFile(QFileInfo(url.toLocalFile()));
    return true;
}

Qt::DropActions ArticoloStampaFotograficaItemModel::supportedDropActions() const
{
    return Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
}

void ArticoloStampaFotograficaItemModel::addFile(QFileInfo file)
{
    if (file.filePath().isEmpty() || !file.isFile() || !file.exists())
        return;
    const QString lower = file.absoluteFilePath().toLower();
    for (const QFileInfo &listed : qAsConst(m_files)) {
        if (fileAbsolutePath(listed).toLower() == lower)
            return;
    }
    const int row = m_files.size();
    insertRows(row, 1);
    setData(index(row, 0), file.absoluteFilePath(), Qt::EditRole);
}

void ArticoloStampaFotograficaItemModel::setFileList(QList<QFileInfo> files)
{
    beginResetModel();
    m_files.clear();
    m_files.append(files);
    endResetModel();
    allDataChanged();
}

QList<QFileInfo> ArticoloStampaFotograficaItemModel::fileList() const
{
    return m_files;
}

QFileInfo ArticoloStampaFotograficaItemModel::fileInfo(QModelIndex index) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_files.size())
        return QFileInfo();
    return m_files.at(index.row());
}

QFileInfo ArticoloStampaFotograficaItemModel::fileInfo(QString path) const
{
    const QFileInfo wanted(path);
    for (const QFileInfo &file : m_files) {
        if (file == wanted)
            return file;
    }
    return QFileInfo();
}

QModelIndex ArticoloStampaFotograficaItemModel::index(const QFileInfo &file) const
{
    const QString path = fileAbsolutePath(file);
    for (int row = 0; row < m_files.size(); ++row) {
        if (fileAbsolutePath(m_files.at(row)) == path)
            return index(row, 0);
    }
    return QModelIndex();
}

bool ArticoloStampaFotograficaItemModel::removeItem(QFileInfo file)
{
    const QString path = fileAbsolutePath(file);
    bool removed = false;
    for (int row = m_files.size() - 1; row >= 0; --row) {
        if (fileAbsolutePath(m_files.at(row)) == path) {
            removeRows(row, 1);
            removed = true;
        }
    }
    return removed;
}

QList<QFileInfo> ArticoloStampaFotograficaItemModel::invalidFilesList() const
{
    QList<QFileInfo> invalid;
    for (const QFileInfo &file : m_files) {
        if (file.isDir() || !file.exists())
            invalid << file;
    }
    return invalid;
}

qint64 ArticoloStampaFotograficaItemModel::totalFilesSize() const
{
    qint64 total = 0;
    for (const QFileInfo &file : m_files)
        total += qMax<qint64>(0, file.size());
    return total;
}

QString ArticoloStampaFotograficaItemModel::totalFilesSizeToString() const
{
    return fileSizeToString(quint64(totalFilesSize()));
}

QString ArticoloStampaFotograficaItemModel::fileSizeToString(quint64 size) const
{
    return KorvexGlobals::fileSizeToString(size);
}

void ArticoloStampaFotograficaItemModel::ResetModel()
{
    beginResetModel();
    endResetModel();
}
