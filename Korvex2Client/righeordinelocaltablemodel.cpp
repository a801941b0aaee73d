#include "righeordinelocaltablemodel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "righeordineaccessibletext.h"

namespace {

QString trModel(const char *text)
{
    return QCoreApplication::translate("QAbstractTableModel", text);
}

} // namespace

RigheOrdineLocalTableModel::RigheOrdineLocalTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
    tipiRiga.insert(trModel("Altro"), 0);
    tipiRiga.insert(trModel("File"), 1);
    tipiRiga.insert(trModel("Stampa"), 2);
    intestazioni << trModel("Cod. Articolo") << trModel("Tipo") << trModel("Descrizione") << trModel("Qta")
                 << trModel("Prezzo");
}

RigheOrdineLocalTableModel::~RigheOrdineLocalTableModel() = default;

int RigheOrdineLocalTableModel::rowCount(const QModelIndex &parent) const
{
    // A flat table: no row has children.
    return parent.isValid() ? 0 : righe.size();
}

int RigheOrdineLocalTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : intestazioni.size();
}

QVariant RigheOrdineLocalTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.model() != this || index.row() < 0 || index.column() < 0
        || index.row() >= righe.size())
        return QVariant();
    if (role == Qt::TextAlignmentRole) {
        if (index.column() == 3 || index.column() == 4)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (role == Qt::AccessibleTextRole) {
        if (index.column() >= intestazioni.size())
            return QVariant();
        const OrdineRigaLocal &riga = righe.at(index.row());
        return RigheOrdineAccessibleText::cell(intestazioni.at(index.column()),
                                               data(index, Qt::DisplayRole).toString(),
                                               QFileInfo(riga.FilePath).fileName(), riga.Codice, riga.Descrizione);
    }
    if (role == Qt::AccessibleDescriptionRole) {
        const QString &path = righe.at(index.row()).FilePath;
        if (index.column() >= intestazioni.size() || path.isEmpty())
            return QVariant();
        return QDir::toNativeSeparators(path);
    }
    if (role != Qt::DisplayRole)
        return QVariant();

    const OrdineRigaLocal &riga = righe.at(index.row());
    switch (index.column()) {
    case 0:
        return riga.Codice;
    case 1:
        return tipiRiga.key(riga.TipoRiga, QString());
    case 2:
        return riga.Descrizione;
    case 3:
        return QStringLiteral("%1").arg(riga.Qta);
    case 4:
        return QStringLiteral("%L1 %2").arg(riga.Qta * riga.Prezzo, 0, 'f', 4).arg(QChar(0x20AC));
    default:
        return QVariant();
    }
}

QVariant RigheOrdineLocalTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return QStringLiteral("%1").arg(section + 1);
    if (section >= 0 && section < intestazioni.size())
        return intestazioni.at(section);
    return QVariant();
}

bool RigheOrdineLocalTableModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || count < 1 || row + count > righe.size())
        return false;
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    righe.remove(row, count);
    endRemoveRows();
    return true;
}

void RigheOrdineLocalTableModel::SetVector(const QList<OrdiniLocal::OrdineRigaFileLocal> &list)
{
    beginResetModel();
    righe.clear();
    for (const OrdiniLocal::OrdineRigaFileLocal &r : list)
        righe.append(OrdineRigaLocal{r.Codice, r.Descrizione, 1, 0.0, r.TipoRiga, r.FilePath});
    endResetModel();
}

void RigheOrdineLocalTableModel::SetVector(const QList<OrdiniLocal::OrdineRigaStampaLocal> &list)
{
    beginResetModel();
    righe.clear();
    for (const OrdiniLocal::OrdineRigaStampaLocal &r : list)
        righe.append(OrdineRigaLocal{r.Codice, r.Descrizione, r.Qta, r.Prezzo, r.TipoRiga, r.FilePath});
    endResetModel();
}

double RigheOrdineLocalTableModel::totale() const
{
    double sum = 0.0;
    for (const OrdineRigaLocal &r : righe)
        sum += r.Qta * r.Prezzo;
    return sum;
}
