// The print rows model: thumbnails on the thread pool, bookkeeping of missing files and
// products, the painted cell, error texts and tooltip.

#include <functional>

#include <QAbstractItemModelTester>
#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QThreadPool>

#include "articolostampafotograficafotoprintmodel.h"
#include "korvex2exception.h"
#include "korvexglobals.h"
#include "printeditfixture.h"
#include "testimages.h"

using Model = ArticoloStampaFotograficaFotoPrintModel;
using Row = OrdiniLocal::OrdineRigaStampaLocal;

class tst_PrintRowsModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void thumbnailsBelongToTheirOwnFiles();
    void bookkeeping_data();
    void bookkeeping();
    void editPassesCatalogueFailureOnAfterRepaint();
    void bookkeepingAgainstScansOfTheRows_data();
    void bookkeepingAgainstScansOfTheRows();
    void modelTester();
    void tooSmallRule_data();
    void tooSmallRule();
    void cellPixels_data();
    void cellPixels();
    void tooltipEscapesAndFillsOnce();
    void tooltipWithoutResolutionShowsPixels();
    void sizesText();

private:
    static bool settle(Model &model, int timeoutMs = 60000);
    static QImage cell(const Model &model, int row, QSize size = QSize(140, 140));

    std::unique_ptr<PrintEditFixture> m_fixture;
};

bool tst_PrintRowsModel::settle(Model &model, int timeoutMs)
{
    // Settled: two rounds in a row in which no batch runs and no job of one (a cancelled one
    // too) is on the thread pool, so that all they report has been posted, and delivering what
    // was posted brings no thumbnail. A batch that what the first round delivered started (a
    // finished batch may start the next one from its end) brings its thumbnails in the second.
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    const auto idle = [&model] {
        return !model.isLoadingThumbs() && QThreadPool::globalInstance()->activeThreadCount() == 0;
    };
    int quiet = 0;
    return QTest::qWaitFor(
        [&] {
            if (!idle()) {
                quiet = 0;
                return false;
            }
            changes.clear();
            QCoreApplication::sendPostedEvents();
            quiet = idle() && changes.isEmpty() ? quiet + 1 : 0;
            return quiet >= 2;
        },
        timeoutMs);
}

QImage tst_PrintRowsModel::cell(const Model &model, int row, QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    model.drawFotoPreview(&painter, image.rect(), model.stampe().at(row));
    painter.end();
    return image;
}

void tst_PrintRowsModel::initTestCase()
{
    Q_INIT_RESOURCE(application);
    m_fixture = std::make_unique<PrintEditFixture>();
    QVERIFY2(m_fixture->ok(), qPrintable(m_fixture->error()));
}

void tst_PrintRowsModel::cleanup()
{
    m_fixture->restoreCatalogue();
}

// Many solid colours, of both kinds Qt reads, a portrait, an undecodable file and one
// deleted after adding; a second loadThumbs of another size while the first batch runs, and
// rows added mid-batch. Every row ends with its own file's colour, bad rows with none, and
// the batches stop.
void tst_PrintRowsModel::thumbnailsBelongToTheirOwnFiles()
{
    QList<QString> files;
    QList<QColor> colours;
    for (int i = 0; i < 24; ++i) {
        const QColor colour = QColor::fromHsv((i * 360) / 24, 220, 80 + (i % 3) * 70);
        const bool portrait = i % 7 == 3;
        const QSize size = portrait ? QSize(300, 500) : QSize(500 + i * 10, 340);
        files << m_fixture->solid(QStringLiteral("c%1.%2").arg(i).arg(i % 2 ? "png" : "jpg"), size, colour);
        colours << colour;
    }
    const QString undecodable = m_fixture->bytes(QStringLiteral("rotto.jpg"), "Non è un'immagine.\n");
    const QString gone = m_fixture->solid(QStringLiteral("sparito.jpg"), QSize(400, 300), Qt::red);

    for (int run = 0; run < 50; ++run) {
        QVERIFY(QFile::exists(gone) || m_fixture->solid(QStringLiteral("sparito.jpg"), QSize(400, 300), Qt::red) == gone);
        Model model;
        QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
        for (int i = 0; i < 16; ++i)
            model.addStampa(PrintEditFixture::row(files.at(i), 1));
        model.addStampa(PrintEditFixture::row(undecodable, 1));
        model.addStampa(PrintEditFixture::row(gone, 1));
        QVERIFY(QFile::remove(gone));
        model.loadThumbs();
        // Mid-batch: other size for everything, and more rows.
        if (run % 2)
            QTest::qWait(run % 5);
        model.loadThumbs(QSize(160 + run % 3 * 20, 150));
        // Rows added while a batch runs are taken by the batch that follows it; without a
        // batch running, the composer's own loadThumbs after adding takes them.
        const bool running = model.isLoadingThumbs();
        for (int i = 16; i < files.size(); ++i)
            model.addStampa(PrintEditFixture::row(files.at(i), 1));
        if (!running)
            model.loadThumbs();
        QVERIFY2(settle(model), "the thumbnail batches never stopped");

        for (int i = 0; i < files.size(); ++i) {
            const QString path = QFileInfo(files.at(i)).absoluteFilePath();
            QVERIFY2(Model::m_images.contains(path), qPrintable(QStringLiteral("run %1: no thumbnail for %2").arg(run).arg(path)));
            const QImage thumb = Model::m_images.value(path);
            const QRgb centre = thumb.pixel(thumb.width() / 2, thumb.height() / 2);
            QVERIFY2(TestImages::colourDistance(centre, colours.at(i).rgb()) <= 12,
                     qPrintable(QStringLiteral("run %1: row %2 shows another file's colour").arg(run).arg(i)));
            QVERIFY(Model::fileSizes.contains(path));
        }
        QCOMPARE(Model::fileSizes.value(QFileInfo(files.at(3)).absoluteFilePath()), QSize(300, 500));
        QVERIFY(!Model::m_images.contains(QFileInfo(undecodable).absoluteFilePath()));
        QVERIFY(!Model::m_images.contains(QFileInfo(gone).absoluteFilePath()));

        // Settled means settled: nothing more arrives.
        const int seen = changes.count();
        QTest::qWait(30);
        QVERIFY(!model.isLoadingThumbs());
        QCOMPARE(changes.count(), seen);

        // The file gone since it was added is listed with the missing ones by its job.
        QCOMPARE(model.invalidFilesList().size(), 1);
        if (run == 0) {
            // The bad rows keep the placeholder; the gone file has its sign.
            model.invalidFileUpdate();
            QCOMPARE(model.invalidFilesList().size(), 1);
            QCOMPARE(model.invalidFilesList().first().absoluteFilePath(), QFileInfo(gone).absoluteFilePath());
            QVERIFY(model.getErrorStrings(model.stampe().at(17)).size() == 1);
            QVERIFY(model.getErrorStrings(model.stampe().at(16)).isEmpty());
            const QImage placeholder = cell(model, 16);
            const QImage goneCell = cell(model, 17);
            QCOMPARE(placeholder.pixel(70, 60), goneCell.pixel(70, 60));
            QVERIFY(placeholder.pixel(22, 34) != goneCell.pixel(22, 34));
        }
    }
}

