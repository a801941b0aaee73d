// The order-file reader on arbitrary bytes. The bytes are decoded as the queue decodes an
// order file (up to the first NUL, as UTF-8). A failed read must throw Korvex2Exception;
// whatever the reader accepts must be written and read back as the same order.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include "korvex2exception.h"
#include "korvexglobals.h"
#include "ordinilocal.h"

namespace {

using Ordine = OrdiniLocal::OrdineLocal;

// Equal values (a zero of either sign among them), or both not a number.
bool sameNumber(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

bool sameRect(const QRectF &a, const QRectF &b)
{
    return sameNumber(a.x(), b.x()) && sameNumber(a.y(), b.y()) && sameNumber(a.width(), b.width())
        && sameNumber(a.height(), b.height());
}

// The order file carries dates to the second: the milliseconds are dropped, which before
// 1970 is a step down, not toward zero.
qint64 wholeSeconds(const QDateTime &dateTime)
{
    const qint64 ms = dateTime.toMSecsSinceEpoch();
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}

bool sameDate(const QDateTime &a, const QDateTime &b)
{
    if (a.isValid() != b.isValid())
        return false;
    return !a.isValid() || wholeSeconds(a) == wholeSeconds(b);
}

// The name of the first field that differs, or null.
const char *difference(const Ordine &a, const Ordine &b)
{
    if (a.Uuid != b.Uuid) return "Uuid";
    if (a.Attivo != b.Attivo) return "Attivo";
    if (a.Utente != b.Utente) return "Utente";
    if (a.WsId != b.WsId) return "WsId";
    if (!sameDate(a.Data, b.Data)) return "Data";
    if (!sameDate(a.DataUltimaModifica, b.DataUltimaModifica)) return "DataUltimaModifica";
    if (a.Inviato != b.Inviato) return "Inviato";
    if (a.Note != b.Note) return "Note";
    if (a.ClienteFinale != b.ClienteFinale) return "ClienteFinale";
    if (a.Priorita != b.Priorita) return "Priorita";
    if (!sameNumber(a.Spedizione, b.Spedizione)) return "Spedizione";
    if (a.righeFile.size() != b.righeFile.size()) return "righeFile";
    for (int i = 0; i < a.righeFile.size(); ++i) {
        const OrdiniLocal::OrdineRigaFileLocal &x = a.righeFile.at(i);
        const OrdiniLocal::OrdineRigaFileLocal &y = b.righeFile.at(i);
        if (x.WsFileId != y.WsFileId || x.Codice != y.Codice || x.Descrizione != y.Descrizione
            || x.TipoRiga != y.TipoRiga || x.FilePath != y.FilePath || x.FileSize != y.FileSize
            || x.Inviata != y.Inviata)
            return "righeFile[]";
    }
    if (a.righeStampa.size() != b.righeStampa.size()) return "righeStampa";
    for (int i = 0; i < a.righeStampa.size(); ++i) {
        const OrdiniLocal::OrdineRigaStampaLocal &x = a.righeStampa.at(i);
        const OrdiniLocal::OrdineRigaStampaLocal &y = b.righeStampa.at(i);
        if (x.WsFileId != y.WsFileId || x.Codice != y.Codice || x.Descrizione != y.Descrizione
            || !sameNumber(x.Prezzo, y.Prezzo) || x.TipoRiga != y.TipoRiga || x.FilePath != y.FilePath
            || x.FileSize != y.FileSize || x.IdStampa != y.IdStampa
            || x.Transformation.Type != y.Transformation.Type
            || !sameRect(x.Transformation.CropRect, y.Transformation.CropRect)
            || x.FormatoDesc != y.FormatoDesc || x.CartaDesc != y.CartaDesc || x.Qta != y.Qta
            || x.Inviata != y.Inviata)
            return "righeStampa[]";
    }
    return nullptr;
}

[[noreturn]] void fail(const char *what, const QString &written)
{
    std::fprintf(stderr, "order file not read back: %s\n--- written ---\n%s\n", what,
                 written.toUtf8().constData());
    std::abort();
}

OrdiniLocal *store = nullptr;

} // namespace

// The reader needs no catalogue, but the object opens one when made: an empty one in memory.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    KorvexGlobals::SqlDbHost = QStringLiteral(":memory:");
    store = new OrdiniLocal;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const int zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);

    Ordine first;
    try {
        first = store->FromXML(QString::fromUtf8(bytes));
    } catch (const Korvex2Exception &) {
        return 0;
    }

    const QString written = store->ToXML(first);
    Ordine second;
    try {
        second = store->FromXML(written);
    } catch (const Korvex2Exception &e) {
        fail(e.message.c_str(), written);
    }
    if (const char *field = difference(first, second))
        fail(field, written);
    return 0;
}
