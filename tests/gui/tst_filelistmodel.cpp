// The list of files a file-sending order sends: which files it admits, what each cell shows,
// the bounds of its changes and the notifications each change sends, in order.

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QLocale>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "articoloinviofileitemmodel.h"

namespace {

// Every notification of the model, in the order sent, as short texts.
class NotificationLog : public QObject
{
public:
    explicit NotificationLog(QAbstractItemModel *model)
    {
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex &, int first, int last) { entries << QStringLiteral("inserted %1-%2").arg(first).arg(last); });
        connect(model, &QAbstractItemModel::rowsRemoved, this,
                [this](const QModelIndex &, int first, int last) { entries << QStringLiteral("removed %1-%2").arg(first).arg(last); });
        connect(model, &QAbstractItemModel::modelReset, this, [this] { entries << QStringLiteral("reset"); });
        connect(model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &from, const QModelIndex &to) {
            entries << QStringLiteral("changed %1,%2-%3,%4").arg(from.row()).arg(from.column()).arg(to.row()).arg(to.column());
        });
    }
    QStringList entries;
};

} // namespace

class TestFileListModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void sizeText_data();
    void sizeText();
    void admission_data();
    void admission();
    void removeRowsBounds_data();
    void removeRowsBounds();
    void setDataRules_data();
    void setDataRules();
    void missingAndEmptyEntries();
    void tooltipsShowNamesAsText();
    void headersAndFlags();
    void dropsAddLocalFilesOnly();
    void removeItemTakesEveryCopy();
    void underModelTester();

private:
    QString makeFile(const QString &name, qint64 size = 10);
    QTemporaryDir m_dir;
    int m_round = 0;
    QString m_base;
};

void TestFileListModel::initTestCase()
{
    Q_INIT_RESOURCE(application);
    QVERIFY(m_dir.isValid());
}

void TestFileListModel::init()
{
    m_base = m_dir.filePath(QStringLiteral("round%1").arg(++m_round));
    QVERIFY(QDir().mkpath(m_base));
}

QString TestFileListModel::makeFile(const QString &name, qint64 size)
{
    const QString path = m_base + QLatin1Char('/') + name;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(QByteArray(int(size), 'x'));
    return QFileInfo(path).absoluteFilePath();
}

void TestFileListModel::sizeText_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<quint64>("size");
    QTest::addColumn<QString>("text");
    for (const char *locale : {"C", "it_IT"}) {
        auto row = [&](quint64 size, const char *text) {
            QTest::addRow("%s, %llu", locale, static_cast<unsigned long long>(size)) << QString::fromLatin1(locale) << size
                                                                                      << QString::fromLatin1(text);
        };
        row(0, "0 byte");
        row(1023, "1023 byte");
        row(1024, "1 KB");
        row(1536, "1.5 KB");
        row(1048575, "1024 KB");
        row(1048576, "1 MB");
        row(123456789, "117.74 MB");
        row(quint64(2.5 * 1073741824.0), "2.5 GB");
    }
}

void TestFileListModel::sizeText()
{
    QFETCH(QString, locale);
    QFETCH(quint64, size);
    QFETCH(QString, text);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    ArticoloInvioFileItemModel model;
    const QString shown = model.fileSizeToString(size);
    QLocale::setDefault(before);
    QCOMPARE(shown, text);
}

void TestFileListModel::admission_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("notifications");
    QTest::addColumn<QString>("logLine");

    const QStringList none;
    QTest::newRow("file") << "file" << 2 << QStringList({"inserted 1-1", "reset", "changed 1,0-1,0"}) << "File Added: ";
    QTest::newRow("folder") << "folder" << 1 << none << "File Skipped (Not File/Not Exist): ";
    QTest::newRow("missing path") << "missing" << 1 << none << "File Skipped (Not File/Not Exist): ";
    QTest::newRow("same path twice") << "same" << 1 << none << "File Skipped (Exists): ";
    QTest::newRow("other letter case") << "case" << 1 << none << "File Skipped (Exists): ";
    QTest::newRow("same file by another path") << "relative" << 1 << none << "File Skipped (Exists): ";
}