struct Scenario
{
    std::function<void(Model &, const PrintEditFixture &)> steps;
    QStringList invalidFiles;   // names, in order
    QList<int> invalidStampe;   // product ids of the rows reported, in row order
    QStringList thumbs;         // names with a thumbnail
    QList<int> validStampe;     // ids for which isValidStampa holds
};
Q_DECLARE_METATYPE(Scenario)

void tst_PrintRowsModel::bookkeeping_data()
{
    QTest::addColumn<Scenario>("scenario");
    auto f = [](const PrintEditFixture &fx, const char *name) { return fx.path(QString::fromLatin1(name)); };
    auto loaded = [](Model &m) {
        m.loadThumbs();
        settle(m);
    };

    QTest::newRow("two rows one missing file") << Scenario{
        [f](Model &m, const PrintEditFixture &fx) {
            m.addStampa(PrintEditFixture::row(f(fx, "manca.jpg"), 1));
            m.addStampa(PrintEditFixture::row(f(fx, "manca.jpg"), 1));
        },
        {"manca.jpg"}, {}, {}, {1}};
    QTest::newRow("removing one of two keeps the file") << Scenario{
        [f](Model &m, const PrintEditFixture &fx) {
            m.addStampa(PrintEditFixture::row(f(fx, "manca.jpg"), 1));
            m.addStampa(PrintEditFixture::row(f(fx, "manca.jpg"), 1));
            QVERIFY(m.removeRows(0, 1));
        },
        {"manca.jpg"}, {}, {}, {1}};
    QTest::newRow("removing both drops it") << Scenario{
        [f](Model &m, const PrintEditFixture &fx) {
            m.addStampa(PrintEditFixture::row(f(fx, "manca.jpg"), 1));
            m.addStampa(PrintEditFixture::row(f(fx, "manca.jpg"), 1));
            m.removeAllRows();
            QCOMPARE(m.rowCount(), 0);
        },
        {}, {}, {}, {}};
    QTest::newRow("two missing files") << Scenario{
        [f](Model &m, const PrintEditFixture &fx) {
            m.addStampa(PrintEditFixture::row(f(fx, "manca.jpg"), 1));
            m.addStampa(PrintEditFixture::row(f(fx, "manca2.jpg"), 1));
        },
        {"manca.jpg", "manca2.jpg"}, {}, {}, {1}};
    QTest::newRow("rebuild lists each file once") << Scenario{
        [f](Model &m, const PrintEditFixture &fx) {
            for (int i = 0; i < 3; ++i)
                m.addStampa(PrintEditFixture::row(f(fx, "manca.jpg"), 1));
            m.addStampa(PrintEditFixture::row(fx.path("rosso.png"), 1));
            m.invalidFileUpdate();
        },
        {"manca.jpg"}, {}, {}, {1}};
    QTest::newRow("products 0, -2, missing and valid") << Scenario{
        [f](Model &m, const PrintEditFixture &fx) {
            m.addStampa(PrintEditFixture::row(fx.path("rosso.png"), 0));
            m.addStampa(PrintEditFixture::row(fx.path("rosso.png"), -2));
            m.addStampa(PrintEditFixture::row(fx.path("rosso.png"), 99));
            m.addStampa(PrintEditFixture::row(fx.path("rosso.png"), 4));
        },
        {}, {0, -2, 99}, {}, {4}};
    QTest::newRow("bad range changes nothing") << Scenario{
        [](Model &m, const PrintEditFixture &fx) {
            for (int i = 0; i < 4; ++i)
                m.addStampa(PrintEditFixture::row(fx.path("rosso.png"), i % 2 ? 1 : 4));
            QSignalSpy removed(&m, &QAbstractItemModel::rowsRemoved);
            QVERIFY(!m.removeRows(2, 3));
            QVERIFY(!m.removeRows(-1, 1));
            QVERIFY(!m.removeRows(0, 0));
            QVERIFY(!m.removeRows(4, 1));
            QCOMPARE(m.rowCount(), 4);
            QCOMPARE(removed.count(), 0);
            Model empty;
            QSignalSpy none(&empty, &QAbstractItemModel::rowsAboutToBeRemoved);
            empty.removeAllRows();
            QCOMPARE(none.count(), 0);
        },
        {}, {}, {}, {1, 4}};
    QTest::newRow("thumbnail after add, only after loadThumbs") << Scenario{
        [loaded](Model &m, const PrintEditFixture &fx) {
            m.addStampa(PrintEditFixture::row(fx.path("rosso.png"), 1));
            QVERIFY(Model::m_images.isEmpty());
            loaded(m);
        },
        {}, {}, {"rosso.png"}, {1}};
    QTest::newRow("edit to another image drops the old thumbnail") << Scenario{
        [loaded](Model &m, const PrintEditFixture &fx) {
            m.addStampa(PrintEditFixture::row(fx.path("rosso.png"), 1));
            loaded(m);
            m.editStampa(PrintEditFixture::row(fx.path("blu.png"), 4), m.index(0));
            QVERIFY(!Model::m_images.contains(fx.path("blu.png")));
        },
        {}, {}, {}, {4}};
    QTest::newRow("edit then load gives the new thumbnail") << Scenario{
        [loaded](Model &m, const PrintEditFixture &fx) {
            m.addStampa(PrintEditFixture::row(fx.path("rosso.png"), 1));
            loaded(m);
            m.editStampa(PrintEditFixture::row(fx.path("blu.png"), 1), m.index(0));
            m.loadThumbs(QSize(-1, -1), {m.stampe().at(0)});
            settle(m);
        },
        {}, {}, {"blu.png"}, {1}};
    QTest::newRow("edit keeps what another row still uses") << Scenario{
        [loaded](Model &m, const PrintEditFixture &fx) {
            m.addStampa(PrintEditFixture::row(fx.path("rosso.png"), 1));
            m.addStampa(PrintEditFixture::row(fx.path("rosso.png"), 1));
            m.addStampa(PrintEditFixture::row(fx.path("manca.jpg"), 4));
            loaded(m);
            m.editStampa(PrintEditFixture::row(fx.path("blu.png"), 4), m.index(0));
            m.editStampa(PrintEditFixture::row(fx.path("blu.png"), 3), m.index(2));
        },
        {}, {}, {"rosso.png"}, {1, 3, 4}};
    QTest::newRow("edit to a missing file lists it") << Scenario{
        [](Model &m, const PrintEditFixture &fx) {
            m.addStampa(PrintEditFixture::row(fx.path("rosso.png"), 1));
            m.editStampa(PrintEditFixture::row(fx.path("manca.jpg"), 1), m.index(0));
            m.editStampa(PrintEditFixture::row(fx.path("manca.jpg"), 1), m.index(5));
            m.editStampa(PrintEditFixture::row(fx.path("rosso.png"), 1), QModelIndex());
        },
        {"manca.jpg"}, {}, {}, {1}};
    QTest::newRow("remove drops thumbnail, product and failed mark") << Scenario{
        [loaded](Model &m, const PrintEditFixture &fx) {
            m.addStampa(PrintEditFixture::row(fx.path("rosso.png"), 1));
            m.addStampa(PrintEditFixture::row(fx.path("blu.png"), 4));
            loaded(m);
            QVERIFY(m.removeRows(0, 1));
        },
        {}, {}, {"blu.png"}, {4}};
    // Rows removed as a block: what the rows left use stays, what they don't is dropped.
    QTest::newRow("remove a block keeps what the rows left use") << Scenario{
        [loaded](Model &m, const PrintEditFixture &fx) {
            m.addStampa(PrintEditFixture::row(fx.path("rosso.png"), 1));
            m.addStampa(PrintEditFixture::row(fx.path("manca.jpg"), 4));
            m.addStampa(PrintEditFixture::row(fx.path("blu.png"), 4));
            m.addStampa(PrintEditFixture::row(fx.path("manca2.jpg"), 4));
            m.addStampa(PrintEditFixture::row(fx.path("rosso.png"), 1));
            m.addStampa(PrintEditFixture::row(fx.path("manca.jpg"), 3));
            loaded(m);
            QVERIFY(m.removeRows(0, 4));
            QCOMPARE(m.rowCount(), 2);
        },
        {"manca.jpg"}, {}, {"rosso.png"}, {1, 3}};
    QTest::newRow("empty path counts as missing") << Scenario{
        [](Model &m, const PrintEditFixture &) { m.addStampa(PrintEditFixture::row(QString(), 1)); },
        {""}, {}, {}, {1}};
}

