#pragma once

#include <QAbstractListModel>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// The image files chosen for a print order: one row per file, with its name, absolute path
// and size as three columns. Files dropped from the desktop arrive as URL lists and rows
// dragged out leave as URL lists. A file that is gone shows the broken-file icon and says so
// in its tooltip. Holds file information only; shows no messages.
class ArticoloStampaFotograficaItemModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit ArticoloStampaFotograficaItemModel(QObject *parent = nullptr);
    Q_DISABLE_COPY(ArticoloStampaFotograficaItemModel)

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    using QAbstractListModel::index;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    bool insertRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;
    Qt::DropActions supportedDropActions() const override;

    // Adds an existing regular file at the end unless a listed file has the same absolute
    // path regardless of letter case.
    void addFile(QFileInfo file);
    // Replaces every entry, as given (no test).
    void setFileList(QList<QFileInfo> files);
    QList<QFileInfo> fileList() const;
    QFileInfo fileInfo(QModelIndex index) const;
    QFileInfo fileInfo(QString path) const;
    // Column 0 of the first entry with exactly that absolute path.
    QModelIndex index(const QFileInfo &file) const;
    // Removes every entry with exactly that absolute path.
    bool removeItem(QFileInfo file);
    // The entries that are folders or do not exist.
    QList<QFileInfo> invalidFilesList() const;
    qint64 totalFilesSize() const;
    QString totalFilesSizeToString() const;
    QString fileSizeToString(quint64 size) const;
    void ResetModel();

private:
    void allDataChanged();

    QList<QFileInfo> m_files;
    QVector<QString> m_headers;
};
