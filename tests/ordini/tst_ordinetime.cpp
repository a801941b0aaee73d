#include <QtTest>

#include <ctime>
#include <stdexcept>
#include <string>

#include "ordine.h"

namespace {

void useZone(const QByteArray &zone)
{
    qputenv("TZ", zone);
    tzset();
}

qint64 utc(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC).toSecsSinceEpoch();
}

} // namespace

class TestOrdineTime : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void textToTime_data();
    void textToTime();
    void tooShort();
    void timeToText_data();
    void timeToText();
    void roundTrip_data();
    void roundTrip();

private:
    QByteArray m_zone;
};

void TestOrdineTime::initTestCase()
{
    m_zone = qgetenv("TZ");
    QVERIFY2(QFile::exists("/usr/share/zoneinfo/Europe/Rome"), "tzdata is not installed");
}

void TestOrdineTime::cleanupTestCase()
{
    useZone(m_zone);
}

void TestOrdineTime::textToTime_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("expected");

    const QByteArray rome = "Europe/Rome";
    QTest::newRow("empty") << rome << "" << qint64(0);
    QTest::newRow("local summer time") << rome << "2013-07-15T10:20:30" << utc(2013, 7, 15, 8, 20, 30);
    QTest::newRow("local winter time, space") << rome << "2013-01-15 10:20:30" << utc(2013, 1, 15, 9, 20, 30);
    QTest::newRow("offset +02:00") << rome << "2013-07-15T10:20:30+02:00" << utc(2013, 7, 15, 8, 20, 30);
    QTest::newRow("offset +02:00 in winter") << rome << "2013-01-15T10:20:30+02:00" << utc(2013, 1, 15, 8, 20, 30);
    QTest::newRow("Z") << rome << "2013-07-15T10:20:30Z" << utc(2013, 7, 15, 10, 20, 30);
    QTest::newRow("negative offset with minutes") << rome << "2013-07-15T10:20:30-05:30" << utc(2013, 7, 15, 15, 50, 30);
    QTest::newRow("fraction, then offset") << rome << "2013-07-15T10:20:30.250+02:00" << utc(2013, 7, 15, 8, 20, 30);
    QTest::newRow("offset without colon") << rome << "2013-07-15T10:20:30+0200" << utc(2013, 7, 15, 8, 20, 30);
    // spring: 02:00 CET becomes 03:00 CEST on 31 March 2013
    QTest::newRow("before spring change") << rome << "2013-03-31T01:59:59" << utc(2013, 3, 31, 0, 59, 59);
    QTest::newRow("after spring change") << rome << "2013-03-31T03:00:00" << utc(2013, 3, 31, 1, 0, 0);
    // autumn: 03:00 CEST becomes 02:00 CET on 27 October 2013; 02:30 happens twice
    QTest::newRow("before autumn change") << rome << "2013-10-27T01:59:59" << utc(2013, 10, 26, 23, 59, 59);
    QTest::newRow("after autumn change") << rome << "2013-10-27T03:00:00" << utc(2013, 10, 27, 2, 0, 0);
    QTest::newRow("first 02:30 by its offset") << rome << "2013-10-27T02:30:00+02:00" << utc(2013, 10, 27, 0, 30, 0);
    QTest::newRow("second 02:30 by its offset") << rome << "2013-10-27T02:30:00+01:00" << utc(2013, 10, 27, 1, 30, 0);
    // a month with summer time in a zone that has none in that month (southern hemisphere)
    QTest::newRow("southern summer in January") << QByteArray("Australia/Sydney") << "2013-01-15T10:00:00"
                                                << utc(2013, 1, 14, 23, 0, 0);
    QTest::newRow("UTC zone") << QByteArray("UTC") << "2013-07-15T10:20:30" << utc(2013, 7, 15, 10, 20, 30);
}

void TestOrdineTime::textToTime()
{
    QFETCH(QByteArray, zone);
    QFETCH(QString, text);
    QFETCH(qint64, expected);

    useZone(zone);
    QCOMPARE(qint64(Ordine::stringToTimestamp(text.toStdString())), expected);
}

void TestOrdineTime::tooShort()
{
    useZone("Europe/Rome");
    QVERIFY_EXCEPTION_THROWN(Ordine::stringToTimestamp("2013-07-15T10:20:3"), std::out_of_range);
    QCOMPARE(qint64(Ordine::stringToTimestamp("2013-07-15T10:20:30")), utc(2013, 7, 15, 8, 20, 30));
}

void TestOrdineTime::timeToText_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("expected");

    const QByteArray rome = "Europe/Rome";
    QTest::newRow("summer") << rome << utc(2013, 7, 15, 8, 20, 30) << "2013-07-15T10:20:30+02:00";
    QTest::newRow("winter") << rome << utc(2013, 1, 15, 9, 20, 30) << "2013-01-15T10:20:30+01:00";
    QTest::newRow("last second of winter time") << rome << utc(2013, 3, 31, 0, 59, 59) << "2013-03-31T01:59:59+01:00";
    QTest::newRow("first second of summer time") << rome << utc(2013, 3, 31, 1, 0, 0) << "2013-03-31T03:00:00+02:00";
    QTest::newRow("first 02:30 of autumn") << rome << utc(2013, 10, 27, 0, 30, 0) << "2013-10-27T02:30:00+02:00";
    QTest::newRow("second 02:30 of autumn") << rome << utc(2013, 10, 27, 1, 30, 0) << "2013-10-27T02:30:00+01:00";
    QTest::newRow("UTC") << QByteArray("UTC") << utc(2013, 7, 15, 8, 20, 30) << "2013-07-15T08:20:30+00:00";
    QTest::newRow("half-hour zone") << QByteArray("Asia/Kolkata") << utc(2013, 7, 15, 8, 20, 30) << "2013-07-15T13:50:30+05:30";
    QTest::newRow("west, summer, minutes") << QByteArray("America/St_Johns") << utc(2013, 7, 15, 8, 20, 30)
                                           << "2013-07-15T05:50:30-02:30";
    QTest::newRow("west, winter, minutes") << QByteArray("America/St_Johns") << utc(2013, 1, 15, 8, 20, 30)
                                           << "2013-01-15T04:50:30-03:30";
}

void TestOrdineTime::timeToText()
{
    QFETCH(QByteArray, zone);
    QFETCH(qint64, seconds);
    QFETCH(QString, expected);

    useZone(zone);
    QCOMPARE(QString::fromStdString(Ordine::timestampToString(long(seconds))), expected);
}

void TestOrdineTime::roundTrip_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::newRow("Europe/Rome") << QByteArray("Europe/Rome");
    QTest::newRow("America/St_Johns") << QByteArray("America/St_Johns");
    QTest::newRow("UTC") << QByteArray("UTC");
}

void TestOrdineTime::roundTrip()
{
    QFETCH(QByteArray, zone);
    useZone(zone);

    // every quarter of an hour across both changes of 2013
    for (qint64 start : {utc(2013, 3, 30, 12, 0, 0), utc(2013, 10, 26, 12, 0, 0), utc(2013, 11, 2, 12, 0, 0)}) {
        for (qint64 t = start; t < start + 48 * 3600; t += 900) {
            const std::string text = Ordine::timestampToString(long(t));
            QCOMPARE(qint64(Ordine::stringToTimestamp(text)), t);
        }
    }
}

QTEST_GUILESS_MAIN(TestOrdineTime)
#include "tst_ordinetime.moc"