void tst_PrintRowsModel::bookkeeping()
{
    QFETCH(Scenario, scenario);
    m_fixture->solid(QStringLiteral("rosso.png"), QSize(300, 200), Qt::red);
    m_fixture->solid(QStringLiteral("blu.png"), QSize(300, 200), Qt::blue);
    Model model;
    scenario.steps(model, *m_fixture);
    if (QTest::currentTestFailed())
        return;

    QStringList invalid;
    for (const QFileInfo &file : model.invalidFilesList())
        invalid << file.fileName();
    QCOMPARE(invalid, scenario.invalidFiles);

    QList<int> invalidStampe;
    for (const Row &riga : model.invalidStampeList())
        invalidStampe << riga.IdStampa;
    QCOMPARE(invalidStampe, scenario.invalidStampe);

    QStringList thumbs;
    for (const QString &key : Model::m_images.keys())
        thumbs << QFileInfo(key).fileName();
    QCOMPARE(thumbs, scenario.thumbs);

    for (int id : {-1, 0, 1, 3, 4, 5, 99})
        QCOMPARE(model.isValidStampa(id), scenario.validStampe.contains(id));
}

void tst_PrintRowsModel::editPassesCatalogueFailureOnAfterRepaint()
{
    const QString red = m_fixture->solid(QStringLiteral("rosso.png"), QSize(300, 200), Qt::red);
    const QString blue = m_fixture->solid(QStringLiteral("blu.png"), QSize(300, 200), Qt::blue);
    Model model;
    model.addStampa(PrintEditFixture::row(red, 1));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    // Product 7 names format 0: reading it fails.
    bool thrown = false;
    try {
        model.editStampa(PrintEditFixture::row(blue, 7), model.index(0));
    } catch (const Korvex2Exception &) {
        thrown = true;
    }
    QVERIFY(thrown);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(model.stampe().at(0).FilePath, blue);
    QCOMPARE(model.stampe().at(0).IdStampa, 7);

    // With the catalogue gone, adding throws after the row is in.
    m_fixture->breakCatalogue();
    thrown = false;
    try {
        model.addStampa(PrintEditFixture::row(red, 1));
    } catch (const Korvex2Exception &) {
        thrown = true;
    }
    QVERIFY(thrown);
    QCOMPARE(model.rowCount(), 2);
}

