// Order files: the XML form of a local order, and its saving, deletion and reading.

#include "ordinilocal.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMutex>
#include <QSaveFile>
#include <QUuid>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "korvex2exception.h"
#include "korvexglobals.h"

namespace {

const QString orderFileExtension = QStringLiteral(".kv2");

// Saves and deletions of order files run one at a time, whichever thread asks: the upload
// worker rewrites the order it sends while the GUI thread saves, deletes and reads orders.
QMutex orderFilesMutex;

// The folder of the order files, the orders folder when none is given, made when missing;
// empty when it cannot be made.
QString orderFilesFolder(const QString &folder)
{
    QDir dir(folder.isEmpty() ? KorvexGlobals::ordersQueuePath() : folder);
    if (!dir.exists())
        dir.mkpath(QStringLiteral("."));
    return dir.exists() ? dir.absolutePath() : QString();
}

QString orderFilePath(const QString &folderPath, const QString &uuid)
{
    return folderPath + QLatin1Char('/') + uuid + orderFileExtension;
}

// The shortest text that reads back as exactly the same double, "." as decimal point.
QString doubleText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString boolText(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

QString dateTimeText(const QDateTime &dateTime)
{
    if (dateTime.isNull())
        return QString();
    return dateTime.toLocalTime().toString(Qt::ISODate);
}

QDateTime dateTimeFromText(const QString &text)
{
    QDateTime dateTime = QDateTime::fromString(text, Qt::ISODate);
    if (dateTime.isValid() && dateTime.timeSpec() != Qt::LocalTime)
        dateTime = dateTime.toLocalTime();
    return dateTime;
}

bool boolFromText(const QString &text)
{
    return text.toInt() != 0;
}

QRectF cropRectFromText(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('|'), Qt::KeepEmptyParts);
    if (parts.size() != 4)
        return QRectF(0, 0, 0, 0);
    return QRectF(parts.at(0).toDouble(), parts.at(1).toDouble(), parts.at(2).toDouble(),
                  parts.at(3).toDouble());
}

// XML 1.0 cannot carry every character: a control character or a non-character in a note
// or a file path would make the whole file unreadable.
bool readableAsXml(const QString &text)
{
    const int size = text.size();
    const QChar *chars = text.constData();
    for (int i = 0; i < size; ++i) {
        const ushort c = chars[i].unicode();
        if (c < 0x20) {
            if (c != 0x9 && c != 0xA && c != 0xD)
                return false;
        } else if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= size || !chars[i + 1].isLowSurrogate())
                return false;
            ++i;
        } else if (QChar::isLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF) {
            return false;
        }
    }
    return true;
}

// A carriage return goes out as a character reference: written as it is, a reader turns it
// (and a CR LF pair) into a line feed, and the text would not read back the same. Texts
// without one are written as they always were.
void writeSplitAtCarriageReturns(QXmlStreamWriter &writer, const QString &text, bool cdata)
{
    const QStringList pieces = text.split(QLatin1Char('\r'));
    for (int i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            writer.writeEntityReference(QStringLiteral("#13"));
        if (pieces.at(i).isEmpty())
            continue;
        if (cdata)
            writer.writeCDATA(pieces.at(i));
        else
            writer.writeCharacters(pieces.at(i));
    }
}

void writeCData(QXmlStreamWriter &writer, const QString &name, const QString &text)
{
    writer.writeStartElement(name);
    if (text.contains(QLatin1Char('\r')))
        writeSplitAtCarriageReturns(writer, text, true);
    else
        writer.writeCDATA(text);
    writer.writeEndElement();
}

void writeText(QXmlStreamWriter &writer, const QString &name, const QString &text)
{
    if (!text.contains(QLatin1Char('\r'))) {
        writer.writeTextElement(name, text);
        return;
    }
    writer.writeStartElement(name);
    writeSplitAtCarriageReturns(writer, text, false);
    writer.writeEndElement();
}

bool isEndOf(const QXmlStreamReader &reader, QLatin1String name)
{
    return reader.isEndElement() && reader.name() == name;
}

