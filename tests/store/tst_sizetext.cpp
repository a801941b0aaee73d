// The one size text of the program: unit by size, two decimals rounded half up, a full stop
// as decimal point whatever the locale.

#include <QLocale>
#include <QTest>

#include "korvexglobals.h"

class TestSizeText : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }
    void sizeText_data();
    void sizeText();
};

void TestSizeText::sizeText_data()
{
    QTest::addColumn<quint64>("size");
    QTest::addColumn<QString>("expected");

    const quint64 gib = Q_UINT64_C(1073741824);
    QTest::newRow("nothing") << quint64(0) << QStringLiteral("0 byte");
    QTest::newRow("below a kilobyte") << quint64(1023) << QStringLiteral("1023 byte");
    QTest::newRow("one kilobyte") << quint64(1024) << QStringLiteral("1 KB");
    QTest::newRow("a kilobyte and a half") << quint64(1536) << QStringLiteral("1.5 KB");
    QTest::newRow("rounds up, unit stays") << quint64(1048575) << QStringLiteral("1024 KB");
    QTest::newRow("one megabyte") << quint64(1048576) << QStringLiteral("1 MB");
    QTest::newRow("two decimals") << quint64(5000000) << QStringLiteral("4.77 MB");
    QTest::newRow("hundreds of megabytes") << quint64(123456789) << QStringLiteral("117.74 MB");
    QTest::newRow("one gigabyte") << gib << QStringLiteral("1 GB");
    QTest::newRow("a gigabyte and a half") << gib + gib / 2 << QStringLiteral("1.5 GB");
    QTest::newRow("past 32 bits") << Q_UINT64_C(5) * gib << QStringLiteral("5 GB");
    // 2^64 - 1 bytes are 2^34 GB: far past what a 32-bit rounding could hold.
    QTest::newRow("largest size") << ~quint64(0) << QStringLiteral("1.71799e+10 GB");
}

void TestSizeText::sizeText()
{
    QFETCH(quint64, size);
    QFETCH(QString, expected);
    QCOMPARE(KorvexGlobals::fileSizeToString(size), expected);
}

QTEST_GUILESS_MAIN(TestSizeText)
#include "tst_sizetext.moc"