namespace {

QString absolute(const QString &path)
{
    return path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
}

// What the model keeps beside its rows, worked out the plain way for each operation: every
// "does a row still use it?" answered by a pass over all the rows. The model answers them
// from its own counts; both must agree after any sequence of operations.
struct ScannedModel
{
    QList<Row> rows;
    QStringList invalid;     // absolute paths, in the order the model lists them
    QSet<QString> thumbs;
    QSet<QString> failed;    // absolute paths whose job gave no image
    QSet<int> products;      // ids of the cached products
    QSet<int> catalogue;     // ids the catalogue has
    QSet<QString> decodable; // absolute paths of the files that give a thumbnail
    QStringList log;         // the notifications the model must send

    QList<int> rowsOf(const QString &path) const
    {
        QList<int> found;
        for (int i = 0; i < rows.size(); ++i)
            if (rows.at(i).FilePath == path)
                found << i;
        return found;
    }
    QList<int> rowsOf(int idStampa) const
    {
        QList<int> found;
        for (int i = 0; i < rows.size(); ++i)
            if (rows.at(i).IdStampa == idStampa)
                found << i;
        return found;
    }
    void note(const QString &path)
    {
        const QFileInfo file(path);
        if ((path.isEmpty() || !file.exists() || !file.isReadable()) && !invalid.contains(absolute(path)))
            invalid << absolute(path);
    }
    void cache(int idStampa)
    {
        if (idStampa >= 1 && catalogue.contains(idStampa))
            products.insert(idStampa);
    }
    void dropIfUnused(const Row &old)
    {
        if (rowsOf(old.FilePath).isEmpty()) {
            invalid.removeAll(absolute(old.FilePath));
            thumbs.remove(old.FilePath);
        }
        if (rowsOf(old.IdStampa).isEmpty())
            products.remove(old.IdStampa);
    }