bool stillReading(const QXmlStreamReader &reader)
{
    return !reader.atEnd() && !reader.hasError();
}

void writeRigaFile(QXmlStreamWriter &writer, const OrdiniLocal::OrdineRigaFileLocal &riga)
{
    writer.writeStartElement(QStringLiteral("Riga"));
    writer.writeAttribute(QStringLiteral("TipoRiga"), QString::number(riga.TipoRiga));
    writeCData(writer, QStringLiteral("WsFileId"), riga.WsFileId);
    writeCData(writer, QStringLiteral("Codice"), riga.Codice);
    writeCData(writer, QStringLiteral("Descrizione"), riga.Descrizione);
    writeCData(writer, QStringLiteral("FilePath"), riga.FilePath);
    writer.writeTextElement(QStringLiteral("FileSize"), QString::number(riga.FileSize));
    writer.writeTextElement(QStringLiteral("Inviata"), boolText(riga.Inviata));
    writer.writeEndElement();
}

void writeRigaStampa(QXmlStreamWriter &writer, const OrdiniLocal::OrdineRigaStampaLocal &riga)
{
    writer.writeStartElement(QStringLiteral("Riga"));
    writer.writeAttribute(QStringLiteral("TipoRiga"), QString::number(riga.TipoRiga));
    writeCData(writer, QStringLiteral("WsFileId"), riga.WsFileId);
    writeCData(writer, QStringLiteral("Codice"), riga.Codice);
    writeCData(writer, QStringLiteral("Descrizione"), riga.Descrizione);
    writer.writeTextElement(QStringLiteral("Prezzo"), doubleText(riga.Prezzo));
    writeCData(writer, QStringLiteral("FilePath"), riga.FilePath);
    writer.writeTextElement(QStringLiteral("FileSize"), QString::number(riga.FileSize));
    writer.writeTextElement(QStringLiteral("Inviata"), boolText(riga.Inviata));
    writer.writeTextElement(QStringLiteral("IdStampa"), QString::number(riga.IdStampa));
    writer.writeStartElement(QStringLiteral("Transformation"));
    writer.writeTextElement(QStringLiteral("Type"), QString::number(riga.Transformation.Type));
    const QRectF &rect = riga.Transformation.CropRect;
    writer.writeTextElement(QStringLiteral("CropRect"), QStringLiteral("%1|%2|%3|%4")
                                                            .arg(doubleText(rect.x()), doubleText(rect.y()),
                                                                 doubleText(rect.width()),
                                                                 doubleText(rect.height())));
    writer.writeEndElement();
    writeCData(writer, QStringLiteral("FormatoDesc"), riga.FormatoDesc);
    writeCData(writer, QStringLiteral("CartaDesc"), riga.CartaDesc);
    writer.writeTextElement(QStringLiteral("Qta"), QString::number(riga.Qta));
    writer.writeEndElement();
}

} // namespace

QString OrdiniLocal::ToXML(OrdineLocal ordine)
{
    QString xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(4);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("Ordine"));
    writeText(writer, QStringLiteral("Uuid"), ordine.Uuid);
    writer.writeTextElement(QStringLiteral("Attivo"), boolText(ordine.Attivo));
    writer.writeTextElement(QStringLiteral("Utente"), QString::number(ordine.Utente));
    writeCData(writer, QStringLiteral("WsId"), ordine.WsId);
    writeCData(writer, QStringLiteral("Data"), dateTimeText(ordine.Data));
    writeCData(writer, QStringLiteral("DataUltimaModifica"), dateTimeText(ordine.DataUltimaModifica));
    writer.writeTextElement(QStringLiteral("Inviato"), boolText(ordine.Inviato));
    writeCData(writer, QStringLiteral("Note"), ordine.Note);
    writeCData(writer, QStringLiteral("ClienteFinale"), ordine.ClienteFinale);
    writer.writeTextElement(QStringLiteral("Priorita"), QString::number(ordine.Priorita));
    writer.writeTextElement(QStringLiteral("Spedizione"), doubleText(ordine.Spedizione));
    writer.writeStartElement(QStringLiteral("Righe"));
    for (const OrdineRigaFileLocal &riga : qAsConst(ordine.righeFile))
        writeRigaFile(writer, riga);
    for (const OrdineRigaStampaLocal &riga : qAsConst(ordine.righeStampa))
        writeRigaStampa(writer, riga);
    writer.writeEndElement();
    writer.writeEndElement();
    writer.writeEndDocument();
    return xml;
}

