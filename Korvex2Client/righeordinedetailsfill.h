#pragma once

// What the two row-details dialogs share: their forms have the same fields, filled by the
// same rules from a local row (and its file on disk) or from a row of a sent order.

#include <string>

#include <QChar>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QString>

#include "korvexglobals.h"

namespace RigheOrdineDetails {

// A sent row's text up to its first NUL, as UTF-8.
inline QString fromLibrary(const std::string &text)
{
    const std::string::size_type end = text.find('\0');
    return QString::fromUtf8(text.data(), int(end == std::string::npos ? text.size() : end));
}

inline void setField(QLineEdit *field, const QString &text)
{
    field->setText(text);
    field->setCursorPosition(0);
}

inline QString euro(double amount)
{
    return QStringLiteral("%L1 %2").arg(amount, 0, 'f', 2).arg(QChar(0x20AC));
}

// Name, folder, size and date of a local row's file: name and folder from the stored path,
// size and date from the file as it is now (0 byte and no date when it is gone).
template <class Form>
void fillLocalFile(Form *ui, const QString &filePath)
{
    const QFileInfo stored(filePath);
    setField(ui->FileNome, stored.fileName());
    QString folder = QDir::toNativeSeparators(stored.path());
    if (filePath.isEmpty())
        folder.clear();
    setField(ui->FilePercorso, folder);
    const QFileInfo onDisk(filePath);
    const bool present = !filePath.isEmpty() && onDisk.exists() && onDisk.isFile();
    setField(ui->FileDimensione, KorvexGlobals::fileSizeToString(present ? quint64(onDisk.size()) : 0));
    setField(ui->FileDataModifica,
             present ? onDisk.lastModified().toLocalTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")) : QString());
}

// A sent row: what the orders service recorded; no folder and no date.
template <class Form, class Row>
void fillSentRow(Form *ui, const Row *row)
{
    setField(ui->codice, fromLibrary(row->codice_articolo));
    setField(ui->descrizione, fromLibrary(row->descrizione));
    setField(ui->qta, QStringLiteral("%1").arg(row->quantita));
    setField(ui->prezzo, euro(double(row->prezzo)));
    setField(ui->FileNome, fromLibrary(row->file.nome_file));
    ui->FilePercorso->clear();
    ui->FilePercorso->hide();
    ui->labelFilePercorso->hide();
    setField(ui->FileDimensione, KorvexGlobals::fileSizeToString(static_cast<quint64>(row->file.dimensione)));
    ui->FileDataModifica->hide();
    ui->labelFileDataModifica->hide();
}

} // namespace RigheOrdineDetails
