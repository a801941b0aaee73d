#pragma once

#include <QList>
#include <QPixmap>
#include <QString>

// The main window's reads of the local database file (articles and banner), each on a
// temporary connection of its own, and the command that writes a first database.
class LocalDatabase
{
public:
    struct Articolo
    {
        int id = 0;
        QPixmap immagine;
        QString titolo;
        QString descrizione;
    };

    struct Banner
    {
        QPixmap immagine;
        QString url;
    };

    // The enabled articles among ids, by position. On failure: false and the error text.
    static bool articoli(const QString &path, const QString &table, const QList<int> &ids,
                         QList<Articolo> *result, QString *error);
    // The last "banner" row of the layout table; false when none was read.
    static bool banner(const QString &path, const QString &table, Banner *result);

    // Writes a new database at path with the configuration and articles tables and their
    // four rows, replacing a file of that name. Returns the error text, empty on success.
    static QString create(const QString &path, const QString &configTable, const QString &articoliTable);

    // The service endpoint that a new database holds.
    static const QString defaultEndpoint;
};