bool OrdiniLocal::SaveXML(OrdineLocal &ordine, QString folder, QString *error)
{
    auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };

    const QString folderPath = orderFilesFolder(folder);
    if (folderPath.isEmpty())
        return fail(QStringLiteral("Impossibile creare la cartella %1.")
                        .arg(QDir::toNativeSeparators(folder.isEmpty() ? KorvexGlobals::ordersQueuePath() : folder)));

    if (ordine.Uuid.isEmpty())
        ordine.Uuid = QUuid::createUuid().toString(QUuid::WithBraces);

    const QString xml = ToXML(ordine);
    if (!readableAsXml(xml))
        return fail(QStringLiteral("L'ordine contiene caratteri di controllo che non si possono salvare: "
                                   "toglierli dalle note, dal cliente o dai nomi dei file."));
    const QByteArray bytes = xml.toUtf8();

    QMutexLocker locker(&orderFilesMutex);
    const QString path = orderFilePath(folderPath, ordine.Uuid);
    QSaveFile file(path);
    auto writeFailed = [&]() {
        return fail(QStringLiteral("Impossibile scrivere il file %1: %2")
                        .arg(QDir::toNativeSeparators(path), file.errorString()));
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return writeFailed();
    // A small file sits in the write buffer until it is flushed; commit() would ignore a
    // flush that fails half-way (file-size limit, full disk) and put the cut file in place.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        writeFailed();
        file.cancelWriting();
        file.commit();
        return false;
    }
    if (!file.commit())
        return writeFailed();
    return true;
}

bool OrdiniLocal::DeleteXML(OrdineLocal ordine, QString folder, QString *error)
{
    if (error)
        error->clear();
    const QString folderPath = orderFilesFolder(folder);
    if (folderPath.isEmpty() || ordine.Uuid.isEmpty())
        return false;

    QMutexLocker locker(&orderFilesMutex);
    QFile file(orderFilePath(folderPath, ordine.Uuid));
    if (file.remove())
        return true;
    if (error && file.exists())
        *error = file.errorString();
    return false;
}

OrdiniLocal::OrdineLocal OrdiniLocal::FromXML(QString xml)
{
    OrdineLocal ordine;
    initOrdineLocal(ordine);

    QXmlStreamReader reader(xml);
    while (stillReading(reader)) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("Ordine"))
            parseOrdineXmlElement(reader, ordine);
    }
    if (reader.hasError())
        throw Korvex2Exception(std::string(), reader.errorString().toUtf8().toStdString());
    return ordine;
}

void OrdiniLocal::parseOrdineXmlElement(QXmlStreamReader &reader, OrdineLocal &ordine)
{
    while (stillReading(reader) && !isEndOf(reader, QLatin1String("Ordine"))) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        const QStringRef name = reader.name();
        if (name == QLatin1String("Uuid"))
            ordine.Uuid = readCharacters(reader);
        else if (name == QLatin1String("WsId"))
            ordine.WsId = readCharacters(reader);
        else if (name == QLatin1String("Note"))
            ordine.Note = readCharacters(reader);
        else if (name == QLatin1String("ClienteFinale"))
            ordine.ClienteFinale = readCharacters(reader);
        else if (name == QLatin1String("Attivo"))
            ordine.Attivo = boolFromText(readCharacters(reader));
        else if (name == QLatin1String("Inviato"))
            ordine.Inviato = boolFromText(readCharacters(reader));
        else if (name == QLatin1String("Utente"))
            ordine.Utente = readCharacters(reader).toInt();
        else if (name == QLatin1String("Priorita"))
            ordine.Priorita = readCharacters(reader).toInt();
        else if (name == QLatin1String("Data"))
            ordine.Data = dateTimeFromText(readCharacters(reader));
        else if (name == QLatin1String("DataUltimaModifica"))
            ordine.DataUltimaModifica = dateTimeFromText(readCharacters(reader));
        else if (name == QLatin1String("Spedizione"))
            ordine.Spedizione = readCharacters(reader).toDouble();
        else if (name == QLatin1String("Riga"))
            parseRigaOrdineXmlElement(reader, ordine);
    }
}

