#pragma once

#include <QAbstractListModel>
#include <QFileInfo>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QStringList>

// The files a file-sending order will send: one row per file, columns name, path and size.
// Only existing regular files enter through addFile(), each at most once whatever the letter
// case of its path; an order reopened after its files moved keeps them as rows that show as
// missing (invalidFilesList()). Accepts drops of local file URLs. GUI thread only.
class ArticoloInvioFileItemModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit ArticoloInvioFileItemModel(QObject *parent = nullptr);

    QModelIndex index(int row, int column = 0, const QModelIndex &parent = QModelIndex()) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;
    bool insertRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // What the disk says of an entry at this moment, never a remembered answer: whether its
    // path exists, whether it is a folder, and its size in bytes (0 when it does not exist).
    // The cells, invalidFilesList(), the counters and the composer's save all ask here.
    struct OnDisk
    {
        bool exists = false;
        bool folder = false;
        quint64 size = 0;
        // An entry the order can't send: gone, a folder, or no path at all.
        bool missing() const { return !exists || folder; }
    };
    static OnDisk onDisk(const QFileInfo &file);

    void addFile(QFileInfo file);
    // addFile() for each file in turn, with one notification for the whole batch: rows inserted
    // (the admitted files, at the end), model reset, dataChanged over their first column.
    void addFiles(const QList<QFileInfo> &files);
    void setFileList(QList<QFileInfo> list);
    QList<QFileInfo> fileList() const;
    QFileInfo fileInfo(const QModelIndex &index) const;
    QFileInfo fileInfo(const QString &path) const;
    QModelIndex index(QFileInfo &file) const;
    bool removeItem(QFileInfo file);
    QList<QFileInfo> invalidFilesList() const;
    quint64 totalFilesSize() const;
    QString totalFilesSizeToString() const;
    QString fileSizeToString(unsigned long long size) const;
    void ResetModel();
    // One look at the disk for the counters: the total size and the number of missing entries.
    void status(quint64 *totalSize, int *invalidCount) const;
    // Not the item model's drop-action query (that one keeps the default, copy only).
    Qt::DropActions supportedDropActions();

private:
    // A row stays in the case-insensitive admission index as long as it is in the list.
    void indexPath(const QFileInfo &file);
    void unindexPath(const QFileInfo &file);
    void notifyAllCells();
    // The admission test of addFile(); the file to store, or an empty one when refused.
    QFileInfo admit(const QFileInfo &file) const;

    QList<QFileInfo> fileInfoList;
    QStringList headerLabels;
    QHash<QString, int> m_lowerPaths; // lower-cased absolute path -> rows holding it
    mutable QIcon m_presentIcon;
    mutable QIcon m_brokenIcon;
};
