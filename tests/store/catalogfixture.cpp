#include "catalogfixture.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace catalogfixture {

QString fixtureSqlPath()
{
    return QStringLiteral(KORVEX_STORE_FIXTURE_SQL);
}

QString seedSqlPath()
{
    return QStringLiteral(KORVEX_SEED_CATALOGUE_SQL);
}

QStringList statements(const QString &sql)
{
    QStringList result;
    QString current;
    bool inQuote = false;
    for (int i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (!inQuote && c == QLatin1Char('-') && i + 1 < sql.size() && sql.at(i + 1) == QLatin1Char('-')) {
            while (i < sql.size() && sql.at(i) != QLatin1Char('\n'))
                ++i;
            current.append(QLatin1Char('\n'));
            continue;
        }
        if (c == QLatin1Char('\''))
            inQuote = !inQuote; // a doubled quote toggles twice
        if (!inQuote && c == QLatin1Char(';')) {
            if (!current.trimmed().isEmpty())
                result.append(current.trimmed());
            current.clear();
            continue;
        }
        current.append(c);
    }
    if (!current.trimmed().isEmpty())
        result.append(current.trimmed());
    return result;
}

namespace {

bool readStatements(const QString &sqlPath, QStringList *result, QString *error)
{
    QFile script(sqlPath);
    if (!script.open(QIODevice::ReadOnly)) {
        if (error)
            *error = sqlPath + QStringLiteral(": ") + script.errorString();
        return false;
    }
    *result = statements(QString::fromUtf8(script.readAll()));
    return true;
}

bool run(const QStringList &all, const QString &databasePath, QString *error)
{
    QFile::remove(databasePath);

    const QString name = QStringLiteral("catalogfixture:") + databasePath;
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(databasePath);
        if (!db.open()) {
            ok = false;
            if (error)
                *error = db.lastError().text();
        }
        QSqlQuery query(db);
        for (int i = 0; ok && i < all.size(); ++i) {
            if (!query.exec(all.at(i))) {
                ok = false;
                if (error)
                    *error = all.at(i).left(80) + QStringLiteral(": ") + query.lastError().text();
            }
        }
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace

bool build(const QString &sqlPath, const QString &databasePath, QString *error)
{
    QStringList all;
    return readStatements(sqlPath, &all, error) && run(all, databasePath, error);
}

bool buildFixture(const QString &databasePath, QString *error)
{
    QStringList seed;
    QStringList rows;
    if (!readStatements(seedSqlPath(), &seed, error) || !readStatements(fixtureSqlPath(), &rows, error))
        return false;
    QStringList all;
    for (const QString &statement : qAsConst(seed)) {
        if (statement.startsWith(QLatin1String("CREATE "), Qt::CaseInsensitive))
            all.append(statement);
    }
    return run(all + rows, databasePath, error);
}

} // namespace catalogfixture
