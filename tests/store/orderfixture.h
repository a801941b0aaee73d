#pragma once

#include <QString>
#include <QStringList>

#include "ordinilocal.h"

// Orders for the order file tests, and a field-by-field comparison that names the first
// difference.
namespace orderfixture {

// An order with every field set: two file rows and two print rows, accented and markup
// texts, a note holding the end of a CDATA section, prices that decimal text rounds,
// a size above 4 GiB and fractional crop rectangles.
inline OrdiniLocal::OrdineLocal fullOrder()
{
    OrdiniLocal::OrdineLocal o;
    o.Uuid = QStringLiteral("{0f8fad5b-d9cb-469f-a165-70867728950e}");
    o.Attivo = true;
    o.Utente = 17;
    o.WsId = QStringLiteral("ws-4711 <&> \"quoted\"");
    o.Data = QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58));
    o.DataUltimaModifica = QDateTime(QDate(2024, 3, 1), QTime(0, 0, 1));
    o.Inviato = true;
    o.Note = QStringLiteral("Consegnare entro venerdì: però <&> e ]]> dentro, più righe\nseconda riga ]]]]>");
    o.ClienteFinale = QStringLiteral("Niccolò Àlvarez & figli <s.r.l.>");
    o.Priorita = 3;
    o.Spedizione = 1234567.8;

    OrdiniLocal::OrdineRigaFileLocal f;
    f.WsFileId = QStringLiteral("file-1");
    f.Codice = QStringLiteral("INVIOFILE");
    f.Descrizione = QStringLiteral("Archivio <zip> & più");
    f.TipoRiga = 1;
    f.FilePath = QStringLiteral("/home/utente/Foto città/archivio & co.zip");
    f.FileSize = 5000000000LL;
    f.Inviata = true;
    o.righeFile.append(f);
    f.WsFileId.clear();
    f.FilePath = QStringLiteral("/home/utente/vuoto.bin");
    f.FileSize = 0;
    f.Inviata = false;
    o.righeFile.append(f);

    OrdiniLocal::OrdineRigaStampaLocal s;
    s.WsFileId = QStringLiteral("stampa-9");
    s.Codice = QStringLiteral("ST1015L");
    s.Descrizione = QStringLiteral("Stampa 10x15 lucida è <bella>");
    s.Prezzo = 0.1;
    s.TipoRiga = 2;
    s.FilePath = QStringLiteral("/home/utente/Foto città/IMG_0001.JPG");
    s.FileSize = 4294967297LL;
    s.IdStampa = 3;
    s.Transformation.Type = 2;
    s.Transformation.CropRect = QRectF(10.7, 20.2, 300.25, 400.9);
    s.FormatoDesc = QStringLiteral("10 x 15");
    s.CartaDesc = QStringLiteral("Lucida & opaca");
    s.Qta = 12;
    s.Inviata = true;
    o.righeStampa.append(s);
    s.WsFileId.clear();
    s.Prezzo = 1234567.8;
    s.FilePath = QStringLiteral("/home/utente/IMG_0002.png");
    s.FileSize = 123;
    s.IdStampa = 4;
    s.Transformation.Type = 1;
    s.Transformation.CropRect = QRectF(0.1, 1.0 / 3.0, 1e-7, 5e9);
    s.Qta = 1;
    s.Inviata = false;
    o.righeStampa.append(s);
    return o;
}

template<typename T>
inline void check(QStringList &diff, const QString &what, const T &a, const T &b)
{
    if (!(a == b))
        diff.append(what);
}

