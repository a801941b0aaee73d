#include "righeordinetablemodel.h"

#include "ordineriga.h"
#include "ordinerigafile.h"
#include "ordinerigastampa.h"
#include "righeordineaccessibletext.h"

namespace {

QString utf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), int(text.size()));
}

// The name of the file a row sent, as the orders service recorded it (none for a plain row).
QString fileNameOf(const OrdineRiga *riga)
{
    if (const auto *file = dynamic_cast<const OrdineRigaFile *>(riga))
        return utf8(file->file.nome_file);
    if (const auto *stampa = dynamic_cast<const OrdineRigaStampa *>(riga))
        return utf8(stampa->file.nome_file);
    return QString();
}

} // namespace

RigheOrdineTableModel::RigheOrdineTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
    headers << tr("Cod. Articolo") << tr("Tipo") << tr("Descrizione") << tr("Qta") << tr("Prezzo");
    tipiRiga.insert(tr("Altro"), 0);
    tipiRiga.insert(tr("File"), 1);
    tipiRiga.insert(tr("Stampa"), 2);
}

RigheOrdineTableModel::~RigheOrdineTableModel() = default;

int RigheOrdineTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(righeOrdine.size());
}

int RigheOrdineTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : headers.size();
}

QVariant RigheOrdineTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.column() < 0 || index.row() >= rowCount())
        return QVariant();
    if (role == Qt::TextAlignmentRole) {
        const Qt::Alignment horizontal = index.column() >= 3 ? Qt::AlignRight : Qt::AlignLeft;
        return int(horizontal | Qt::AlignVCenter);
    }
    const OrdineRiga *riga = righeOrdine[size_t(index.row())];
    if (role == Qt::AccessibleTextRole && riga && index.column() < headers.size()) {
        return RigheOrdineAccessibleText::cell(headers.at(index.column()), data(index, Qt::DisplayRole).toString(),
                                               fileNameOf(riga), utf8(riga->codice_articolo),
                                               utf8(riga->descrizione));
    }
    if (role != Qt::DisplayRole || !riga)
        return QVariant();
    switch (index.column()) {
    case 0:
        return utf8(riga->codice_articolo);
    case 1:
        for (auto it = tipiRiga.cbegin(); it != tipiRiga.cend(); ++it) {
            if (it.value() == riga->GetTipoRiga())
                return it.key();
        }
        return QString();
    case 2:
        return utf8(riga->descrizione);
    case 3:
        return QStringLiteral("%1").arg(riga->quantita);
    case 4:
        return QStringLiteral("%L1 %2").arg(double(riga->prezzo), 0, 'f', 4).arg(QChar(0x20AC));
    default:
        return QVariant();
    }
}

QVariant RigheOrdineTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < headers.size() ? QVariant(headers.at(section)) : QVariant();
    return QStringLiteral("%1").arg(section + 1);
}

bool RigheOrdineTableModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || row >= rowCount() || count != 1)
        return false;
    const std::string guid = righeOrdine[size_t(row)]->Getguid();
    size_t found = size_t(row);
    for (size_t i = 0; i < righeOrdine.size(); ++i) {
        if (righeOrdine[i]->Getguid() == guid) {
            found = i;
            break;
        }
    }
    if (!righeOrdine[found]->cancella())
        return false;
    beginRemoveRows(QModelIndex(), int(found), int(found));
    righeOrdine.erase(righeOrdine.begin() + std::ptrdiff_t(found));
    endRemoveRows();
    return true;
}

void RigheOrdineTableModel::SetVector(const std::vector<OrdineRiga *> &righe)
{
    beginResetModel();
    righeOrdine = righe;
    endResetModel();
}
