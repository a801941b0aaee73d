#include <QtTest>

#include <map>
#include <string>

#include "sqlfilter.h"

using Terms = std::map<std::string, std::string>;
Q_DECLARE_METATYPE(Terms)

class TestSqlFilter : public QObject
{
    Q_OBJECT

private slots:
    void likeFilter_data();
    void likeFilter();
    void equalsFilter_data();
    void equalsFilter();
};

void TestSqlFilter::likeFilter_data()
{
    QTest::addColumn<Terms>("terms");
    QTest::addColumn<QString>("expected"); // empty with refused = true
    QTest::addColumn<bool>("refused");

    QTest::newRow("no terms") << Terms{} << QString() << false;
    QTest::newRow("one term") << Terms{{"username", "mrossi"}} << "username LIKE 'mrossi'" << false;
    QTest::newRow("keys in byte order")
        << Terms{{"cognome", "X"}, {"citta", "Y"}} << "citta LIKE 'Y' AND cognome LIKE 'X'" << false;
    QTest::newRow("apostrophes doubled")
        << Terms{{"cognome", "D'Amico'"}} << "cognome LIKE 'D''Amico'''" << false;
    QTest::newRow("quote cannot close the literal")
        << Terms{{"username", "x' OR '1'='1"}} << "username LIKE 'x'' OR ''1''=''1'" << false;
    QTest::newRow("wildcards pass") << Terms{{"nome", "Ros%_"}} << "nome LIKE 'Ros%_'" << false;
    QTest::newRow("empty value") << Terms{{"nome", ""}} << "nome LIKE ''" << false;
    QTest::newRow("latin-1 byte kept") << Terms{{"citta", "Forl\xEC"}} << QString::fromLatin1("citta LIKE 'Forl\xEC'") << false;
    QTest::newRow("backslash refused") << Terms{{"nome", "a\\' OR 1=1 --"}} << QString() << true;
    QTest::newRow("NUL refused") << Terms{{"nome", std::string("a\0b", 3)}} << QString() << true;
    QTest::newRow("bad key after good one")
        << Terms{{"a", "1"}, {"b OR 1=1", "2"}} << QString() << true;
    QTest::newRow("key with dot") << Terms{{"u.nome", "x"}} << QString() << true;
    QTest::newRow("key with quote") << Terms{{"nome'", "x"}} << QString() << true;
    QTest::newRow("key starting with digit") << Terms{{"1nome", "x"}} << QString() << true;
    QTest::newRow("empty key") << Terms{{"", "x"}} << QString() << true;
    QTest::newRow("underscore and digits") << Terms{{"_tel_2", "x"}} << "_tel_2 LIKE 'x'" << false;
}

void TestSqlFilter::likeFilter()
{
    QFETCH(Terms, terms);
    QFETCH(QString, expected);
    QFETCH(bool, refused);

    const korvexsoap::SqlFilter filter = korvexsoap::likeFilter(terms);
    QCOMPARE(filter.ok(), !refused);
    if (refused) {
        QVERIFY(filter.text.empty());
        QVERIFY(!filter.error.empty());
    } else {
        QCOMPARE(QString::fromLatin1(filter.text.c_str()), expected);
        QVERIFY(filter.error.empty());
    }
}

void TestSqlFilter::equalsFilter_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << "id" << "42" << "id = '42'";
    QTest::newRow("apostrophe") << "id" << "4'2" << "id = '4''2'";
    QTest::newRow("backslash") << "id" << "4\\" << QString();
    QTest::newRow("bad key") << "id;" << "42" << QString();
}

void TestSqlFilter::equalsFilter()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, expected);

    const korvexsoap::SqlFilter filter =
        korvexsoap::equalsFilter(key.toStdString(), value.toStdString());
    QCOMPARE(filter.ok(), !expected.isEmpty());
    QCOMPARE(QString::fromStdString(filter.text), expected);
}

QTEST_GUILESS_MAIN(TestSqlFilter)
#include "tst_sqlfilter.moc"