    void add(const Row &riga)
    {
        log << QStringLiteral("inserted %1").arg(rows.size());
        rows << riga;
        failed.remove(absolute(riga.FilePath));
        note(riga.FilePath);
        cache(riga.IdStampa);
    }
    void edit(const Row &riga, int row)
    {
        if (row < 0 || row >= rows.size())
            return;
        const Row old = rows.at(row);
        rows[row] = riga;
        dropIfUnused(old);
        failed.remove(absolute(old.FilePath));
        failed.remove(absolute(riga.FilePath));
        note(riga.FilePath);
        cache(riga.IdStampa);
        log << QStringLiteral("changed %1").arg(row);
    }
    void remove(int first, int count)
    {
        if (first < 0 || count < 1 || first >= rows.size() || first + count > rows.size())
            return;
        log << QStringLiteral("removed %1-%2").arg(first).arg(first + count - 1);
        for (int i = 0; i < count; ++i) {
            const Row old = rows.takeAt(first);
            dropIfUnused(old);
            failed.remove(absolute(old.FilePath));
        }
    }
    void rebuildInvalid()
    {
        invalid.clear();
        for (const Row &riga : qAsConst(rows))
            note(riga.FilePath);
    }
    // A thumbnail batch to its end: one job for each path that has none yet, and a repaint
    // of every row of each path read.
    void loadThumbs()
    {
        QSet<QString> queued;
        for (const Row &riga : qAsConst(rows)) {
            const QString path = absolute(riga.FilePath);
            if (path.isEmpty() || invalid.contains(path) || thumbs.contains(path) || failed.contains(path)
                || queued.contains(path))
                continue;
            queued.insert(path);
            if (decodable.contains(path) && QFileInfo::exists(path)) {
                thumbs.insert(path);
            } else {
                failed.insert(path);
                note(path);
            }
            for (int row : rowsOf(path))
                log << QStringLiteral("changed %1").arg(row);
        }
    }
};

} // namespace

void tst_PrintRowsModel::bookkeepingAgainstScansOfTheRows_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("images"); // decodable files; rows pick among them and a few bad ones
    QTest::addColumn<int>("steps");
    QTest::newRow("few files, many rows each") << 11u << 3 << 400;
    QTest::newRow("many files") << 23u << 14 << 400;
    QTest::newRow("mixed") << 37u << 6 << 600;
}