inline QString differences(const OrdiniLocal::OrdineLocal &a, const OrdiniLocal::OrdineLocal &b)
{
    QStringList d;
    check(d, QStringLiteral("Uuid"), a.Uuid, b.Uuid);
    check(d, QStringLiteral("Attivo"), a.Attivo, b.Attivo);
    check(d, QStringLiteral("Utente"), a.Utente, b.Utente);
    check(d, QStringLiteral("WsId"), a.WsId, b.WsId);
    check(d, QStringLiteral("Data"), a.Data, b.Data);
    check(d, QStringLiteral("DataUltimaModifica"), a.DataUltimaModifica, b.DataUltimaModifica);
    check(d, QStringLiteral("Inviato"), a.Inviato, b.Inviato);
    check(d, QStringLiteral("Note"), a.Note, b.Note);
    check(d, QStringLiteral("ClienteFinale"), a.ClienteFinale, b.ClienteFinale);
    check(d, QStringLiteral("Priorita"), a.Priorita, b.Priorita);
    check(d, QStringLiteral("Spedizione"), a.Spedizione, b.Spedizione);
    check(d, QStringLiteral("righeFile count"), a.righeFile.size(), b.righeFile.size());
    check(d, QStringLiteral("righeStampa count"), a.righeStampa.size(), b.righeStampa.size());
    for (int i = 0; i < qMin(a.righeFile.size(), b.righeFile.size()); ++i) {
        const auto &x = a.righeFile.at(i);
        const auto &y = b.righeFile.at(i);
        const QString r = QStringLiteral("righeFile[%1].").arg(i);
        check(d, r + QStringLiteral("WsFileId"), x.WsFileId, y.WsFileId);
        check(d, r + QStringLiteral("Codice"), x.Codice, y.Codice);
        check(d, r + QStringLiteral("Descrizione"), x.Descrizione, y.Descrizione);
        check(d, r + QStringLiteral("TipoRiga"), x.TipoRiga, y.TipoRiga);
        check(d, r + QStringLiteral("FilePath"), x.FilePath, y.FilePath);
        check(d, r + QStringLiteral("FileSize"), x.FileSize, y.FileSize);
        check(d, r + QStringLiteral("Inviata"), x.Inviata, y.Inviata);
    }
    for (int i = 0; i < qMin(a.righeStampa.size(), b.righeStampa.size()); ++i) {
        const auto &x = a.righeStampa.at(i);
        const auto &y = b.righeStampa.at(i);
        const QString r = QStringLiteral("righeStampa[%1].").arg(i);
        check(d, r + QStringLiteral("WsFileId"), x.WsFileId, y.WsFileId);
        check(d, r + QStringLiteral("Codice"), x.Codice, y.Codice);
        check(d, r + QStringLiteral("Descrizione"), x.Descrizione, y.Descrizione);
        check(d, r + QStringLiteral("Prezzo"), x.Prezzo, y.Prezzo);
        check(d, r + QStringLiteral("TipoRiga"), x.TipoRiga, y.TipoRiga);
        check(d, r + QStringLiteral("FilePath"), x.FilePath, y.FilePath);
        check(d, r + QStringLiteral("FileSize"), x.FileSize, y.FileSize);
        check(d, r + QStringLiteral("IdStampa"), x.IdStampa, y.IdStampa);
        check(d, r + QStringLiteral("Transformation.Type"), x.Transformation.Type, y.Transformation.Type);
        const QRectF &p = x.Transformation.CropRect;
        const QRectF &q = y.Transformation.CropRect;
        // exact comparison: QRectF's own operator== is fuzzy
        if (p.x() != q.x() || p.y() != q.y() || p.width() != q.width() || p.height() != q.height())
            d.append(r + QStringLiteral("Transformation.CropRect"));
        check(d, r + QStringLiteral("FormatoDesc"), x.FormatoDesc, y.FormatoDesc);
        check(d, r + QStringLiteral("CartaDesc"), x.CartaDesc, y.CartaDesc);
        check(d, r + QStringLiteral("Qta"), x.Qta, y.Qta);
        check(d, r + QStringLiteral("Inviata"), x.Inviata, y.Inviata);
    }
    return d.join(QStringLiteral(", "));
}

} // namespace orderfixture