void OrdiniLocal::parseRigaOrdineXmlElement(QXmlStreamReader &reader, OrdineLocal &ordine)
{
    const int tipoRiga = reader.attributes().value(QLatin1String("TipoRiga")).toInt();

    // The elements that both kinds of row carry; false for any other element.
    const auto readRigaElement = [this, &reader](const QStringRef &name, auto &riga) {
        if (name == QLatin1String("FilePath"))
            riga.FilePath = readCharacters(reader);
        else if (name == QLatin1String("WsFileId"))
            riga.WsFileId = readCharacters(reader);
        else if (name == QLatin1String("Codice"))
            riga.Codice = readCharacters(reader);
        else if (name == QLatin1String("Descrizione"))
            riga.Descrizione = readCharacters(reader);
        else if (name == QLatin1String("FileSize"))
            riga.FileSize = readCharacters(reader).toLongLong();
        else if (name == QLatin1String("Inviata"))
            riga.Inviata = boolFromText(readCharacters(reader));
        else
            return false;
        return true;
    };

    if (tipoRiga == 2) {
        OrdineRigaStampaLocal riga;
        initOrdineRigaStampaLocal(riga);
        riga.WsFileId.clear();
        riga.TipoRiga = 2;
        while (stillReading(reader)) {
            reader.readNext();
            if (isEndOf(reader, QLatin1String("Riga"))) {
                ordine.righeStampa.append(riga);
                return;
            }
            if (!reader.isStartElement())
                continue;
            const QStringRef name = reader.name();
            if (readRigaElement(name, riga))
                continue;
            if (name == QLatin1String("FormatoDesc"))
                riga.FormatoDesc = readCharacters(reader);
            else if (name == QLatin1String("CartaDesc"))
                riga.CartaDesc = readCharacters(reader);
            else if (name == QLatin1String("Prezzo"))
                riga.Prezzo = readCharacters(reader).toDouble();
            else if (name == QLatin1String("Qta"))
                riga.Qta = readCharacters(reader).toInt();
            else if (name == QLatin1String("IdStampa"))
                riga.IdStampa = readCharacters(reader).toInt();
            else if (name == QLatin1String("Transformation")) {
                while (stillReading(reader) && !isEndOf(reader, QLatin1String("Transformation"))) {
                    reader.readNext();
                    if (!reader.isStartElement())
                        continue;
                    if (reader.name() == QLatin1String("Type"))
                        riga.Transformation.Type = readCharacters(reader).toInt();
                    else if (reader.name() == QLatin1String("CropRect"))
                        riga.Transformation.CropRect = cropRectFromText(readCharacters(reader));
                }
            }
        }
    } else if (tipoRiga == 1) {
        OrdineRigaFileLocal riga;
        riga.TipoRiga = 1;
        riga.FileSize = 0;
        riga.Inviata = false;
        while (stillReading(reader)) {
            reader.readNext();
            if (isEndOf(reader, QLatin1String("Riga"))) {
                ordine.righeFile.append(riga);
                return;
            }
            if (!reader.isStartElement())
                continue;
            readRigaElement(reader.name(), riga);
        }
    }
}

QString OrdiniLocal::readCharacters(QXmlStreamReader &reader)
{
    if (!reader.isStartElement())
        return QString();
    // The whole text of the element: every run of character data and every CDATA section
    // (a text holding "]]>" is written as two adjacent sections).
    return reader.readElementText(QXmlStreamReader::SkipChildElements);
}
