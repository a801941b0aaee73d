#include <QTest>
class tst_PhotoEditor : public QObject
{
    Q_OBJECT
};
QTEST_MAIN(tst_PhotoEditor)
#include "tst_photoeditor.moc"