// Adding, editing (one print, or a selection given one product as the bulk change does),
// removing blocks, rebuilding the missing files and thumbnail batches in a random order over
// shared, missing, undecodable and vanishing files and products of every kind: after each
// step the model's rows, notifications, missing files, thumbnails, products and rows of each
// path and product are those of the plain scans.
void tst_PrintRowsModel::bookkeepingAgainstScansOfTheRows()
{
    QFETCH(quint32, seed);
    QFETCH(int, images);
    QFETCH(int, steps);

    ScannedModel scanned;
    QStringList paths;
    for (int i = 0; i < images; ++i) {
        const QString file = m_fixture->solid(QStringLiteral("f%1.%2").arg(i).arg(i % 2 ? "jpg" : "png"),
                                              QSize(60 + i, 40), QColor::fromHsv(i * 25 % 360, 200, 200));
        paths << absolute(file);
        scanned.decodable.insert(absolute(file));
    }
    const QString vanishing = absolute(m_fixture->solid(QStringLiteral("sparisce.png"), QSize(50, 40), Qt::red));
    scanned.decodable.insert(vanishing);
    paths << vanishing << absolute(m_fixture->bytes(QStringLiteral("rotto.jpg"), "Non è un'immagine.\n"))
          << absolute(m_fixture->path(QStringLiteral("manca.jpg"))) << absolute(m_fixture->path(QStringLiteral("manca2.jpg")))
          << QString();
    const QList<int> ids{1, 3, 4, 5, 6, 99, 0, -2};
    scanned.catalogue = {1, 3, 4, 5, 6};

    QVERIFY(Model::m_images.isEmpty());
    Model model;
    QStringList log;
    connect(&model, &QAbstractItemModel::rowsInserted, this, [&log](const QModelIndex &, int first, int last) {
        log << (first == last ? QStringLiteral("inserted %1").arg(first) : QStringLiteral("inserted %1-%2").arg(first).arg(last));
    });
    connect(&model, &QAbstractItemModel::rowsRemoved, this, [&log](const QModelIndex &, int first, int last) {
        log << QStringLiteral("removed %1-%2").arg(first).arg(last);
    });
    connect(&model, &QAbstractItemModel::dataChanged, this,
            [&log](const QModelIndex &from, const QModelIndex &to, const QVector<int> &roles) {
                log << (from == to && roles.isEmpty() ? QStringLiteral("changed %1").arg(from.row())
                                                      : QStringLiteral("changed %1-%2 roles %3")
                                                            .arg(from.row()).arg(to.row()).arg(roles.size()));
            });
    const QString missingText = QStringLiteral("Il file non esiste, fai doppio click per sostituirlo");

    QRandomGenerator random(seed);
    auto pick = [&random](const auto &list) { return list.at(int(random.bounded(quint32(list.size())))); };
    auto anyRow = [&] {
        Row riga = PrintEditFixture::row(pick(paths), pick(ids), 1 + int(random.bounded(2u)), QRectF(),
                                         1 + int(random.bounded(9u)));
        return riga;
    };
    for (int step = 0; step < steps; ++step) {
        const int rows = scanned.rows.size();
        const quint32 op = random.bounded(100u);
        QString what;
        if (step == steps / 2) {
            QVERIFY(QFile::remove(vanishing));
            what = QStringLiteral("file gone");
        } else if (op < 35 || rows < 3) {
            const Row riga = anyRow();
            what = QStringLiteral("add %1 %2").arg(QFileInfo(riga.FilePath).fileName()).arg(riga.IdStampa);
            model.addStampa(riga);
            scanned.add(riga);
        } else if (op < 62) {
            // One print edited: another file, another product, or both; at times a bad index.
            const int row = int(random.bounded(quint32(rows + 2))) - 1;
            Row riga = row >= 0 && row < rows ? scanned.rows.at(row) : anyRow();
            const quint32 change = random.bounded(3u);
            if (change != 1)
                riga.FilePath = pick(paths);
            if (change != 0)
                riga.IdStampa = pick(ids);
            what = QStringLiteral("edit %1 to %2 %3").arg(row).arg(QFileInfo(riga.FilePath).fileName()).arg(riga.IdStampa);
            model.editStampa(riga, row >= 0 && row < rows ? model.index(row) : model.index(row, 0));
            scanned.edit(riga, row);
        } else if (op < 70) {
            // A selection given one product, print after print.
            const int product = pick(ids);
            what = QStringLiteral("selection to %1").arg(product);
            for (int row = int(random.bounded(3u)); row < rows; row += 1 + int(random.bounded(3u))) {
                Row riga = scanned.rows.at(row);
                riga.IdStampa = product;
                riga.Qta = 2;
                model.editStampa(riga, model.index(row));
                scanned.edit(riga, row);
            }
        } else if (op < 86) {
            const int first = int(random.bounded(quint32(rows + 2))) - 1;
            const int count = int(random.bounded(5u));
            what = QStringLiteral("remove %1 +%2").arg(first).arg(count);
            model.removeRows(first, count);
            scanned.remove(first, count);
        } else if (op < 88) {
            what = QStringLiteral("remove all");
            model.removeAllRows();
            scanned.remove(0, rows);
        } else if (op < 94) {
            what = QStringLiteral("rebuild missing files");
            model.invalidFileUpdate();
            scanned.rebuildInvalid();
        } else {
            what = QStringLiteral("thumbnails");
            model.loadThumbs();
            QVERIFY(settle(model));
            scanned.loadThumbs();
            // The jobs end in any order: the repaints are compared as a set.
            std::sort(log.begin(), log.end());
            std::sort(scanned.log.begin(), scanned.log.end());
        }
        const QByteArray where = QStringLiteral("step %1 (%2)").arg(step).arg(what).toUtf8();

        QVERIFY2(log == scanned.log, (where + ": " + log.join(QLatin1Char(',')).toUtf8() + " against "
                                      + scanned.log.join(QLatin1Char(',')).toUtf8()).constData());
        log.clear();
        scanned.log.clear();
        QCOMPARE(model.rowCount(), scanned.rows.size());
        const QList<Row> now = model.stampe();
        for (int i = 0; i < now.size(); ++i) {
            QVERIFY2(now.at(i).FilePath == scanned.rows.at(i).FilePath && now.at(i).IdStampa == scanned.rows.at(i).IdStampa
                         && now.at(i).Qta == scanned.rows.at(i).Qta,
                     where.constData());
            QVERIFY2(model.getErrorStrings(now.at(i)).contains(missingText)
                         == scanned.invalid.contains(absolute(now.at(i).FilePath)),
                     where.constData());
        }
        QStringList invalid;
        for (const QFileInfo &file : model.invalidFilesList())
            invalid << absolute(file.filePath());
        QVERIFY2(invalid == scanned.invalid,
                 (where + ": " + invalid.join(QLatin1Char(',')).toUtf8() + " against "
                  + scanned.invalid.join(QLatin1Char(',')).toUtf8()).constData());
        QSet<QString> thumbs;
        for (auto i = Model::m_images.constBegin(); i != Model::m_images.constEnd(); ++i)
            thumbs.insert(i.key());
        QVERIFY2(thumbs == scanned.thumbs, where.constData());
        for (const QString &path : qAsConst(paths))
            QVERIFY2(model.filePath2righeStampaIndex(path) == scanned.rowsOf(path), where.constData());
        QList<int> invalidStampe, expectedInvalidStampe;
        for (const Row &riga : model.invalidStampeList())
            invalidStampe << riga.IdStampa;
        for (const Row &riga : qAsConst(scanned.rows))
            if (!scanned.products.contains(riga.IdStampa))
                expectedInvalidStampe << riga.IdStampa;
        QVERIFY2(invalidStampe == expectedInvalidStampe, where.constData());
        for (int id : ids) {
            QVERIFY2(model.isValidStampa(id) == scanned.products.contains(id), where.constData());
            QVERIFY2(model.idStampa2righeStampaIndex(id) == scanned.rowsOf(id), where.constData());
        }
    }
}

void tst_PrintRowsModel::modelTester()
{
    const QString red = m_fixture->solid(QStringLiteral("rosso.png"), QSize(300, 200), Qt::red);
    Model model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 5; ++i)
        model.addStampa(PrintEditFixture::row(i == 2 ? m_fixture->path("manca.jpg") : red, 1 + i % 2 * 3));
    model.loadThumbs();
    QVERIFY(settle(model));
    model.editStampa(PrintEditFixture::row(red, 99), model.index(1));
    QVERIFY(model.removeRows(1, 2));
    QVERIFY(model.data(model.index(0), Qt::DecorationRole).value<QIcon>().availableSizes().size() >= 1);
    QVERIFY(!model.data(model.index(0), Qt::DisplayRole).isValid());
    QVERIFY(!model.data(model.index(7, 0), Qt::DecorationRole).isValid());
    QVERIFY(model.generateItemTooltip(model.index(7, 0)).isEmpty());
    model.removeAllRows();
}

