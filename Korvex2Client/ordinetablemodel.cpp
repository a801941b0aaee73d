#include "ordinetablemodel.h"

#include <QDateTime>

#include <cmath>

#include "ordine.h"
#include "utente.h"

namespace {

QString utf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), int(text.size()));
}

// The server's times are seconds since 1970 in 32 bits; the calendar day in local time.
QDate localDate(time_t seconds)
{
    return QDateTime::fromSecsSinceEpoch(qint64(quint32(seconds))).toLocalTime().date();
}

} // namespace

OrdineTableModel::OrdineTableModel(QObject *parent)
    : QAbstractTableModel(parent)
    , statusMap(defaultStatusMap())
{
    headers << tr("Numero") << tr("Data") << tr("Utente") << tr("Intestatario") << tr("Cliente Finale")
            << tr("Stato") << tr("Modificato") << tr("Totale %1").arg(QChar(0x20AC));
}

OrdineTableModel::~OrdineTableModel() = default;

QMap<QString, int> OrdineTableModel::defaultStatusMap()
{
    QMap<QString, int> map;
    map.insert(tr("Non Inviato"), 1);
    map.insert(tr("Pendente"), 2);
    map.insert(tr("Ricevuto"), 3);
    map.insert(tr("Annullato"), 4);
    map.insert(tr("In lavorazione"), 5);
    map.insert(tr("In Coda"), 6);
    map.insert(tr("Evaso"), 7);
    map.insert(tr("In attesa di pagamento"), 8);
    return map;
}

QString OrdineTableModel::statusName(const QMap<QString, int> &map, int stato)
{
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (it.value() == stato)
            return it.key();
    }
    return QString();
}

int OrdineTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(ordiniVector.size());
}

int OrdineTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : headers.size();
}

QVariant OrdineTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.column() < 0 || index.row() >= rowCount())
        return QVariant();
    const Ordine *ordine = ordiniVector[size_t(index.row())];
    if (checkboxEnabled && role == Qt::CheckStateRole && index.column() == checkColumn)
        return checkedRows.value(index.row(), false) ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::TextAlignmentRole) {
        const Qt::Alignment horizontal = index.column() == 7 ? Qt::AlignRight : Qt::AlignLeft;
        return int(horizontal | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole || !ordine)
        return QVariant();
    switch (index.column()) {
    case 0:
        return ordine->numero;
    case 1:
        return localDate(ordine->data);
    case 2:
        return utf8(ordine->utente->username);
    case 3:
        if (!ordine->utente->ragione_sociale.empty())
            return utf8(ordine->utente->ragione_sociale);
        return utf8(ordine->utente->nome) + QLatin1Char(' ') + utf8(ordine->utente->cognome);
    case 4:
        return utf8(ordine->cliente_finale);
    case 5:
        return statusName(statusMap, ordine->stato);
    case 6:
        return localDate(ordine->data_ultima_modifica);
    case 7:
        return std::round(double(ordine->totale) * 100.0) / 100.0;
    default:
        return QVariant();
    }
}

bool OrdineTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!checkboxEnabled || role != Qt::CheckStateRole || !index.isValid() || index.column() != checkColumn
        || index.row() >= rowCount())
        return false;
    checkedRows[index.row()] = value.toInt() != Qt::Unchecked;
    beginResetModel();
    endResetModel();
    emit layoutChanged();
    return true;
}

QVariant OrdineTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < headers.size() ? QVariant(headers.at(section)) : QVariant();
    return QStringLiteral("%1").arg(section + 1);
}

bool OrdineTableModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || row >= rowCount() || count != 1)
        return false;
    const std::string guid = ordiniVector[size_t(row)]->Getguid();
    size_t found = size_t(row);
    for (size_t i = 0; i < ordiniVector.size(); ++i) {
        if (ordiniVector[i]->Getguid() == guid) {
            found = i;
            break;
        }
    }
    if (!ordiniVector[found]->cancella())
        return false;
    beginRemoveRows(QModelIndex(), int(found), int(found));
    ordiniVector.erase(ordiniVector.begin() + std::ptrdiff_t(found));
    QMap<int, bool> shifted;
    for (auto it = checkedRows.cbegin(); it != checkedRows.cend(); ++it) {
        if (it.key() != int(found))
            shifted.insert(it.key() > int(found) ? it.key() - 1 : it.key(), it.value());
    }
    checkedRows = shifted;
    endRemoveRows();
    return true;
}

Qt::ItemFlags OrdineTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid() || index.row() < 0 || index.column() < 0)
        return Qt::NoItemFlags;
    if (checkboxEnabled && index.column() == checkColumn)
        return Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

void OrdineTableModel::selectionCheckboxEnabled(bool enabled)
{
    checkboxEnabled = enabled;
}

void OrdineTableModel::setStatusMap(const QMap<QString, int> &map)
{
    beginResetModel();
    statusMap = map;
    endResetModel();
}

void OrdineTableModel::SetVector(const std::vector<Ordine *> &ordini)
{
    beginResetModel();
    ordiniVector = ordini;
    checkedRows.clear();
    for (int i = 0; i < int(ordiniVector.size()); ++i)
        checkedRows.insert(i, false);
    endResetModel();
}

std::vector<Ordine *> OrdineTableModel::GetVector() const
{
    return ordiniVector;
}

QList<int> OrdineTableModel::getCheckedIndexes() const
{
    QList<int> rows;
    for (auto it = checkedRows.cbegin(); it != checkedRows.cend(); ++it) {
        if (it.value() && it.key() < rowCount())
            rows << it.key();
    }
    return rows;
}

void OrdineTableModel::ResetModel()
{
    beginResetModel();
    endResetModel();
}

void OrdineTableModel::removeAll()
{
    if (ordiniVector.empty())
        return;
    beginResetModel();
    ordiniVector.clear();
    checkedRows.clear();
    endResetModel();
}
