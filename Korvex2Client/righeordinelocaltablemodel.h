#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QMap>
#include <QString>
#include <QVector>

#include "ordinilocal.h"

// The rows of one local order as a read-only table: article code, row type, description,
// copies and row amount. It holds copies of the rows, one kind at a time. A screen reader
// reads each cell with the row's file and article (Qt::AccessibleTextRole), and the file's
// path as its description.
class RigheOrdineLocalTableModel : public QAbstractTableModel
{
public:
    struct OrdineRigaLocal
    {
        QString Codice;
        QString Descrizione;
        int Qta = 0;
        double Prezzo = 0.0;
        int TipoRiga = 0;
        // The row's file, read by a screen reader with each cell (no column shows it).
        QString FilePath;
    };

    explicit RigheOrdineLocalTableModel(QObject *parent = nullptr);
    ~RigheOrdineLocalTableModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;

    void SetVector(const QList<OrdiniLocal::OrdineRigaFileLocal> &righe);
    void SetVector(const QList<OrdiniLocal::OrdineRigaStampaLocal> &righe);
    // The goods total: copies times unit price over the rows, shipping excluded.
    double totale() const;

    // Row type of a "Tipo" label (0 for a label it does not know).
    int tipoRiga(const QString &label) const { return tipiRiga.value(label, 0); }

private:
    QMap<QString, int> tipiRiga;
    QVector<OrdineRigaLocal> righe;
    QVector<QString> intestazioni;
};
