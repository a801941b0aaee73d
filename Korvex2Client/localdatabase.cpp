#include "localdatabase.h"

#include <QBuffer>
#include <QDebug>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace {

const QString readConnection = QStringLiteral("Korvex");
const QString createConnection = QStringLiteral("KorvexCreaDb");

// A temporary connection on the file, removed again by closeConnection() on every path.
bool openConnection(const QString &name, const QString &path, QSqlDatabase *db)
{
    *db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db->setDatabaseName(path);
    if (!db->isOpen() || db->isOpenError())
        return db->open();
    return true;
}

void closeConnection(const QString &name, QSqlDatabase *db, QSqlQuery *query)
{
    query->clear();
    *query = QSqlQuery();
    db->close();
    *db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

QPixmap pixmapFrom(const QVariant &bytes)
{
    QPixmap pixmap;
    pixmap.loadFromData(bytes.toByteArray());
    return pixmap;
}

QByteArray pngOf(const QString &resource)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPixmap(resource).save(&buffer, "PNG");
    return bytes;
}

} // namespace

const QString LocalDatabase::defaultEndpoint = QStringLiteral("http://korvex2.lan/korvex2ws/");

bool LocalDatabase::articoli(const QString &path, const QString &table, const QList<int> &ids,
                             QList<Articolo> *result, QString *error)
{
    QString idSet;
    for (int id : ids)
        idSet += QStringLiteral("%1,").arg(id);
    idSet.chop(1);
    const QString sql = QStringLiteral("SELECT id, immagine, titolo, descrizione FROM ") + table +
                        QStringLiteral(" WHERE abilitato = 1 AND id IN (") + idSet +
                        QStringLiteral(") ORDER BY posizione");

    QSqlDatabase db;
    QSqlQuery query;
    if (!openConnection(readConnection, path, &db)) {
        *error = db.lastError().text();
        closeConnection(readConnection, &db, &query);
        return false;
    }
    query = QSqlQuery(db);
    if (!query.exec(sql)) {
        *error = query.lastError().text();
        closeConnection(readConnection, &db, &query);
        return false;
    }
    while (query.next()) {
        Articolo articolo;
        articolo.id = query.value(0).toInt();
        articolo.immagine = pixmapFrom(query.value(1));
        articolo.titolo = query.value(2).toString();
        articolo.descrizione = query.value(3).toString();
        result->append(articolo);
    }
    closeConnection(readConnection, &db, &query);
    return true;
}

bool LocalDatabase::banner(const QString &path, const QString &table, Banner *result)
{
    QSqlDatabase db;
    QSqlQuery query;
    if (!openConnection(readConnection, path, &db)) {
        closeConnection(readConnection, &db, &query);
        return false;
    }
    query = QSqlQuery(db);
    if (!query.exec(QStringLiteral("SELECT component, image, string FROM ") + table)) {
        closeConnection(readConnection, &db, &query);
        return false;
    }
    bool found = false;
    while (query.next()) {
        if (query.value(0).toString() != QLatin1String("banner"))
            continue;
        result->immagine = pixmapFrom(query.value(1));
        result->url = query.value(2).toString();
        found = true;
    }
    closeConnection(readConnection, &db, &query);
    return found;
}

QString LocalDatabase::create(const QString &path, const QString &configTable, const QString &articoliTable)
{
    if (QFile::exists(path))
        QFile::remove(path);

    QSqlDatabase db;
    if (!openConnection(createConnection, path, &db)) {
        const QString error = db.lastError().text();
        QSqlQuery none;
        closeConnection(createConnection, &db, &none);
        return error;
    }

    struct Statement
    {
        QString sql;
        QString image; // resource bound to :image, when set
    };
    const QString insertArticolo = QStringLiteral("INSERT INTO ") + articoliTable +
                                   QStringLiteral(" (id, immagine, titolo, descrizione, abilitato, posizione)VALUES ");
    const QList<Statement> statements = {
        {QStringLiteral("CREATE TABLE ") + configTable +
             QStringLiteral(" (chiave VARCHAR(255) NOT NULL PRIMARY KEY, valore VARCHAR(255) NOT NULL)"),
         QString()},
        {QStringLiteral("INSERT INTO ") + configTable + QStringLiteral(" (chiave, valore)VALUES ('wsendpoint', '") +
             defaultEndpoint + QStringLiteral("')"),
         QString()},
        {QStringLiteral("INSERT INTO ") + configTable + QStringLiteral(" (chiave, valore)VALUES ('dbVersion', '1')"),
         QString()},
        {QStringLiteral("CREATE TABLE ") + articoliTable +
             QStringLiteral(" (id INT(11) NOT NULL PRIMARY KEY, immagine BLOB NOT NULL, titolo VARCHAR(255) NOT NULL, "
                            "descrizione TEXT NOT NULL, abilitato BOOLEAN DEFAULT 0 NOT NULL, posizione INT(11) "
                            "DEFAULT 0 NOT NULL)"),
         QString()},
        {insertArticolo + QStringLiteral("('1', :image, 'Stampa fotografica', 'Seleziona le stampe da inviare al "
                                         "laboratorio con la possibilità di scegliere il formato e la carta che "
                                         "preferisci', '1', '1')"),
         QStringLiteral(":/Resource/256x256/photo.png")},
        {insertArticolo + QStringLiteral("('2', :image, 'Invio File', 'Invia un file al laboratorio fotografico', "
                                         "'1', '2')"),
         QStringLiteral(":/Resource/256x256/file.png")},
    };

    QSqlQuery query(db);
    for (const Statement &statement : statements) {
        query.prepare(statement.sql);
        if (!statement.image.isEmpty())
            query.bindValue(QStringLiteral(":image"), pngOf(statement.image), QSql::Binary);
        if (!query.exec()) {
            const QString error = query.lastError().text();
            closeConnection(createConnection, &db, &query);
            return error;
        }
        query.clear();
    }
    qDebug() << db.tables();
    closeConnection(createConnection, &db, &query);
    return QString();
}