void tst_PrintRowsModel::tooSmallRule_data()
{
    QTest::addColumn<QSize>("image");
    QTest::addColumn<int>("idStampa");
    QTest::addColumn<bool>("tooSmall");
    QTest::newRow("2000x1300 on 1800x1200") << QSize(2000, 1300) << 1 << false;
    QTest::newRow("2000x1300 on 1200x1800") << QSize(2000, 1300) << 4 << false;
    QTest::newRow("1000x1500 on 1800x1200") << QSize(1000, 1500) << 1 << true;
    QTest::newRow("1500x1500 on 1200x1800") << QSize(1500, 1500) << 4 << true;
    QTest::newRow("3000x2000 on 1200x1800") << QSize(3000, 2000) << 4 << false;
    QTest::newRow("1000x1500 on 1200x1800") << QSize(1000, 1500) << 4 << true;
    QTest::newRow("exactly 1800x1200") << QSize(1800, 1200) << 1 << false;
    QTest::newRow("one pixel short") << QSize(1799, 1200) << 1 << true;
    QTest::newRow("portrait exactly") << QSize(1200, 1800) << 1 << false;
    QTest::newRow("no resolution format, large") << QSize(600, 400) << 6 << false;
    QTest::newRow("unknown product") << QSize(10, 10) << 99 << false;
}

void tst_PrintRowsModel::tooSmallRule()
{
    QFETCH(QSize, image);
    QFETCH(int, idStampa);
    QFETCH(bool, tooSmall);
    const QString text = QStringLiteral("La stampa non è ottimale. Le dimensioni dell'immagine originale sono "
                                        "inferiori a quelle del formato sclelto, quindi l'immagine verrà "
                                        "ridimensionata.");
    const QString file = m_fixture->solid(QStringLiteral("misura.png"), image, Qt::gray);
    Model model;
    model.addStampa(PrintEditFixture::row(file, idStampa));
    QVERIFY(!model.getErrorStrings(model.stampe().at(0)).contains(text)); // size not read yet
    model.loadThumbs();
    QVERIFY(settle(model));
    QCOMPARE(Model::fileSizes.value(QFileInfo(file).absoluteFilePath()), image);
    QCOMPARE(model.getErrorStrings(model.stampe().at(0)).contains(text), tooSmall);
}

struct Probe
{
    QPoint at;
    QColor colour;
};
Q_DECLARE_METATYPE(QList<Probe>)

void tst_PrintRowsModel::cellPixels_data()
{
    QTest::addColumn<int>("idStampa");
    QTest::addColumn<int>("type");
    QTest::addColumn<QRectF>("crop");
    QTest::addColumn<QList<Probe>>("probes");

    const QColor white(255, 255, 255);
    const QColor grey(170, 170, 170);
    const QColor red = TestImages::quadrantColour(0);
    const QColor green = TestImages::quadrantColour(1);
    const QColor yellow = TestImages::quadrantColour(2);
    const QColor blue = TestImages::quadrantColour(3);
    // Image 2400 x 1800 (large enough for every format used), thumbnail 114 x 86; image area (14, 14) 112 x 103. A 1800 x 1200 print
    // there is 112 x 75 from y 28 to 102.
    const QList<Probe> frame = {{{1, 1}, white}, {{4, 4}, grey}, {{5, 5}, white}, {{134, 134}, white},
                                {{135, 135}, grey}, {{133, 70}, grey}, {{136, 70}, white}, {{8, 80}, grey}};
    QTest::newRow("fit: white bands left and right")
        << 1 << 1 << QRectF()
        << (frame + QList<Probe>{{{16, 60}, white}, {{123, 60}, white}, {{25, 32}, red}, {{114, 32}, green},
                                 {{114, 98}, yellow}, {{25, 98}, blue}, {{70, 24}, grey}, {{70, 106}, grey}});
    QTest::newRow("crop unset: centred, filling the print")
        << 1 << 2 << QRectF()
        << (frame + QList<Probe>{{{15, 29}, red}, {{124, 29}, green}, {{124, 101}, yellow},
                                 {{15, 101}, blue}, {{70, 24}, grey}});
    QTest::newRow("crop that rounds to nothing: centred")
        << 1 << 2 << QRectF(100, 100, 0.3, 0.3)
        << (frame + QList<Probe>{{{15, 29}, red}, {{124, 29}, green}, {{124, 101}, yellow},
                                 {{15, 101}, blue}, {{70, 24}, grey}});
    QTest::newRow("crop of the top left quadrant")
        << 1 << 2 << QRectF(60, 60, 1080, 720)
        << (frame + QList<Probe>{{{16, 30}, red}, {{123, 30}, red}, {{123, 100}, red}, {{16, 100}, red}});
    QTest::newRow("crop of the bottom right quadrant")
        << 4 << 2 << QRectF(1260, 960, 1080, 720)
        << (frame + QList<Probe>{{{16, 30}, yellow}, {{123, 100}, yellow}});
    QTest::newRow("portrait format is drawn landscape")
        << 4 << 1 << QRectF()
        << QList<Probe>{{{70, 24}, grey}, {{70, 106}, grey}, {{16, 60}, white}, {{25, 32}, red}};
    QTest::newRow("unavailable product: untransformed, with sign")
        << 99 << 2 << QRectF()
        << QList<Probe>{{{44, 26}, red}, {{14, 44}, red}, {{124, 26}, green}, {{124, 104}, yellow}, {{44, 104}, blue},
                        {{14, 32}, QColor(255, 200, 50)}};
}

