#pragma once

// What a screen reader reads of one cell of an order's rows table (the summary of a local
// order and the rows of a sent one). Each cell is an accessible item of its own, and the
// cells of one row show a number, a type or the same description for every print of one
// product: so every cell reads its column and value, then the row's file and article, and
// rows that differ only in their file are told apart wherever the reader lands.

#include <QString>
#include <QStringList>

namespace RigheOrdineAccessibleText {

// "Qta: 2; IMG_0042.jpg, ST1015L Stampa 10x15 su carta lucida": the column's title and the
// cell's text, then the file name (left out when the description already ends with it, as a
// file row's "Invio File IMG_0042.jpg" does) and the article (code and description).
inline QString cell(const QString &title, const QString &value, const QString &fileName, const QString &codice,
                    const QString &descrizione)
{
    QStringList article;
    for (const QString &text : {codice, descrizione}) {
        if (!text.trimmed().isEmpty())
            article << text.trimmed();
    }
    QStringList context;
    const QString described = descrizione.trimmed();
    if (!fileName.isEmpty() && described != fileName && !described.endsWith(QLatin1Char(' ') + fileName))
        context << fileName;
    if (!article.isEmpty())
        context << article.join(QLatin1Char(' '));
    QString text = value.isEmpty() ? title : title + QStringLiteral(": ") + value;
    if (!context.isEmpty())
        text += QStringLiteral("; ") + context.join(QStringLiteral(", "));
    return text;
}

} // namespace RigheOrdineAccessibleText
