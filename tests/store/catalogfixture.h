#pragma once

#include <QString>

// Catalogue databases for tests: real SQLite files built from the SQL texts in the
// repository at test time.
namespace catalogfixture {

// tests/store/fixture-catalogue.sql: the rows of the small catalogue with the cases that
// matter, for the tables of the seed catalogue.
QString fixtureSqlPath();
// Korvex2Client/data/seed-catalogue.sql: the catalogue the program comes with.
QString seedSqlPath();

// Runs every statement of the SQL file on a new database at databasePath (an existing file
// there is replaced). Returns false and fills *error when a statement fails.
bool build(const QString &sqlPath, const QString &databasePath, QString *error = nullptr);

// The fixture catalogue at databasePath: the seed catalogue's CREATE statements, then the
// fixture's rows.
bool buildFixture(const QString &databasePath, QString *error = nullptr);

// Splits an SQL text into its statements (";" outside quotes ends one; "--" comments out
// the rest of a line).
QStringList statements(const QString &sql);

} // namespace catalogfixture
