// Saves and reads an order of 5,000 print rows, and in the same run writes and reads the
// same rows with a bare QXmlStreamWriter / QXmlStreamReader loop in memory (the baseline).
// Prints the ratio of ToXML + FromXML to the baseline and the time of one SaveXML, file
// read and FromXML.
//
// Usage: bench_orderfile [repetitions]   (default 15; the median of the runs is reported)

#include <algorithm>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "korvexglobals.h"
#include "ordinilocal.h"

namespace {

constexpr int rowCount = 5000;

OrdiniLocal::OrdineLocal makeOrder()
{
    OrdiniLocal store;
    OrdiniLocal::OrdineLocal o;
    store.initOrdineLocal(o);
    o.Attivo = true;
    o.Utente = 17;
    o.Note = QStringLiteral("Consegna in negozio, grazie.");
    o.ClienteFinale = QStringLiteral("Studio fotografico Rossi");
    o.Spedizione = 4.9;
    for (int i = 0; i < rowCount; ++i) {
        OrdiniLocal::OrdineRigaStampaLocal r;
        store.initOrdineRigaStampaLocal(r);
        r.WsFileId = i % 2 ? QString::number(100000 + i) : QString();
        r.Codice = QStringLiteral("ST1015L");
        r.Descrizione = QStringLiteral("Stampa fotografica 10 x 15 cm su carta lucida");
        r.Prezzo = 0.25 + (i % 7) * 0.01;
        r.FilePath = QStringLiteral("/home/utente/Immagini/Vacanze 2024/IMG_%1.JPG").arg(i, 5, 10, QLatin1Char('0'));
        r.FileSize = 3500000 + i * 17;
        r.IdStampa = 3;
        r.Transformation.Type = i % 3 ? 2 : 1;
        r.Transformation.CropRect = QRectF(12.5 + i % 100, 40.25, 3000.75, 2000.5);
        r.FormatoDesc = QStringLiteral("10 x 15");
        r.CartaDesc = QStringLiteral("Lucida");
        r.Qta = 1 + i % 4;
        r.Inviata = i % 2;
        o.righeStampa.append(r);
    }
    return o;
}

// The baseline: the same document written and read with the stream classes directly.
struct BareRow
{
    QString wsFileId, codice, descrizione, filePath, formato, carta, cropRect;
    double prezzo = 0;
    qint64 fileSize = 0;
    int idStampa = 0, type = 0, qta = 0;
    bool inviata = false;
};

QString bareWrite(const std::vector<BareRow> &rows)
{
    QString xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("Ordine"));
    w.writeStartElement(QStringLiteral("Righe"));
    for (const BareRow &r : rows) {
        w.writeStartElement(QStringLiteral("Riga"));
        w.writeAttribute(QStringLiteral("TipoRiga"), QStringLiteral("2"));
        auto cdata = [&w](const QString &name, const QString &text) {
            w.writeStartElement(name);
            w.writeCDATA(text);
            w.writeEndElement();
        };
        cdata(QStringLiteral("WsFileId"), r.wsFileId);
        cdata(QStringLiteral("Codice"), r.codice);
        cdata(QStringLiteral("Descrizione"), r.descrizione);
        w.writeTextElement(QStringLiteral("Prezzo"), QString::number(r.prezzo, 'g', QLocale::FloatingPointShortest));
        cdata(QStringLiteral("FilePath"), r.filePath);
        w.writeTextElement(QStringLiteral("FileSize"), QString::number(r.fileSize));
        w.writeTextElement(QStringLiteral("Inviata"), r.inviata ? QStringLiteral("1") : QStringLiteral("0"));
        w.writeTextElement(QStringLiteral("IdStampa"), QString::number(r.idStampa));
        w.writeStartElement(QStringLiteral("Transformation"));
        w.writeTextElement(QStringLiteral("Type"), QString::number(r.type));
        w.writeTextElement(QStringLiteral("CropRect"), r.cropRect);
        w.writeEndElement();
        cdata(QStringLiteral("FormatoDesc"), r.formato);
        cdata(QStringLiteral("CartaDesc"), r.carta);
        w.writeTextElement(QStringLiteral("Qta"), QString::number(r.qta));
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return xml;
}

std::vector<BareRow> bareRead(const QString &xml)
{
    std::vector<BareRow> rows;
    QXmlStreamReader r(xml);
    BareRow row;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isEndElement() && r.name() == QLatin1String("Riga")) {
            rows.push_back(row);
            row = BareRow();
            continue;
        }
        if (!r.isStartElement())
            continue;
        const QStringRef n = r.name();
        if (n == QLatin1String("WsFileId"))
            row.wsFileId = r.readElementText();
        else if (n == QLatin1String("Codice"))
            row.codice = r.readElementText();
        else if (n == QLatin1String("Descrizione"))
            row.descrizione = r.readElementText();
        else if (n == QLatin1String("Prezzo"))
            row.prezzo = r.readElementText().toDouble();
        else if (n == QLatin1String("FilePath"))
            row.filePath = r.readElementText();
        else if (n == QLatin1String("FileSize"))
            row.fileSize = r.readElementText().toLongLong();
        else if (n == QLatin1String("Inviata"))
            row.inviata = r.readElementText().toInt() != 0;
        else if (n == QLatin1String("IdStampa"))
            row.idStampa = r.readElementText().toInt();
        else if (n == QLatin1String("Type"))
            row.type = r.readElementText().toInt();
        else if (n == QLatin1String("CropRect"))
            row.cropRect = r.readElementText();
        else if (n == QLatin1String("FormatoDesc"))
            row.formato = r.readElementText();
        else if (n == QLatin1String("CartaDesc"))
            row.carta = r.readElementText();
        else if (n == QLatin1String("Qta"))
            row.qta = r.readElementText().toInt();
    }
    return rows;
}