void TestFileListModel::admission()
{
    QFETCH(QString, kind);
    QFETCH(int, rows);
    QFETCH(QStringList, notifications);
    QFETCH(QString, logLine);

    // A file system that tells letter case apart: the two files are distinct on disk.
    const QString listed = makeFile(QStringLiteral("Foto Estate.JPG"));
    const QString otherCase = makeFile(QStringLiteral("foto estate.jpg"));
    const QString fresh = makeFile(QStringLiteral("nuovo è.txt"));
    QVERIFY(!listed.isEmpty() && !otherCase.isEmpty() && !fresh.isEmpty());
    QVERIFY(QDir().mkpath(m_base + QStringLiteral("/cartella")));

    ArticoloInvioFileItemModel model;
    model.addFile(QFileInfo(listed));
    QCOMPARE(model.rowCount(), 1);

    QString path;
    if (kind == QLatin1String("file"))
        path = fresh;
    else if (kind == QLatin1String("folder"))
        path = m_base + QStringLiteral("/cartella");
    else if (kind == QLatin1String("missing"))
        path = m_base + QStringLiteral("/nessuno.txt");
    else if (kind == QLatin1String("same"))
        path = listed;
    else if (kind == QLatin1String("case"))
        path = otherCase;
    else
        path = m_base + QStringLiteral("/cartella/../Foto Estate.JPG");

    NotificationLog log(&model);
    QTest::ignoreMessage(QtDebugMsg, qPrintable(logLine + QFileInfo(path).absoluteFilePath()));
    model.addFile(QFileInfo(path));
    QCOMPARE(model.rowCount(), rows);
    QCOMPARE(log.entries, notifications);
    if (rows == 2) {
        QCOMPARE(model.fileList().last().absoluteFilePath(), fresh);
        QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("nuovo è.txt"));
    }
}

void TestFileListModel::removeRowsBounds_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QStringList>("notifications");

    QTest::newRow("two from row 1") << 1 << 2 << true << "a,d" << QStringList({"removed 1-2", "changed 0,0-1,2"});
    QTest::newRow("three from row 2") << 2 << 3 << false << "a,b,c,d" << QStringList();
    QTest::newRow("all four") << 0 << 4 << true << "" << QStringList({"removed 0-3"});
    QTest::newRow("last one") << 3 << 1 << true << "a,b,c" << QStringList({"removed 3-3", "changed 0,0-2,2"});
    QTest::newRow("negative row") << -1 << 1 << false << "a,b,c,d" << QStringList();
    QTest::newRow("row past the end") << 4 << 1 << false << "a,b,c,d" << QStringList();
    QTest::newRow("no rows") << 0 << 0 << false << "a,b,c,d" << QStringList();
    QTest::newRow("negative count") << 1 << -1 << false << "a,b,c,d" << QStringList();
}

void TestFileListModel::removeRowsBounds()
{
    QFETCH(int, row);
    QFETCH(int, count);
    QFETCH(bool, accepted);
    QFETCH(QString, left);
    QFETCH(QStringList, notifications);

    ArticoloInvioFileItemModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (const char *name : {"a", "b", "c", "d"})
        model.addFile(QFileInfo(makeFile(QString::fromLatin1(name))));
    NotificationLog log(&model);
    QCOMPARE(model.removeRows(row, count), accepted);
    QStringList names;
    for (const QFileInfo &file : model.fileList())
        names << file.fileName();
    QCOMPARE(names.join(QLatin1Char(',')), left);
    QCOMPARE(log.entries, notifications);

    // What was removed may come in again: the admission index followed the removal.
    if (accepted) {
        model.addFile(QFileInfo(m_base + QStringLiteral("/d")));
        QVERIFY(model.fileList().last().fileName() == QLatin1String("d"));
    }
}

void TestFileListModel::setDataRules_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("accepted");

    const struct {
        const char *name;
        int role;
    } roles[] = {{"edit", Qt::EditRole}, {"display", Qt::DisplayRole}};
    for (const auto &r : roles) {
        for (const char *kind : {"file", "folder", "missing"}) {
            for (int column : {0, 2}) {
                const bool accepted = r.role == Qt::EditRole && QByteArray(kind) == "file";
                QTest::addRow("%s, %s, column %d", r.name, kind, column) << r.role << QString::fromLatin1(kind) << column
                                                                         << accepted;
            }
        }
    }
}