void tst_PrintRowsModel::cellPixels()
{
    QFETCH(int, idStampa);
    QFETCH(int, type);
    QFETCH(QRectF, crop);
    QFETCH(QList<Probe>, probes);
    const QString file = m_fixture->quadrants(QStringLiteral("quadranti.jpg"), QSize(2400, 1800));
    Model model;
    model.addStampa(PrintEditFixture::row(file, idStampa, type, crop));
    model.loadThumbs();
    QVERIFY(settle(model));
    QCOMPARE(Model::m_images.value(QFileInfo(file).absoluteFilePath()).size(), QSize(114, 86));
    const QImage image = cell(model, 0);
    for (const Probe &probe : probes) {
        const QRgb pixel = image.pixel(probe.at);
        const int tolerance = probe.colour == QColor(255, 200, 50) ? 70 : 16;
        QVERIFY2(TestImages::colourDistance(pixel, probe.colour.rgb()) <= tolerance,
                 qPrintable(QStringLiteral("(%1, %2) is %3, not %4")
                                .arg(probe.at.x()).arg(probe.at.y())
                                .arg(QColor(pixel).name(), probe.colour.name())));
    }
}

void tst_PrintRowsModel::tooltipEscapesAndFillsOnce()
{
    const QString file = m_fixture->solid(QStringLiteral("a%3<b>&.jpg"), QSize(1800, 1200), Qt::darkGreen);
    Model model;
    Row riga = PrintEditFixture::row(file, 1);
    riga.FormatoDesc = QStringLiteral("10x15 <i>%1</i>");
    model.addStampa(riga);
    model.loadThumbs();
    QVERIFY(settle(model));
    QTextDocument document;
    document.setHtml(model.data(model.index(0), Qt::ToolTipRole).toString());
    const QString text = document.toPlainText();
    QVERIFY2(text.contains(QStringLiteral("Nome: a%3<b>&.jpg")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Formato: 10x15 <i>%1</i>")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Carta: Lucida")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Percorso: ") + QFileInfo(file).absoluteFilePath()), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Dimensioni immagine: 15x10 cm a 300 dpi")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Dimensione file: ") + KorvexGlobals::fileSizeToString(QFileInfo(file).size())),
             qPrintable(text));

    // Missing file and unavailable product: both texts, the last first.
    Model bad;
    bad.addStampa(PrintEditFixture::row(m_fixture->path("manca.jpg"), 99));
    document.setHtml(bad.generateItemTooltip(bad.index(0)));
    const QString badText = document.toPlainText();
    QVERIFY2(badText.startsWith(QStringLiteral("Le impostazioni di stampa scelte")), qPrintable(badText));
    QVERIFY(badText.indexOf(QStringLiteral("Il file non esiste")) < badText.indexOf(QStringLiteral("Formato:")));
    QVERIFY(badText.contains(QStringLiteral("Dimensione file: 0 byte")));
}

void tst_PrintRowsModel::tooltipWithoutResolutionShowsPixels()
{
    const QString file = m_fixture->solid(QStringLiteral("nodpi.png"), QSize(640, 480), Qt::gray);
    Model model;
    model.addStampa(PrintEditFixture::row(file, 6));
    model.addStampa(PrintEditFixture::row(file, 99));
    model.loadThumbs();
    QVERIFY(settle(model));
    QTextDocument document;
    for (int row = 0; row < 2; ++row) {
        document.setHtml(model.generateItemTooltip(model.index(row)));
        QVERIFY2(document.toPlainText().contains(QStringLiteral("Dimensioni immagine: 640x480 px a 0 dpi")),
                 qPrintable(document.toPlainText()));
    }
}

void tst_PrintRowsModel::sizesText()
{
    Model model;
    QCOMPARE(model.totalFilesSizeString(), QStringLiteral("0 byte"));
    for (qint64 size : {qint64(1023), qint64(1), qint64(1073741824) * 3 - 1024}) {
        Row riga = PrintEditFixture::row(QString(), 0);
        riga.FileSize = size;
        model.addStampa(riga);
    }
    QCOMPARE(model.totalFilesSize(), qint64(1073741824) * 3);
    QCOMPARE(model.totalFilesSizeString(), QStringLiteral("3 GB"));
    QCOMPARE(model.fileSizeToString(1023), QStringLiteral("1023 byte"));
    QCOMPARE(model.fileSizeToString(1024), QStringLiteral("1 KB"));
    QCOMPARE(model.fileSizeToString(1048575), QStringLiteral("1024 KB"));
}

QTEST_MAIN(tst_PrintRowsModel)
#include "tst_printrowsmodel.moc"
