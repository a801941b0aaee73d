#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QMap>
#include <QString>
#include <QVector>

#include <vector>

class Ordine;

// The orders already sent, as the orders service listed them: number, date, user, account
// holder, end customer, state, last change and total, one row per order header. It also
// carries the names of the order states. The model holds plain pointers and never deletes an
// order: whoever hands over the list keeps it.
class OrdineTableModel : public QAbstractTableModel
{
public:
    explicit OrdineTableModel(QObject *parent = nullptr);
    ~OrdineTableModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Deletes one order on the server (count must be 1) and drops it from the list once the
    // service has confirmed; a service failure reaches the caller as Ordine::OrdineException.
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void selectionCheckboxEnabled(bool enabled);
    // Replaces the state names as a whole.
    void setStatusMap(const QMap<QString, int> &map);
    const QMap<QString, int> &getStatusMap() const { return statusMap; }
    // The name of a state: the first name, in the map's order, with that number; empty when none.
    static QString statusName(const QMap<QString, int> &map, int stato);

    void SetVector(const std::vector<Ordine *> &ordini);
    std::vector<Ordine *> GetVector() const;
    QList<int> getCheckedIndexes() const;
    void ResetModel();
    void removeAll();

    // The state names used when the local database has none.
    static QMap<QString, int> defaultStatusMap();

private:
    QMap<QString, int> statusMap;
    int checkColumn = 0;
    std::vector<Ordine *> ordiniVector;
    QVector<QString> headers;
    QMap<int, bool> checkedRows;
    bool checkboxEnabled = true;
};