void TestFileListModel::setDataRules()
{
    QFETCH(int, role);
    QFETCH(QString, kind);
    QFETCH(int, column);
    QFETCH(bool, accepted);

    const QString first = makeFile(QStringLiteral("primo.txt"), 5);
    const QString replacement = makeFile(QStringLiteral("altro/sostituto.txt"), 2048);
    ArticoloInvioFileItemModel model;
    model.addFile(QFileInfo(first));
    model.addFile(QFileInfo(makeFile(QStringLiteral("secondo.txt"))));

    QString path = replacement;
    if (kind == QLatin1String("folder"))
        path = m_base + QStringLiteral("/altro");
    else if (kind == QLatin1String("missing"))
        path = m_base + QStringLiteral("/altro/nessuno.txt");

    NotificationLog log(&model);
    QCOMPARE(model.setData(model.index(0, column), path, role), accepted);
    if (accepted) {
        QCOMPARE(log.entries, QStringList({"reset", QStringLiteral("changed 0,%1-0,%1").arg(column)}));
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("sostituto.txt"));
        QCOMPARE(model.data(model.index(0, 1)).toString(), replacement);
        QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("2 KB"));
    } else {
        QCOMPARE(log.entries, QStringList());
        QCOMPARE(model.fileList().first().absoluteFilePath(), first);
    }
    // Past the end is refused whatever the value.
    QVERIFY(!model.setData(model.index(5, 0), replacement, Qt::EditRole));
}

void TestFileListModel::missingAndEmptyEntries()
{
    const QString present = makeFile(QStringLiteral("presente.txt"), 1536);
    const QString gone = makeFile(QStringLiteral("sparito.txt"), 700);
    ArticoloInvioFileItemModel model;
    model.setFileList({QFileInfo(present), QFileInfo(gone), QFileInfo(m_base), QFileInfo()});
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.totalFilesSize(), quint64(1536 + 700 + QFileInfo(m_base).size()));
    // The file goes after it was listed: the rows follow the disk, not what was once read.
    QVERIFY(QFile::remove(gone));

    QList<QFileInfo> invalid = model.invalidFilesList();
    QCOMPARE(invalid.size(), 3);
    QCOMPARE(invalid.at(0).absoluteFilePath(), QFileInfo(gone).absoluteFilePath());
    QVERIFY(invalid.at(1).isDir());
    QCOMPARE(invalid.at(2).filePath(), QString());

    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("sparito.txt"));
    QCOMPARE(model.data(model.index(1, 2)).toString(), QStringLiteral("0 byte"));
    QVERIFY(model.data(model.index(1, 0), Qt::ToolTipRole).toString().startsWith(
        QStringLiteral("<h4>Il file non esiste, fai doppio click per sostituirlo</h4>")));
    QVERIFY(model.data(model.index(1, 0), Qt::ToolTipRole).toString().endsWith(QStringLiteral(": --")));
    QCOMPARE(model.data(model.index(3, 0), Qt::ToolTipRole), QVariant());
    QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("1.5 KB"));

    const QIcon good = model.data(model.index(0, 0), Qt::DecorationRole).value<QIcon>();
    const QIcon broken = model.data(model.index(1, 0), Qt::DecorationRole).value<QIcon>();
    const QIcon empty = model.data(model.index(3, 0), Qt::DecorationRole).value<QIcon>();
    QVERIFY(!good.isNull() && !broken.isNull());
    const QImage brokenImage = broken.pixmap(32).toImage();
    QVERIFY(good.pixmap(32).toImage() != brokenImage);
    QCOMPARE(empty.pixmap(32).toImage(), brokenImage);
    QCOMPARE(model.data(model.index(0, 1), Qt::DecorationRole), QVariant());
    QCOMPARE(model.data(model.index(0, 1), Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
    QCOMPARE(model.data(model.index(0, 0), Qt::EditRole), QVariant());
    QCOMPARE(model.data(model.index(9, 0)), QVariant());
}

void TestFileListModel::tooltipsShowNamesAsText()
{
    const QString odd = makeFile(QStringLiteral("a<b>&.txt"), 3);
    ArticoloInvioFileItemModel model;
    model.addFile(QFileInfo(odd));
    model.setFileList({QFileInfo(odd), QFileInfo(m_base + QStringLiteral("/<i>via.txt"))});
    const QString present = model.data(model.index(0, 0), Qt::ToolTipRole).toString();
    QCOMPARE(present, QStringLiteral("<i>Nome</i>: a&lt;b&gt;&amp;.txt<br /><i>Percorso</i>: %1<br /><i>Dimensione</i>: 3 byte")
                          .arg(odd.toHtmlEscaped()));
    const QString missing = model.data(model.index(1, 0), Qt::ToolTipRole).toString();
    QVERIFY(missing.contains(QStringLiteral("<i>Nome</i>: &lt;i&gt;via.txt<br />")));
}

void TestFileListModel::headersAndFlags()
{
    ArticoloInvioFileItemModel model;
    model.addFile(QFileInfo(makeFile(QStringLiteral("x.bin"))));
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Nome"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Percorso"));
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Dimensione"));
    QCOMPARE(model.headerData(3, Qt::Horizontal), QVariant());
    QCOMPARE(model.headerData(0, Qt::Vertical).toString(), QStringLiteral("1"));
    QCOMPARE(model.headerData(9, Qt::Vertical).toString(), QStringLiteral("10"));
    QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::ToolTipRole), QVariant());
    QCOMPARE(model.flags(QModelIndex()), Qt::ItemFlags(Qt::ItemIsDropEnabled));
    QVERIFY(model.flags(model.index(0, 2)) & Qt::ItemIsDragEnabled);
    QCOMPARE(model.supportedDropActions(), Qt::DropActions(0x80FF));
    QCOMPARE(static_cast<QAbstractItemModel &>(model).supportedDropActions(), Qt::DropActions(Qt::CopyAction));

    std::unique_ptr<QMimeData> data(model.mimeData({model.index(0, 0), model.index(0, 1), model.index(7, 0)}));
    QCOMPARE(data->urls().size(), 2);
    QCOMPARE(data->urls().first().toLocalFile(), model.fileList().first().absoluteFilePath());
}