std::vector<BareRow> bareRows(const OrdiniLocal::OrdineLocal &o)
{
    std::vector<BareRow> rows;
    for (const auto &s : o.righeStampa) {
        BareRow r;
        r.wsFileId = s.WsFileId;
        r.codice = s.Codice;
        r.descrizione = s.Descrizione;
        r.filePath = s.FilePath;
        r.formato = s.FormatoDesc;
        r.carta = s.CartaDesc;
        const QRectF &c = s.Transformation.CropRect;
        r.cropRect = QStringLiteral("%1|%2|%3|%4").arg(c.x()).arg(c.y()).arg(c.width()).arg(c.height());
        r.prezzo = s.Prezzo;
        r.fileSize = s.FileSize;
        r.idStampa = s.IdStampa;
        r.type = s.Transformation.Type;
        r.qta = s.Qta;
        r.inviata = s.Inviata;
        rows.push_back(r);
    }
    return rows;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int repetitions = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt()) : 15;

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    KorvexGlobals::appDataPath = dir.path();

    OrdiniLocal store;
    OrdiniLocal::OrdineLocal order = makeOrder();
    const std::vector<BareRow> rows = bareRows(order);

    std::vector<double> storeTimes, bareTimes, fileTimes;
    QElapsedTimer timer;
    for (int i = 0; i < repetitions; ++i) {
        timer.start();
        const OrdiniLocal::OrdineLocal back = store.FromXML(store.ToXML(order));
        storeTimes.push_back(timer.nsecsElapsed() / 1e6);
        if (back.righeStampa.size() != rowCount)
            return 2;

        timer.start();
        const std::vector<BareRow> bareBack = bareRead(bareWrite(rows));
        bareTimes.push_back(timer.nsecsElapsed() / 1e6);
        if (bareBack.size() != rows.size())
            return 2;

        timer.start();
        if (!store.SaveXML(order))
            return 3;
        QFile file(KorvexGlobals::ordersQueuePath() + QLatin1Char('/') + order.Uuid + QStringLiteral(".kv2"));
        if (!file.open(QIODevice::ReadOnly))
            return 3;
        const OrdiniLocal::OrdineLocal loaded = store.FromXML(QString::fromUtf8(file.readAll()));
        fileTimes.push_back(timer.nsecsElapsed() / 1e6);
        if (loaded.righeStampa.size() != rowCount)
            return 2;
    }

    const double storeMs = median(storeTimes);
    const double bareMs = median(bareTimes);
    std::printf("Order of %d print rows, median of %d runs\n", rowCount, repetitions);
    std::printf("  ToXML + FromXML:                 %8.1f ms\n", storeMs);
    std::printf("  bare writer + reader (baseline): %8.1f ms\n", bareMs);
    std::printf("  ratio to baseline:               %8.2f  (target <= 1.5)\n", storeMs / bareMs);
    std::printf("  SaveXML + read + FromXML:        %8.1f ms  (goal < 100 ms)\n", median(fileTimes));
    return 0;
}
