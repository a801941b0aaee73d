#pragma once

#include <QAbstractTableModel>
#include <QMap>
#include <QString>
#include <QVector>

#include <vector>

class OrdineRiga;

// The rows of one order already sent, as the orders service returned them: article code,
// kind, description, quantity and unit price. The rows belong to their order; the model
// never deletes one. A screen reader reads each cell with the row's file and article
// (Qt::AccessibleTextRole).
class RigheOrdineTableModel : public QAbstractTableModel
{
public:
    explicit RigheOrdineTableModel(QObject *parent = nullptr);
    ~RigheOrdineTableModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Deletes one row on the server (count must be 1) and drops it from the list once the
    // service has confirmed; a service failure reaches the caller as the row's exception.
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;

    void SetVector(const std::vector<OrdineRiga *> &righe);
    const std::vector<OrdineRiga *> &GetVector() const { return righeOrdine; }
    // Row kind of a "Tipo" text (0 for a text it does not know).
    int tipoRiga(const QString &name) const { return tipiRiga.value(name, 0); }

private:
    QMap<QString, int> tipiRiga;
    std::vector<OrdineRiga *> righeOrdine;
    QVector<QString> headers;
};