void TestFileListModel::dropsAddLocalFilesOnly()
{
    const QString listed = makeFile(QStringLiteral("Listato.txt"));
    const QString one = makeFile(QStringLiteral("uno.txt"));
    const QString two = makeFile(QStringLiteral("due file.txt"));
    ArticoloInvioFileItemModel model;
    model.addFile(QFileInfo(listed));

    QMimeData urls;
    urls.setUrls({QUrl::fromLocalFile(m_base), QUrl::fromLocalFile(two), QUrl::fromLocalFile(m_base + "/listato.TXT"),
                  QUrl(QStringLiteral("https://example.invalid/x")), QUrl::fromLocalFile(one)});
    QVERIFY(model.dropMimeData(&urls, Qt::CopyAction, 0, 0, QModelIndex()));
    QStringList names;
    for (const QFileInfo &file : model.fileList())
        names << file.fileName();
    QCOMPARE(names, QStringList({"Listato.txt", "due file.txt", "uno.txt"}));

    QMimeData text;
    text.setText(one);
    QVERIFY(!model.dropMimeData(&text, Qt::CopyAction, 0, 0, QModelIndex()));
    QVERIFY(model.dropMimeData(&text, Qt::IgnoreAction, 0, 0, QModelIndex()));
    QCOMPARE(model.rowCount(), 3);
}

void TestFileListModel::removeItemTakesEveryCopy()
{
    const QString a = makeFile(QStringLiteral("a.txt"));
    const QString b = makeFile(QStringLiteral("b.txt"));
    ArticoloInvioFileItemModel model;
    model.setFileList({QFileInfo(a), QFileInfo(b), QFileInfo(a)});
    QCOMPARE(model.rowCount(), 3);
    QFileInfo wanted(a);
    QCOMPARE(model.index(wanted).row(), 0);
    QFileInfo otherCase(m_base + QStringLiteral("/A.txt"));
    QVERIFY(!model.index(otherCase).isValid());
    QVERIFY(!model.removeItem(otherCase));
    QVERIFY(model.removeItem(QFileInfo(a)));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.fileList().first().absoluteFilePath(), b);
    // Both copies left the admission index: the file may come back once.
    model.addFile(QFileInfo(a));
    model.addFile(QFileInfo(a));
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.fileInfo(b).absoluteFilePath(), b);
    QCOMPARE(model.fileInfo(m_base + QStringLiteral("/c.txt")).filePath(), QString());
    QCOMPARE(model.fileInfo(model.index(7, 0)).filePath(), QString());
}

void TestFileListModel::underModelTester()
{
    ArticoloInvioFileItemModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 6; ++i)
        model.addFile(QFileInfo(makeFile(QStringLiteral("f%1.dat").arg(i))));
    model.setData(model.index(2, 1), makeFile(QStringLiteral("g.dat")), Qt::EditRole);
    model.removeRows(1, 2);
    model.removeItem(QFileInfo(m_base + QStringLiteral("/f5.dat")));
    model.setFileList({QFileInfo(m_base + QStringLiteral("/f0.dat")), QFileInfo()});
    model.ResetModel();
    model.removeRows(0, model.rowCount());
    model.setFileList({});
    QCOMPARE(model.rowCount(), 0);
}

QTEST_MAIN(TestFileListModel)
#include "tst_filelistmodel.moc"
