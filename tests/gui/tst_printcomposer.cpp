// The photo print composer on real parts: the catalogue of the data folder (edited per test
// where a case needs its own products), images made here, the real print rows model, the
// upload queue and, for sending, the laboratory simulator.

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <memory>

#include <sys/inotify.h>
#include <unistd.h>

#include "articolostampafotograficacomposer.h"
#include "articolostampafotograficafileselectionmodel.h"
#include "articolostampafotograficafotoprintmodel.h"
#include "enginefixture.h"
#include "filesizelimit.h"
#include "imageutility.h"
#include "keyboard.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "modalanswerer.h"
#include "ordineupload.h"
#include "shots.h"
#include "testimages.h"
#include "utente.h"

using Composer = ArticoloStampaFotograficaComposer;
using PrintModel = ArticoloStampaFotograficaFotoPrintModel;
using FileModel = ArticoloStampaFotograficaFileSelectionModel;

namespace {

template <typename T>
T *child(QWidget *window, const char *name)
{
    T *widget = window->findChild<T *>(QString::fromLatin1(name));
    if (!widget)
        qWarning("no child %s", name);
    return widget;
}

PrintModel *prints(Composer *composer)
{
    return static_cast<PrintModel *>(child<QListView>(composer, "listViewFotoPrint")->model());
}

FileModel *files(Composer *composer)
{
    return static_cast<FileModel *>(child<QListView>(composer, "listViewFileSelection")->model());
}

// Names the browser lists under the folder it shows, sorted.
QStringList shownNames(Composer *composer)
{
    QListView *view = child<QListView>(composer, "listViewFileSelection");
    FileModel *model = files(composer);
    QStringList names;
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < model->rowCount(root); ++row)
        names << model->fileName(model->index(row, 0, root));
    names.sort();
    return names;
}

QString shownFolder(Composer *composer)
{
    QListView *view = child<QListView>(composer, "listViewFileSelection");
    return files(composer)->filePath(view->rootIndex());
}

bool writeSolid(const QString &path, const QSize &size, const QColor &colour, const char *format = "JPG")
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image.save(path, format, 95);
}

bool writeText(const QString &path, const QByteArray &text = "not a picture\n")
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// Runs statements on the catalogue of the data folder through a connection of its own.
bool editCatalogue(const QStringList &statements)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("catalogue-edit"));
        db.setDatabaseName(KorvexGlobals::SqlDbHost);
        ok = db.open();
        for (const QString &statement : statements) {
            QSqlQuery query(db);
            if (ok && !query.exec(statement)) {
                qWarning("%s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
                ok = false;
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("catalogue-edit"));
    return ok;
}

void choose(QComboBox *combo, const QString &text)
{
    combo->setCurrentIndex(combo->findText(text));
    QMetaObject::invokeMethod(combo, "activated", Qt::DirectConnection, Q_ARG(QString, text));
}

QString newFolder(const QString &parent, const QString &name)
{
    const QString path = parent + QLatin1Char('/') + name;
    QDir().mkpath(path);
    return path;
}

} // namespace

class TestPrintComposer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void formAtStart();
    void textColoursFromTheFirstPaint();
    void browserFilter_data();
    void browserFilter();
    void typedPath_data();
    void typedPath();
    void thumbnailsCarryTheirFile();
    void thumbnailsAcrossFolderSwitches();
    void folderShownAgainGetsItsThumbnails();
    void filesInViewAreReadFirst_data();
    void filesInViewAreReadFirst();
    void thumbnailTooltipShowsNamesAsText();
    void closingMidBatchIsClean();
    void tabFollowsThePage();

    void defaults_data();
    void defaults();
    void defaultsOnAnEmptyCatalogue();

    void cropArea_data();
    void cropArea();
    void addingInCropMode();
    void drop_data();
    void drop();
    void addAllAndSelected();
    void addAllRowsOfMixedPhotos();

    void closingQuestion_data();
    void closingQuestion();
    void avantiWithADeletedFile();
    void saveWithoutUser();
    void savedFields();
    void uploadState_data();
    void uploadState();
    void failedWrite();
    void saveWhileTheQueueSendsIt();
    void orderGoneMeanwhile_data();
    void orderGoneMeanwhile();
    void addAllAndSendReachesTheLaboratory();

private:
    Composer *open(OrdiniLocal::OrdineLocal ordine = OrdiniLocal::OrdineLocal());
    QString folder(const QString &name) { return newFolder(m_fixture->filesFolder(), name); }
    void waitForFolder(Composer *composer, const QString &path, int count);

    std::unique_ptr<EngineFixture> m_fixture;
    std::unique_ptr<ModalAnswerer> m_answerer;
    std::unique_ptr<Composer> m_composer;
};

void TestPrintComposer::initTestCase()
{
    Q_INIT_RESOURCE(application);
    qRegisterMetaType<QList<QFileInfo>>("QList<QFileInfo>");
}

void TestPrintComposer::init()
{
    m_fixture = std::make_unique<EngineFixture>();
    QVERIFY2(m_fixture->isValid(), qPrintable(m_fixture->errorString()));
    KorvexGlobals::ordineUpload = new OrdineUpload(nullptr);
    m_answerer = std::make_unique<ModalAnswerer>();
}

void TestPrintComposer::cleanup()
{
    if (m_composer)
        m_composer->setResult(0);
    m_composer.reset();
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    if (queue && queue->processingUploads()) {
        QSignalSpy stopped(queue, &OrdineUpload::stopProcessingQueue);
        queue->terminateUpload();
        stopped.wait(20000);
    }
    delete queue;
    KorvexGlobals::ordineUpload = nullptr;
    m_answerer.reset();
    m_fixture.reset();
    // The next test has a catalogue of its own.
    KorvexGlobals::db.close();
    KorvexGlobals::db = QSqlDatabase();
}

Composer *TestPrintComposer::open(OrdiniLocal::OrdineLocal ordine)
{
    m_composer = std::make_unique<Composer>(ordine, nullptr);
    m_composer->show();
    // The rows of the order come from a timer that the composer starts when it is made: one
    // started now, as short, fires after it.
    bool filled = false;
    QTimer::singleShot(1, m_composer.get(), [&filled] { filled = true; });
    if (!QTest::qWaitFor([&filled] { return filled; }, 60000))
        qWarning("the composer's form was not filled");
    return m_composer.get();
}

void TestPrintComposer::waitForFolder(Composer *composer, const QString &path, int count)
{
    QTRY_COMPARE_WITH_TIMEOUT(shownFolder(composer), path, 60000);
    QTRY_COMPARE_WITH_TIMEOUT(shownNames(composer).size(), count, 60000);
}

// ---------------------------------------------------------------------------------------------
// Form and browser

void TestPrintComposer::formAtStart()
{
    m_fixture->logout();
    Composer *composer = open();
    QCOMPARE(composer->windowTitle(), QStringLiteral("Invio Stampe Fotografiche"));
    QCOMPARE(child<QStackedWidget>(composer, "pages")->currentIndex(), 0);
    QVERIFY(child<QToolButton>(composer, "toolButtonAvanti")->isVisible());
    QVERIFY(!child<QToolButton>(composer, "toolButtonAvanti")->isEnabled());
    QVERIFY(!child<QToolButton>(composer, "toolButtonSalva")->isVisible());
    QVERIFY(!child<QToolButton>(composer, "toolButtonUpload")->isEnabled());
    QVERIFY(!child<QToolButton>(composer, "toolButtonAddSelected")->isEnabled());
    QVERIFY(!child<QToolButton>(composer, "toolButtonRemoveInvalid")->isVisible());
    QCOMPARE(child<QLabel>(composer, "labelSelectedFiles")->text(), QStringLiteral("Stampe da inviare (0)"));
    QComboBox *fit = child<QComboBox>(composer, "defaultTransformationType");
    QCOMPARE(fit->count(), 2);
    QCOMPARE(fit->itemText(0), QStringLiteral("Adatta"));
    QCOMPARE(fit->currentText(), QStringLiteral("Ritaglia"));
    // The seed catalogue's first paper by name, and its first format by name.
    QCOMPARE(child<QComboBox>(composer, "defaultCarta")->currentText(), QStringLiteral("Lucida"));
    QVERIFY(child<QComboBox>(composer, "defaultFormato")->count() > 0);
    // No desktop folder in the test home: the home folder is shown.
    QTRY_COMPARE(shownFolder(composer), QDir::homePath());
    QCOMPARE(child<QLineEdit>(composer, "lineEditFiltra")->text(), QStringLiteral("Filtra file ..."));
    QCOMPARE(m_answerer->count(), 0);
}

void TestPrintComposer::textColoursFromTheFirstPaint()
{
    Composer *composer = open();
    composer->resize(1100, 720);
    QVERIFY(QTest::qWaitForWindowExposed(composer));
    const struct {
        const char *name;
        QPalette::ColorRole role;
        QColor colour;
    } texts[] = {
        {"labelSelectedFiles", QPalette::WindowText, QColor(170, 0, 0)},
        {"labelDimTotale", QPalette::WindowText, QColor(0, 85, 127)},
        {"label_9", QPalette::WindowText, QColor(0, 85, 127)},
        {"label_10", QPalette::WindowText, QColor(0, 85, 127)},
        {"label_2", QPalette::WindowText, QColor(0, 85, 127)},
        {"labelTopDescription", QPalette::WindowText, QColor(0, 0, 111)},
        {"lineEditFiltra", QPalette::Text, QColor(125, 145, 145)},
    };
    for (const auto &text : texts) {
        QWidget *widget = child<QWidget>(composer, text.name);
        QVERIFY2(widget->palette().color(QPalette::Active, text.role) == text.colour,
                 qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(text.name),
                                                        widget->palette().color(QPalette::Active, text.role).name())));
    }
    QCOMPARE(child<QLineEdit>(composer, "lineEditFiltra")->text(), QStringLiteral("Filtra file ..."));
    // As painted: the count of prints is dark red, not black.
    const QImage count = child<QLabel>(composer, "labelSelectedFiles")->grab().toImage();
    bool red = false;
    for (int y = 0; y < count.height() && !red; ++y) {
        for (int x = 0; x < count.width() && !red; ++x) {
            const QColor pixel = count.pixelColor(x, y);
            red = pixel.red() > 100 && pixel.green() < 60 && pixel.blue() < 60;
        }
    }
    QVERIFY(red);
    saveShot(composer, QStringLiteral("printcomposer-first-page"));
}

void TestPrintComposer::browserFilter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("shown");
    const QStringList all{QStringLiteral("IMG_1.jpg"), QStringLiteral("img_2.JPG"), QStringLiteral("photo.png"),
                          QStringLiteral("scan.Tif"), QStringLiteral("zimg.bmp")};
    QTest::newRow("hint text") << QStringLiteral("Filtra file ...") << all;
    QTest::newRow("empty") << QString() << all;
    QTest::newRow("IMG, any case") << QStringLiteral("IMG")
                                   << QStringList{QStringLiteral("IMG_1.jpg"), QStringLiteral("img_2.JPG"),
                                                  QStringLiteral("zimg.bmp")};
    QTest::newRow("*IMG") << QStringLiteral("*IMG")
                          << QStringList{QStringLiteral("IMG_1.jpg"), QStringLiteral("img_2.JPG"),
                                         QStringLiteral("zimg.bmp")};
    QTest::newRow("wildcard kept") << QStringLiteral("img_?") << QStringList{QStringLiteral("IMG_1.jpg"),
                                                                               QStringLiteral("img_2.JPG")};
    QTest::newRow("notes") << QStringLiteral("notes") << QStringList();
    QTest::newRow("no match") << QStringLiteral("xyz") << QStringList();
}

void TestPrintComposer::browserFilter()
{
    QFETCH(QString, text);
    QFETCH(QStringList, shown);
    const QString dir = folder(QStringLiteral("filter"));
    for (const QString &name : {QStringLiteral("IMG_1.jpg"), QStringLiteral("img_2.JPG"), QStringLiteral("photo.png"),
                                QStringLiteral("scan.Tif"), QStringLiteral("zimg.bmp")})
        QVERIFY(writeSolid(dir + QLatin1Char('/') + name, QSize(40, 30), Qt::red, "PNG"));
    QVERIFY(writeText(dir + QStringLiteral("/notes.txt")));
    newFolder(dir, QStringLiteral("IMG_folder.jpg"));

    Composer *composer = open();
    composer->setRootPath(dir);
    waitForFolder(composer, dir, 5);
    QLineEdit *filter = child<QLineEdit>(composer, "lineEditFiltra");
    filter->setFocus();
    QTRY_VERIFY(filter->text().isEmpty());
    QVERIFY(!filter->font().italic());
    filter->setText(text);
    QTRY_COMPARE(shownNames(composer), shown);
    QCOMPARE(shownFolder(composer), dir);
}

void TestPrintComposer::typedPath_data()
{
    QTest::addColumn<QString>("typed");        // relative to the files folder; "@" = as it stands
    QTest::addColumn<QString>("expected");     // folder shown afterwards, relative likewise
    QTest::addColumn<bool>("message");
    QTest::addColumn<bool>("filterKept");
    QTest::newRow("another folder") << QStringLiteral("other") << QStringLiteral("other") << false << false;
    QTest::newRow("the same folder") << QStringLiteral("start") << QStringLiteral("start") << false << true;
    QTest::newRow("relative") << QStringLiteral("@other") << QStringLiteral("other") << false << false;
    QTest::newRow("empty: current directory") << QStringLiteral("@") << QStringLiteral("") << false << false;
    QTest::newRow("a file") << QStringLiteral("start/a.png") << QStringLiteral("start") << true << true;
    QTest::newRow("missing") << QStringLiteral("missing") << QStringLiteral("start") << true << true;
}

void TestPrintComposer::typedPath()
{
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QFETCH(bool, message);
    QFETCH(bool, filterKept);
    const QString base = m_fixture->filesFolder();
    const QString start = folder(QStringLiteral("start"));
    const QString other = folder(QStringLiteral("other"));
    QVERIFY(writeSolid(start + QStringLiteral("/a.png"), QSize(20, 20), Qt::blue, "PNG"));
    QVERIFY(writeSolid(start + QStringLiteral("/b.png"), QSize(20, 20), Qt::blue, "PNG"));
    QVERIFY(writeSolid(other + QStringLiteral("/c.png"), QSize(20, 20), Qt::blue, "PNG"));
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(base);

    Composer *composer = open();
    composer->setRootPath(start);
    waitForFolder(composer, start, 2);
    QLineEdit *filter = child<QLineEdit>(composer, "lineEditFiltra");
    filter->setFocus();
    QTRY_VERIFY(filter->text().isEmpty());
    filter->setText(QStringLiteral("a"));
    QTRY_COMPARE(shownNames(composer), QStringList{QStringLiteral("a.png")});

    QLineEdit *path = child<QLineEdit>(composer, "lineEditCurrentPath");
    path->setText(typed.startsWith(QLatin1Char('@')) ? typed.mid(1) : base + QLatin1Char('/') + typed);
    if (message)
        m_answerer->answer(QMessageBox::Ok);
    QTest::keyClick(path, Qt::Key_Return);
    QDir::setCurrent(oldCwd);

    const QString expectedPath = expected.isEmpty() ? base : base + QLatin1Char('/') + expected;
    QTRY_COMPARE(shownFolder(composer), expectedPath);
    QCOMPARE(m_answerer->count(), message ? 1 : 0);
    if (message) {
        QCOMPARE(m_answerer->last().title, QStringLiteral("Esplora risorse"));
        QVERIFY(m_answerer->last().text.contains(path->text()));
        QCOMPARE(path->text().isEmpty(), false);
    }
    QCOMPARE(filter->text(), filterKept ? QStringLiteral("a") : QStringLiteral("Filtra file ..."));
    if (!filterKept)
        QVERIFY(filter->font().italic());
}

void TestPrintComposer::thumbnailsCarryTheirFile()
{
    const QString dir = folder(QStringLiteral("colours"));
    const QString away = folder(QStringLiteral("away"));
    QVERIFY(writeSolid(away + QStringLiteral("/z.png"), QSize(30, 30), Qt::black, "PNG"));
    QList<QColor> colours;
    for (int i = 0; i < 24; ++i) {
        const QColor colour = QColor::fromHsv((i * 15) % 360, 255, 60 + (i * 8) % 190);
        colours << colour;
        QVERIFY(writeSolid(dir + QStringLiteral("/c%1.jpg").arg(i, 2, 10, QLatin1Char('0')), QSize(900, 700), colour));
    }
    // A cut JPEG and a text file named like one keep the placeholder.
    QByteArray jpeg = TestImages::jpegBytes(TestImages::photoLike(QSize(800, 600)));
    QVERIFY(TestImages::writeFile(dir + QStringLiteral("/truncated.jpg"), jpeg.left(300)));
    QVERIFY(writeText(dir + QStringLiteral("/x.jpg")));

    Composer *composer = open();
    FileModel *model = files(composer);
    composer->setRootPath(dir);
    waitForFolder(composer, dir, 26);
    // Away and back while the batch runs.
    composer->setRootPath(away);
    composer->setRootPath(dir);
    waitForFolder(composer, dir, 26);
    QTRY_VERIFY_WITH_TIMEOUT(FileModel::m_images.size() == 26 && !model->isLoadingThumbs(), 60000);

    const QImage placeholder = QIcon(QStringLiteral(":/Resource/256x256/photo.png")).pixmap(64, 64).toImage();
    for (int i = 0; i < colours.size(); ++i) {
        const QString path = dir + QStringLiteral("/c%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
        const QImage thumb = FileModel::m_images.value(path);
        QVERIFY2(!thumb.isNull(), qPrintable(path));
        QVERIFY2(TestImages::colourDistance(thumb.pixel(thumb.width() / 2, thumb.height() / 2), colours.at(i).rgb()) < 12,
                 qPrintable(path));
        const QIcon icon = model->data(model->index(path, 0), Qt::DecorationRole).value<QIcon>();
        const QImage shown = icon.pixmap(64, 64).toImage();
        QVERIFY(TestImages::colourDistance(shown.pixel(shown.width() / 2, shown.height() / 2), colours.at(i).rgb()) < 12);
    }
    for (const QString &bad : {QStringLiteral("truncated.jpg"), QStringLiteral("x.jpg")}) {
        const QString path = dir + QLatin1Char('/') + bad;
        QVERIFY2(FileModel::m_images.contains(path) && FileModel::m_images.value(path).isNull(), qPrintable(bad));
        const QImage shown = model->data(model->index(path, 0), Qt::DecorationRole).value<QIcon>().pixmap(64, 64).toImage();
        QCOMPARE(shown, placeholder);
    }
    saveShot(composer, QStringLiteral("printcomposer-browser"));
}

// Two folders whose files have the same names and other colours, left and re-entered many
// times while their batches run: every thumbnail shows its own file.
void TestPrintComposer::thumbnailsAcrossFolderSwitches()
{
    const QString a = folder(QStringLiteral("switch-a"));
    const QString b = folder(QStringLiteral("switch-b"));
    auto colourOf = [](int folderIndex, int i) { return QColor::fromHsv((i * 29 + folderIndex * 170) % 360, 255, 200); };
    for (int i = 0; i < 16; ++i) {
        QVERIFY(writeSolid(QStringLiteral("%1/p%2.jpg").arg(a).arg(i), QSize(1200, 900), colourOf(0, i)));
        QVERIFY(writeSolid(QStringLiteral("%1/p%2.jpg").arg(b).arg(i), QSize(1200, 900), colourOf(1, i)));
    }
    Composer *composer = open();
    for (int round = 0; round < 12; ++round) {
        composer->setRootPath(round % 2 ? b : a);
        QTest::qWait((round * 7) % 40);
    }
    composer->setRootPath(b);
    waitForFolder(composer, b, 16);
    QTRY_VERIFY_WITH_TIMEOUT(FileModel::m_images.size() == 16 && !files(composer)->isLoadingThumbs(), 60000);
    for (auto it = FileModel::m_images.constBegin(); it != FileModel::m_images.constEnd(); ++it) {
        QVERIFY2(it.key().startsWith(b + QLatin1Char('/')), qPrintable(it.key()));
        const int i = QFileInfo(it.key()).completeBaseName().mid(1).toInt();
        const QImage &thumb = it.value();
        QVERIFY2(!thumb.isNull(), qPrintable(it.key()));
        QVERIFY2(TestImages::colourDistance(thumb.pixel(thumb.width() / 2, thumb.height() / 2), colourOf(1, i).rgb()) < 12,
                 qPrintable(it.key()));
    }
}

// A folder shown again after another, with no batch running any more, has its thumbnails
// read again (the cache holds one folder's).
void TestPrintComposer::folderShownAgainGetsItsThumbnails()
{
    const QString a = folder(QStringLiteral("again-a"));
    const QString b = folder(QStringLiteral("again-b"));
    for (int i = 0; i < 6; ++i) {
        QVERIFY(writeSolid(QStringLiteral("%1/p%2.jpg").arg(a).arg(i), QSize(800, 600), Qt::red));
        QVERIFY(writeSolid(QStringLiteral("%1/q%2.jpg").arg(b).arg(i), QSize(800, 600), Qt::blue));
    }
    Composer *composer = open();
    FileModel *model = files(composer);
    for (const QString &dir : {a, b, a}) {
        composer->setRootPath(dir);
        waitForFolder(composer, dir, 6);
        QTRY_VERIFY_WITH_TIMEOUT(FileModel::m_images.size() == 6 && !model->isLoadingThumbs(), 60000);
        for (auto it = FileModel::m_images.constBegin(); it != FileModel::m_images.constEnd(); ++it)
            QVERIFY2(it.key().startsWith(dir + QLatin1Char('/')) && !it.value().isNull(), qPrintable(it.key()));
    }
}

// Opening a folder reads the thumbnails of the files in view before any other file of the
// folder, and reads each file once: the files in view are worked out once the folder is in
// order, with all the columns the view shows, and no batch of the whole folder runs ahead of
// them or cancels them with its reads half done. A read is an open of the file, as the system
// reports it.
void TestPrintComposer::filesInViewAreReadFirst_data()
{
    QTest::addColumn<bool>("fromABusyFolder");
    QTest::newRow("from an empty folder") << false;
    QTest::newRow("from a folder whose batch runs") << true;
}

void TestPrintComposer::filesInViewAreReadFirst()
{
    QFETCH(bool, fromABusyFolder);
    const QString before = folder(QStringLiteral("before"));
    const QString dir = folder(QStringLiteral("many"));
    // Names whose listing order is not their sorted order, so that the first rows listed are
    // not the first rows shown.
    const int count = 48;
    const QByteArray jpeg = TestImages::jpegBytes(TestImages::photoLike(QSize(1600, 1200)));
    for (int i = 0; i < count; ++i)
        QVERIFY(TestImages::writeFile(QStringLiteral("%1/p%2.jpg").arg(dir).arg((i * 37) % count, 2, 10, QLatin1Char('0')), jpeg));
    const int busy = fromABusyFolder ? 4 * count : 0;
    const QString first = before + QStringLiteral("/b0.jpg");
    for (int i = 0; i < busy; ++i) {
        QVERIFY(i > 0 ? ::link(QFile::encodeName(first).constData(), QFile::encodeName(before + QStringLiteral("/b%1.jpg").arg(i)).constData()) == 0
                      : TestImages::writeFile(first, jpeg));
    }
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    const auto closeWatch = qScopeGuard([watch] { ::close(watch); });
    QVERIFY(inotify_add_watch(watch, QFile::encodeName(dir).constData(), IN_OPEN) >= 0);

    Composer *composer = open();
    QListView *view = child<QListView>(composer, "listViewFileSelection");
    FileModel *model = files(composer);
    QVERIFY(QTest::qWaitForWindowExposed(composer));
    composer->setRootPath(before);
    waitForFolder(composer, before, busy);
    // Left as soon as its reads have begun.
    if (busy > 0)
        QTRY_VERIFY_WITH_TIMEOUT(!FileModel::m_images.isEmpty(), 60000);
    // The folder is put in order in a later turn of the event loop than the one that took its
    // listing in (on a large folder each is long work): a timer that fires on every turn ticks
    // between the two.
    int turns = 0;
    int turnsAtListing = -1;
    int turnsAtOrder = -1;
    QTimer everyTurn;
    everyTurn.setInterval(0);
    connect(&everyTurn, &QTimer::timeout, [&turns] { ++turns; });
    connect(model, &QFileSystemModel::directoryLoaded, &everyTurn, [&](const QString &path) {
        if (QDir(path) == QDir(dir))
            turnsAtListing = turns;
    });
    connect(model, &FileModel::folderListed, &everyTurn, [&](const QString &path) {
        if (QDir(path) == QDir(dir))
            turnsAtOrder = turns;
    });
    everyTurn.start();
    composer->setRootPath(dir);
    waitForFolder(composer, dir, count);
    QTRY_VERIFY_WITH_TIMEOUT(FileModel::m_images.size() == count && !model->isLoadingThumbs(), 60000);
    everyTurn.stop();
    QVERIFY(turnsAtListing >= 0);
    QVERIFY2(turnsAtOrder > turnsAtListing, qPrintable(QStringLiteral("%1 %2").arg(turnsAtListing).arg(turnsAtOrder)));

    QStringList inView;
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < model->rowCount(root); ++row) {
        const QModelIndex index = model->index(row, 0, root);
        if (view->visualRect(index).intersects(view->viewport()->rect()))
            inView << model->fileName(index);
    }
    QVERIFY(!inView.isEmpty() && inView.size() < count);
    QStringList opened;
    alignas(inotify_event) char buffer[64 * 1024];
    for (ssize_t got; (got = ::read(watch, buffer, sizeof buffer)) > 0;) {
        for (char *at = buffer; at < buffer + got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(at);
            if (event->len > 0)
                opened << QFile::decodeName(event->name);
            at += sizeof(inotify_event) + event->len;
        }
    }
    QStringList readFirst = opened.mid(0, inView.size());
    readFirst.sort();
    inView.sort();
    QCOMPARE(readFirst, inView);
    QStringList once = opened;
    once.removeDuplicates();
    QCOMPARE(opened.size(), once.size());
    QCOMPARE(opened.size(), count);
}

void TestPrintComposer::thumbnailTooltipShowsNamesAsText()
{
    const QString dir = folder(QStringLiteral("a<b>&c"));
    const QString name = QStringLiteral("a%2<b>.jpg");
    QVERIFY(writeSolid(dir + QLatin1Char('/') + name, QSize(20, 20), Qt::green));
    Composer *composer = open();
    composer->setRootPath(dir);
    waitForFolder(composer, dir, 1);
    FileModel *model = files(composer);
    const QModelIndex index = model->index(dir + QLatin1Char('/') + name, 0);
    const QString tip = model->data(index, Qt::ToolTipRole).toString();
    QVERIFY2(tip.contains(QStringLiteral(": a%2&lt;b&gt;.jpg<br />")), qPrintable(tip));
    QVERIFY2(tip.contains(QStringLiteral("a&lt;b&gt;&amp;c/a%2&lt;b&gt;.jpg")), qPrintable(tip));
    const quint64 size = quint64(QFileInfo(dir + QLatin1Char('/') + name).size());
    QVERIFY2(tip.endsWith(QStringLiteral("</i>: ") + KorvexGlobals::fileSizeToString(size)), qPrintable(tip));
    QCOMPARE(model->data(model->index(index.row(), 1, index.parent()), Qt::ToolTipRole).toString(), tip);

    QFile::remove(dir + QLatin1Char('/') + name);
    const QString gone = model->data(index, Qt::ToolTipRole).toString();
    QVERIFY2(gone.startsWith(QStringLiteral("<h4>Il file non esiste, fai doppio click per sostituirlo</h4>")), qPrintable(gone));
    QVERIFY(gone.endsWith(QStringLiteral(": --")));
}

void TestPrintComposer::closingMidBatchIsClean()
{
    // A PNG is decoded whole: many of them keep the pool busy for a while.
    const QString dir = folder(QStringLiteral("big"));
    const QString first = dir + QStringLiteral("/p0.png");
    QVERIFY(TestImages::photoLike(QSize(2400, 1600)).save(first));
    for (int i = 1; i < 80; ++i)
        QVERIFY(::link(QFile::encodeName(first).constData(), QFile::encodeName(dir + QStringLiteral("/p%1.png").arg(i)).constData()) == 0);
    // Closed while the batch runs, the composer goes cleanly. (That it waits only for the jobs
    // already running, not for the whole batch, is a matter of time that a busy machine cannot
    // tell apart: not checked.)
    for (int round = 0; round < 3; ++round) {
        Composer *composer = open();
        composer->setRootPath(dir);
        QTRY_VERIFY_WITH_TIMEOUT(files(composer)->isLoadingThumbs(), 60000);
        m_composer.reset();
    }
    QTest::qWait(50);
}

// ---------------------------------------------------------------------------------------------
// Default print settings

void TestPrintComposer::defaults_data()
{
    QTest::addColumn<QString>("paperBefore");
    QTest::addColumn<QString>("formatBefore");
    QTest::addColumn<QString>("paper");
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("idStampa");
    QTest::newRow("A/F1, B: first of B") << "A" << "F1" << "B" << "F2" << 3;
    QTest::newRow("A/F2, B: F2 kept") << "A" << "F2" << "B" << "F2" << 3;
    QTest::newRow("B/F3, A: first of A") << "B" << "F3" << "A" << "F1" << 1;
    QTest::newRow("B/F2, A: F2 kept") << "B" << "F2" << "A" << "F2" << 2;
    QTest::newRow("A/F2, A again") << "A" << "F2" << "A" << "F2" << 2;
    // Two formats named F2: the lower id is the one used, whichever item is current.
    QTest::newRow("twin name") << "B" << "F2" << "B" << "F2" << 3;
}

void TestPrintComposer::defaults()
{
    QFETCH(QString, paperBefore);
    QFETCH(QString, formatBefore);
    QFETCH(QString, paper);
    QFETCH(QString, format);
    QFETCH(int, idStampa);
    QVERIFY(editCatalogue({
        QStringLiteral("DELETE FROM stampe"), QStringLiteral("DELETE FROM formati"), QStringLiteral("DELETE FROM carte"),
        QStringLiteral("INSERT INTO carte VALUES (1, 'CA', 'A')"), QStringLiteral("INSERT INTO carte VALUES (2, 'CB', 'B')"),
        QStringLiteral("INSERT INTO formati VALUES (1, 'F1', 'F1', 1200, 1800, 300)"),
        QStringLiteral("INSERT INTO formati VALUES (2, 'F2', 'F2', 1500, 1000, 300)"),
        QStringLiteral("INSERT INTO formati VALUES (3, 'F3', 'F3', 1000, 1000, 300)"),
        QStringLiteral("INSERT INTO formati VALUES (4, 'F2B', 'F2', 900, 600, 300)"),
        QStringLiteral("INSERT INTO stampe VALUES (1, 'S1', 1, 1, 'F1 A', 'F1 su A', 1.0)"),
        QStringLiteral("INSERT INTO stampe VALUES (2, 'S2', 2, 1, 'F2 A', 'F2 su A', 2.0)"),
        QStringLiteral("INSERT INTO stampe VALUES (3, 'S3', 2, 2, 'F2 B', 'F2 su B', 3.0)"),
        QStringLiteral("INSERT INTO stampe VALUES (4, 'S4', 3, 2, 'F3 B', 'F3 su B', 4.0)"),
        QStringLiteral("INSERT INTO stampe VALUES (5, 'S5', 4, 2, 'F2bis B', 'F2 bis su B', 5.0)"),
    }));
    const QString image = m_fixture->photo(QStringLiteral("d.jpg"), QSize(600, 400));

    Composer *composer = open();
    QComboBox *carta = child<QComboBox>(composer, "defaultCarta");
    QComboBox *formato = child<QComboBox>(composer, "defaultFormato");
    QCOMPARE(carta->currentText(), QStringLiteral("A"));
    QCOMPARE(formato->currentText(), QStringLiteral("F1"));
    choose(carta, paperBefore);
    if (QTest::currentDataTag() == QByteArray("twin name")) {
        // B offers F2 twice (ids 2 and 4): pick the second item of that name.
        QCOMPARE(formato->count(), 3);
        formato->setCurrentIndex(formato->findText(QStringLiteral("F2")) + 1);
        QMetaObject::invokeMethod(formato, "activated", Qt::DirectConnection, Q_ARG(QString, QStringLiteral("F2")));
    } else {
        choose(formato, formatBefore);
    }
    QCOMPARE(formato->currentText(), formatBefore);
    if (QTest::currentDataTag() != QByteArray("twin name"))
        choose(carta, paper);
    QCOMPARE(carta->currentText(), paper);
    QCOMPARE(formato->currentText(), format);

    composer->dropFromFileSystem({QFileInfo(image)});
    QCOMPARE(m_answerer->count(), 0);
    QCOMPARE(prints(composer)->rowCount(), 1);
    const OrdiniLocal::OrdineRigaStampaLocal riga = prints(composer)->stampe().constFirst();
    QCOMPARE(riga.IdStampa, idStampa);
    QCOMPARE(riga.Codice, QStringLiteral("S%1").arg(idStampa));
    QCOMPARE(riga.CartaDesc, paper);
    QCOMPARE(riga.FormatoDesc, format);

    // Changing the defaults leaves the prints in the list as they are.
    choose(carta, paper == QLatin1String("A") ? QStringLiteral("B") : QStringLiteral("A"));
    QCOMPARE(prints(composer)->stampe().constFirst().IdStampa, idStampa);
}

void TestPrintComposer::defaultsOnAnEmptyCatalogue()
{
    QVERIFY(editCatalogue({QStringLiteral("DELETE FROM stampe")}));
    const QString a = m_fixture->photo(QStringLiteral("e1.jpg"), QSize(300, 200));
    const QString b = m_fixture->photo(QStringLiteral("e2.jpg"), QSize(300, 200));
    Composer *composer = open();
    QCOMPARE(child<QComboBox>(composer, "defaultCarta")->count(), 0);
    QCOMPARE(child<QComboBox>(composer, "defaultFormato")->count(), 0);
    m_answerer->answer(QMessageBox::Ok);
    m_answerer->answer(QMessageBox::Ok);
    composer->dropFromFileSystem({QFileInfo(a), QFileInfo(b)});
    QCOMPARE(m_answerer->count(), 2);
    QCOMPARE(m_answerer->last().title, QStringLiteral("Selezionare le impostazioni di stampa"));
    QCOMPARE(prints(composer)->rowCount(), 0);
}

// ---------------------------------------------------------------------------------------------
// Adding prints

void TestPrintComposer::cropArea_data()
{
    QTest::addColumn<QString>("kind");   // "jpeg", "exif6" (stored turned, upright size given), "text"
    QTest::addColumn<QSize>("image");
    QTest::addColumn<int>("idStampa");
    QTest::addColumn<QRectF>("crop");
    // Products added to the catalogue: 101 = 1500 x 1000, 102 = 1000 x 1000, 103 = 2400 x 1800.
    QTest::newRow("landscape on landscape") << "jpeg" << QSize(4000, 3000) << 101 << QRectF(0, 166, 4000, 2667);
    QTest::newRow("portrait on landscape") << "jpeg" << QSize(3000, 4000) << 101 << QRectF(166, 0, 2667, 4000);
    QTest::newRow("square print") << "jpeg" << QSize(4000, 3000) << 102 << QRectF(500, 0, 3000, 3000);
    QTest::newRow("camera size") << "jpeg" << QSize(5184, 3456) << 103 << QRectF(288, 0, 4608, 3456);
    QTest::newRow("turned by EXIF") << "exif6" << QSize(3000, 4000) << 101 << QRectF(166, 0, 2667, 4000);
    QTest::newRow("size unreadable") << "text" << QSize() << 101 << QRectF(0, 0, 0, 0);
}

void TestPrintComposer::cropArea()
{
    QFETCH(QString, kind);
    QFETCH(QSize, image);
    QFETCH(int, idStampa);
    QFETCH(QRectF, crop);
    QVERIFY(editCatalogue({
        QStringLiteral("INSERT INTO formati VALUES (101, 'P1', 'P 1500', 1500, 1000, 300)"),
        QStringLiteral("INSERT INTO formati VALUES (102, 'P2', 'P 1000', 1000, 1000, 300)"),
        QStringLiteral("INSERT INTO formati VALUES (103, 'P3', 'P 2400', 2400, 1800, 300)"),
        QStringLiteral("INSERT INTO stampe VALUES (101, 'S101', 101, 1, 'a', 'a', 1.0)"),
        QStringLiteral("INSERT INTO stampe VALUES (102, 'S102', 102, 1, 'b', 'b', 1.0)"),
        QStringLiteral("INSERT INTO stampe VALUES (103, 'S103', 103, 1, 'c', 'c', 1.0)"),
    }));
    const QString path = m_fixture->filesFolder() + QStringLiteral("/crop.jpg");
    if (kind == QLatin1String("jpeg"))
        QVERIFY(writeSolid(path, image, Qt::gray));
    else if (kind == QLatin1String("exif6"))
        QVERIFY(TestImages::writeJpegTurnedWithOrientation6(path, TestImages::quadrants(image)));
    else
        QVERIFY(writeText(path));

    Composer *composer = open();
    OrdiniLocal::OrdineRigaStampaLocal riga = EngineFixture::printRow(path, idStampa, 2);
    QCOMPARE(composer->recalculateCropArea(riga), crop);
}

void TestPrintComposer::addingInCropMode()
{
    const QString landscape = folder(QStringLiteral("fit")) + QStringLiteral("/l.jpg");
    QVERIFY(writeSolid(landscape, QSize(2000, 1000), Qt::gray));
    Composer *composer = open();
    // Seed catalogue, first paper and first of its formats by name: 10 x 15 on Lucida, 1181 x 1772.
    QCOMPARE(child<QComboBox>(composer, "defaultFormato")->currentText(), QStringLiteral("10 x 15"));
    child<QSpinBox>(composer, "defaultQta")->setValue(3);
    composer->dropFromFileSystem({QFileInfo(landscape)});
    QComboBox *fit = child<QComboBox>(composer, "defaultTransformationType");
    fit->setCurrentIndex(0);
    composer->dropFromFileSystem({QFileInfo(landscape)});
    const auto rows = prints(composer)->stampe();
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0).FilePath, rows.at(1).FilePath);
    QCOMPARE(rows.at(0).Transformation.Type, 2);
    // 1181 x 1772 turned to the landscape image: 1772 x 1181 in 2000 x 1000.
    QCOMPARE(rows.at(0).Transformation.CropRect, QRectF(250, 0, 1500, 1000));
    QCOMPARE(rows.at(1).Transformation.Type, 1);
    QCOMPARE(rows.at(1).Transformation.CropRect, QRectF(0, 0, 0, 0));
    for (const auto &riga : rows) {
        QCOMPARE(riga.Qta, 3);
        QCOMPARE(riga.IdStampa, 3);
        QCOMPARE(riga.Codice, QStringLiteral("ST1015L"));
        QCOMPARE(riga.FormatoDesc, QStringLiteral("10 x 15"));
        QCOMPARE(riga.CartaDesc, QStringLiteral("Lucida"));
        QCOMPARE(riga.FileSize, QFileInfo(landscape).size());
        QCOMPARE(riga.TipoRiga, 2);
        QVERIFY(!riga.Inviata);
    }
}

void TestPrintComposer::drop_data()
{
    QTest::addColumn<QStringList>("entries");  // names in the drop folder; "dir" = the folder itself
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("warnings");
    QTest::newRow("folder: images, a text, a subfolder") << QStringList{"dir"} << 3 << 0;
    QTest::newRow("bad file first") << QStringList{"bad.jpg", "i1.jpg", "i2.png"} << 0 << 1;
    QTest::newRow("bad file last") << QStringList{"i1.jpg", "i2.png", "bad.jpg"} << 2 << 1;
    QTest::newRow("folder then bad file") << QStringList{"dir", "bad.jpg", "i1.jpg"} << 3 << 1;
    QTest::newRow("same file twice") << QStringList{"i1.jpg", "i1.jpg"} << 2 << 0;
    QTest::newRow("nothing") << QStringList{} << 0 << 0;
}

void TestPrintComposer::drop()
{
    QFETCH(QStringList, entries);
    QFETCH(int, rows);
    QFETCH(int, warnings);
    const QString dir = folder(QStringLiteral("drop"));
    QVERIFY(writeSolid(dir + QStringLiteral("/i1.jpg"), QSize(300, 200), Qt::red));
    QVERIFY(writeSolid(dir + QStringLiteral("/i2.png"), QSize(200, 300), Qt::green, "PNG"));
    QVERIFY(writeSolid(dir + QStringLiteral("/i3.bmp"), QSize(200, 200), Qt::blue, "BMP"));
    QVERIFY(writeText(dir + QStringLiteral("/bad.jpg")));
    const QString sub = newFolder(dir, QStringLiteral("sub"));
    QVERIFY(writeSolid(sub + QStringLiteral("/s.jpg"), QSize(100, 100), Qt::red));

    Composer *composer = open();
    QList<QFileInfo> dropped;
    for (const QString &entry : entries)
        dropped << QFileInfo(entry == QLatin1String("dir") ? dir : dir + QLatin1Char('/') + entry);
    for (int i = 0; i < warnings; ++i)
        m_answerer->answer(QMessageBox::Ok);
    composer->dropFromFileSystem(dropped);
    QCOMPARE(m_answerer->count(), warnings);
    if (warnings) {
        QCOMPARE(m_answerer->last().title, QStringLiteral("Errore Inserimento Stampa"));
        QCOMPARE(m_answerer->last().text, QStringLiteral("Formato file non valido, impossibile aprire il file"));
    }
    QCOMPARE(prints(composer)->rowCount(), rows);
    for (const auto &riga : prints(composer)->stampe())
        QVERIFY2(!riga.FilePath.startsWith(sub), qPrintable(riga.FilePath));
    QCOMPARE(child<QLabel>(composer, "labelSelectedFiles")->text(), QStringLiteral("Stampe da inviare (%1)").arg(rows));
    QCOMPARE(child<QLabel>(composer, "labelDimTotale")->text(),
             QStringLiteral("Dimensione totale: %1").arg(KorvexGlobals::fileSizeToString(quint64(prints(composer)->totalFilesSize()))));
    QCOMPARE(child<QToolButton>(composer, "toolButtonAvanti")->isEnabled(), rows > 0);
}

void TestPrintComposer::addAllAndSelected()
{
    const QString dir = folder(QStringLiteral("all"));
    for (int i = 0; i < 4; ++i)
        QVERIFY(writeSolid(dir + QStringLiteral("/a%1.jpg").arg(i), QSize(300, 200), Qt::red));
    const QString empty = folder(QStringLiteral("empty"));
    Composer *composer = open();
    QToolButton *addAll = child<QToolButton>(composer, "toolButtonAddAll");
    QToolButton *addSelected = child<QToolButton>(composer, "toolButtonAddSelected");

    composer->setRootPath(empty);
    QTRY_COMPARE(shownFolder(composer), empty);
    QTest::qWait(100);
    // Close would ask now if the empty add had marked the order as changed.
    addAll->click();
    QCOMPARE(prints(composer)->rowCount(), 0);

    composer->setRootPath(dir);
    waitForFolder(composer, dir, 4);
    QListView *view = child<QListView>(composer, "listViewFileSelection");
    view->selectionModel()->select(files(composer)->index(dir + QStringLiteral("/a2.jpg"), 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QVERIFY(addSelected->isEnabled());
    addSelected->click();
    QCOMPARE(prints(composer)->rowCount(), 1);
    QCOMPARE(prints(composer)->stampe().constFirst().FilePath, dir + QStringLiteral("/a2.jpg"));
    addAll->click();
    QCOMPARE(prints(composer)->rowCount(), 5);
    QVERIFY(view->selectionModel()->selectedRows().isEmpty());
    QVERIFY(!addSelected->isEnabled());

    // A right-button double click adds nothing, a left one adds the selection.
    view->selectionModel()->select(files(composer)->index(dir + QStringLiteral("/a0.jpg"), 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const QPoint at = view->visualRect(files(composer)->index(dir + QStringLiteral("/a0.jpg"), 0)).center();
    QTest::mouseDClick(view->viewport(), Qt::RightButton, Qt::NoModifier, at);
    QCOMPARE(prints(composer)->rowCount(), 5);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(prints(composer)->rowCount(), 6);
    saveShot(composer, QStringLiteral("printcomposer-prints"));
}

// "Aggiungi tutti" on a folder of mixed photos gives these rows, field by field: the rows were
// recorded from the one-file-at-a-time add that came before the batch reads its product once.
// Three batches: crop mode with the sizes read from the files, crop mode again with the sizes
// known to the print list, fit mode. The text file named as a picture stops each batch last.
void TestPrintComposer::addAllRowsOfMixedPhotos()
{
    const QString dir = folder(QStringLiteral("mixed"));
    QVERIFY(writeSolid(dir + QStringLiteral("/a-landscape.jpg"), QSize(1200, 900), Qt::red));
    QVERIFY(writeSolid(dir + QStringLiteral("/b-portrait.jpg"), QSize(900, 1200), Qt::green));
    QVERIFY(writeSolid(dir + QStringLiteral("/c-square.png"), QSize(1000, 1000), Qt::blue, "PNG"));
    QVERIFY(TestImages::writeJpegTurnedWithOrientation6(dir + QStringLiteral("/d-turned.jpg"),
                                                       TestImages::quadrants(QSize(800, 1200))));
    QVERIFY(writeSolid(dir + QStringLiteral("/e-wide.bmp"), QSize(1500, 500), Qt::gray, "BMP"));
    QVERIFY(writeText(dir + QStringLiteral("/z-notes.jpg")));
    const struct {
        const char *name;
        QRectF crop;
    } photos[] = {
        {"a-landscape.jpg", QRectF(0, 50, 1200, 800)},
        {"b-portrait.jpg", QRectF(50, 0, 800, 1200)},
        {"c-square.png", QRectF(167, 0, 666, 1000)},
        {"d-turned.jpg", QRectF(0, 0, 800, 1200)},
        {"e-wide.bmp", QRectF(375, 0, 750, 500)},
    };

    Composer *composer = open();
    child<QSpinBox>(composer, "defaultQta")->setValue(2);
    composer->setRootPath(dir);
    waitForFolder(composer, dir, 6);
    // The browser lists the folder by name once it has sorted it: the text file comes last.
    const auto browserOrder = [composer] {
        QListView *view = child<QListView>(composer, "listViewFileSelection");
        QStringList names;
        for (int row = 0; row < files(composer)->rowCount(view->rootIndex()); ++row)
            names << files(composer)->fileName(files(composer)->index(row, 0, view->rootIndex()));
        return names;
    };
    QTRY_COMPARE(browserOrder(), shownNames(composer));
    QToolButton *addAll = child<QToolButton>(composer, "toolButtonAddAll");
    for (int batch = 0; batch < 3; ++batch) {
        // The sizes the print list keeps from its thumbnails: given here, so that the batch
        // does not depend on when the pool delivers them.
        if (batch == 1) {
            for (const auto &photo : photos) {
                const QString path = dir + QLatin1Char('/') + QLatin1String(photo.name);
                PrintModel::fileSizes.insert(path, imageUtility::getImageSize(path));
            }
        }
        if (batch == 2)
            child<QComboBox>(composer, "defaultTransformationType")->setCurrentIndex(0);
        m_answerer->answer(QMessageBox::Ok);
        addAll->click();
        QCOMPARE(m_answerer->count(), batch + 1);
        QCOMPARE(m_answerer->last().title, QStringLiteral("Errore"));
    }

    const auto rows = prints(composer)->stampe();
    QCOMPARE(rows.size(), 15);
    for (int i = 0; i < rows.size(); ++i) {
        const auto &riga = rows.at(i);
        const auto &photo = photos[i % 5];
        const bool crop = i < 10;
        const QString path = dir + QLatin1Char('/') + QLatin1String(photo.name);
        QCOMPARE(riga.FilePath, path);
        QCOMPARE(riga.FileSize, QFileInfo(path).size());
        QCOMPARE(riga.IdStampa, 3);
        QCOMPARE(riga.Codice, QStringLiteral("ST1015L"));
        QCOMPARE(riga.FormatoDesc, QStringLiteral("10 x 15"));
        QCOMPARE(riga.CartaDesc, QStringLiteral("Lucida"));
        QCOMPARE(riga.Qta, 2);
        QCOMPARE(riga.TipoRiga, 2);
        QCOMPARE(riga.Transformation.Type, crop ? 2 : 1);
        QCOMPARE(riga.Transformation.CropRect, crop ? photo.crop : QRectF(0, 0, 0, 0));
        QVERIFY(!riga.Inviata);
        QVERIFY(riga.WsFileId.isEmpty());
    }
}

// Tab goes over the page as it reads, from the top left to the bottom right: the folder side,
// then the prints with every button above them, then the bottom bar from "Annulla".
void TestPrintComposer::tabFollowsThePage()
{
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.righeStampa << EngineFixture::printRow(m_fixture->photo(QStringLiteral("t.jpg"), QSize(600, 400)));
    Composer *composer = open(ordine);
    QTRY_COMPARE(prints(composer)->rowCount(), 1);
    child<QListView>(composer, "listViewFotoPrint")->setCurrentIndex(prints(composer)->index(0, 0));
    composer->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(composer));
    child<QWidget>(composer, "lineEditCurrentPath")->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(Keyboard::focusName(), QStringLiteral("lineEditCurrentPath"));
    const QStringList expected{
        "lineEditCurrentPath", "toolButtonChangePath", "treeViewDirSelection", "lineEditFiltra", "toolButtonAddAll",
        "toolButtonFileSelectionChangeLayout", "thumbSizeSlider", "listViewFileSelection", "defaultCarta",
        "defaultFormato", "defaultQta", "defaultTransformationType", "toolButtonPhotoEditor",
        "toolButtonSelectedFilesCangeStampaSettings", "toolButtonSelectedFilesSelectAll", "toolButtonRemove",
        "toolButtonRemoveAll", "listViewFotoPrint", "stampaCarta", "stampaFormato", "stampaQta", "toolButtonClose",
        "toolButtonAvanti"};
    QCOMPARE(Keyboard::tabRound(), expected);
}

// ---------------------------------------------------------------------------------------------
// Closing and saving

void TestPrintComposer::closingQuestion_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("stillOpen");
    QTest::addColumn<bool>("fileWritten");
    QTest::newRow("Annulla") << "Annulla" << true << false;
    QTest::newRow("Chiudi senza salvare") << "Chiudi senza salvare" << false << false;
    QTest::newRow("Salva e chiudi") << "Salva e chiudi" << false << true;
}

void TestPrintComposer::closingQuestion()
{
    QFETCH(QString, answer);
    QFETCH(bool, stillOpen);
    QFETCH(bool, fileWritten);
    const QString photo = m_fixture->photo(QStringLiteral("q.jpg"), QSize(600, 400));
    Composer *composer = open();
    composer->dropFromFileSystem({QFileInfo(photo)});
    QSignalSpy finished(composer, &QDialog::finished);
    m_answerer->answer(answer);
    child<QToolButton>(composer, "toolButtonClose")->click();
    QCOMPARE(m_answerer->count(), 1);
    const ModalAnswerer::Box box = m_answerer->last();
    QCOMPARE(box.title, QStringLiteral("Chiudi"));
    QCOMPARE(box.buttons, (QStringList{"Salva e chiudi", "Chiudi senza salvare", "Annulla"}));
    QCOMPARE(box.defaultButton, QStringLiteral("Annulla"));
    QVERIFY(!box.hasEscapeButton);
    if (stillOpen) {
        QTest::qWait(100);
        QVERIFY(composer->isVisible());
        QCOMPARE(finished.count(), 0);
    } else {
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), 0);
    }
    QCOMPARE(m_fixture->orderFiles().size(), fileWritten ? 1 : 0);
    if (fileWritten) {
        OrdiniLocal::OrdineLocal onDisk;
        QVERIFY(m_fixture->load(QFileInfo(m_fixture->orderFiles().constFirst()).completeBaseName(), onDisk));
        QVERIFY(!onDisk.Attivo);
        QCOMPARE(onDisk.righeStampa.size(), 1);
    }
    QCOMPARE(KorvexGlobals::ordineUpload->items().size(), 0);
}

void TestPrintComposer::avantiWithADeletedFile()
{
    const QString photo = m_fixture->photo(QStringLiteral("gone.jpg"), QSize(600, 400));
    Composer *composer = open();
    composer->dropFromFileSystem({QFileInfo(photo)});
    QVERIFY(QFile::remove(photo));
    m_answerer->answer(QMessageBox::Ok);
    child<QToolButton>(composer, "toolButtonAvanti")->click();
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(m_answerer->last().title, QStringLiteral("Impossibile continuare"));
    QCOMPARE(child<QStackedWidget>(composer, "pages")->currentIndex(), 0);
}

void TestPrintComposer::saveWithoutUser()
{
    m_fixture->logout();
    const QString photo = m_fixture->photo(QStringLiteral("nouser.jpg"), QSize(600, 400));
    Composer *composer = open();
    composer->dropFromFileSystem({QFileInfo(photo)});
    child<QToolButton>(composer, "toolButtonAvanti")->click();
    QCOMPARE(child<QStackedWidget>(composer, "pages")->currentIndex(), 1);
    QVERIFY(!child<QToolButton>(composer, "toolButtonUpload")->isEnabled());
    QSignalSpy finished(composer, &QDialog::finished);
    m_answerer->answer(QMessageBox::Yes);
    child<QToolButton>(composer, "toolButtonSalva")->click();
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Accepted));
    QCOMPARE(m_fixture->orderFiles().size(), 1);
    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(QFileInfo(m_fixture->orderFiles().constFirst()).completeBaseName(), onDisk));
    QCOMPARE(onDisk.Utente, 0);
    QCOMPARE(onDisk.Spedizione, 0.0);
    QVERIFY(!onDisk.Attivo);
    QCOMPARE(onDisk.Priorita, -1);
    QVERIFY(onDisk.Uuid.startsWith(QLatin1Char('{')));
    QCOMPARE(KorvexGlobals::ordineUpload->items().size(), 0);
}

void TestPrintComposer::savedFields()
{
    QVERIFY2(m_fixture->startLab(), qPrintable(m_fixture->errorString()));
    const QString a = m_fixture->photo(QStringLiteral("s1.jpg"), QSize(600, 400), 1);
    const QString b = m_fixture->photo(QStringLiteral("s2.jpg"), QSize(600, 400), 2);
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.righeFile << EngineFixture::fileRow(m_fixture->bytesFile(QStringLiteral("f.bin"), 1000));
    ordine.righeStampa << EngineFixture::printRow(a);
    ordine.Data = QDateTime::currentDateTime().addDays(-3);
    ordine.Spedizione = 99;
    QVERIFY(m_fixture->save(ordine));
    const QDateTime created = ordine.Data;

    Composer *composer = open(ordine);
    QTRY_COMPARE(prints(composer)->rowCount(), 1);
    composer->dropFromFileSystem({QFileInfo(b)});
    child<QToolButton>(composer, "toolButtonAvanti")->click();
    QLineEdit *cliente = composer->findChild<QLineEdit *>(QStringLiteral("clienteFinale"));
    QVERIFY(cliente);
    cliente->setText(QStringLiteral("Rossi <sposi>"));
    QSignalSpy finished(composer, &QDialog::finished);
    child<QToolButton>(composer, "toolButtonUpload")->click();
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(m_answerer->count(), 0);

    QCOMPARE(m_fixture->orderFiles().size(), 1);
    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
    QCOMPARE(onDisk.Uuid, ordine.Uuid);
    QCOMPARE(onDisk.Data.toSecsSinceEpoch(), created.toSecsSinceEpoch());
    QCOMPARE(onDisk.Utente, m_fixture->customer()->Getid());
    QCOMPARE(onDisk.Spedizione, double(m_fixture->customer()->spedizione));
    QCOMPARE(onDisk.ClienteFinale, QStringLiteral("Rossi <sposi>"));
    QVERIFY(onDisk.Attivo);
    QCOMPARE(onDisk.righeFile.size(), 1);
    QCOMPARE(onDisk.righeFile.constFirst().FilePath, ordine.righeFile.constFirst().FilePath);
    QCOMPARE(onDisk.righeStampa.size(), 2);
    QCOMPARE(onDisk.righeStampa.at(1).FilePath, b);
    QCOMPARE(KorvexGlobals::ordineUpload->items().size(), 1);
}

void TestPrintComposer::uploadState_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("kept");
    QTest::newRow("unchanged") << "none" << true;
    QTest::newRow("other file") << "path" << false;
    QTest::newRow("file grown") << "size" << false;
    QTest::newRow("other product") << "product" << false;
    QTest::newRow("other crop") << "crop" << false;
}

void TestPrintComposer::uploadState()
{
    QFETCH(QString, change);
    QFETCH(bool, kept);
    const QString photo = m_fixture->photo(QStringLiteral("u.jpg"), QSize(600, 400));
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    OrdiniLocal::OrdineRigaStampaLocal riga = EngineFixture::printRow(photo, 3, 2);
    riga.Transformation.CropRect = QRectF(10, 0, 267, 400);
    riga.WsFileId = QStringLiteral("77");
    riga.Inviata = true;
    OrdiniLocal::OrdineRigaStampaLocal edited = riga;
    if (change == QLatin1String("path")) {
        edited.FilePath = m_fixture->photo(QStringLiteral("u2.jpg"), QSize(600, 400), 5);
        edited.FileSize = riga.FileSize;
    } else if (change == QLatin1String("size")) {
        // The row as the list holds it after the file changed under it.
        edited.FileSize += 1;
    } else if (change == QLatin1String("product")) {
        edited.IdStampa = 4;
    } else if (change == QLatin1String("crop")) {
        edited.Transformation.CropRect = QRectF(0, 0, 267, 400);
    }
    ordine.righeStampa << riga;
    QVERIFY(m_fixture->save(ordine));

    // The list shows the edited row: the order opens on it.
    OrdiniLocal::OrdineLocal opened = ordine;
    opened.righeStampa = {edited};
    Composer *composer = open(opened);
    QTRY_COMPARE(prints(composer)->rowCount(), 1);
    QSignalSpy finished(composer, &QDialog::finished);
    m_answerer->answer(QStringLiteral("Salva e chiudi"));
    composer->reject();
    QTRY_COMPARE(finished.count(), 1);
    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
    QCOMPARE(onDisk.righeStampa.size(), 1);
    QCOMPARE(onDisk.righeStampa.constFirst().Inviata, kept);
    QCOMPARE(onDisk.righeStampa.constFirst().WsFileId, kept ? QStringLiteral("77") : QString());
}

void TestPrintComposer::failedWrite()
{
    const QString photo = m_fixture->photo(QStringLiteral("f.jpg"), QSize(600, 400));
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.righeStampa << EngineFixture::printRow(photo);
    ordine.Attivo = false;
    QVERIFY(m_fixture->save(ordine));
    const QString path = KorvexGlobals::ordersQueuePath() + QLatin1Char('/') + m_fixture->orderFiles().constFirst();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    Composer *composer = open(ordine);
    QTRY_COMPARE(prints(composer)->rowCount(), 1);
    for (int i = 0; i < 30; ++i)
        composer->dropFromFileSystem({QFileInfo(photo)});
    child<QToolButton>(composer, "toolButtonAvanti")->click();
    QSignalSpy finished(composer, &QDialog::finished);
    // The order names its end customer: the one box is the failure.
    QVERIFY(!ordine.ClienteFinale.isEmpty());
    m_answerer->answer(QMessageBox::Ok);
    {
        FileSizeLimit limit(before.size() + 100);
        QVERIFY(limit.ok());
        child<QToolButton>(composer, "toolButtonSalva")->click();
        QVERIFY(m_answerer->waitForCount(1));
    }
    QCOMPARE(m_answerer->last().title, QStringLiteral("Errore"));
    QVERIFY2(m_answerer->last().text.contains(QDir::toNativeSeparators(KorvexGlobals::ordersQueuePath())),
             qPrintable(m_answerer->last().text));
    QVERIFY2(m_answerer->last().text.contains(QStringLiteral("Impossibile scrivere il file")),
             qPrintable(m_answerer->last().text));
    QVERIFY(composer->isVisible());
    QCOMPARE(finished.count(), 0);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    QCOMPARE(KorvexGlobals::ordineUpload->items().size(), 0);

    // Still unsaved: closing asks.
    m_answerer->answer(QStringLiteral("Chiudi senza salvare"));
    composer->reject();
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(m_answerer->last().title, QStringLiteral("Chiudi"));
}

void TestPrintComposer::saveWhileTheQueueSendsIt()
{
    QVERIFY2(m_fixture->startLab(), qPrintable(m_fixture->errorString()));
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    for (int i = 0; i < 3; ++i)
        ordine.righeStampa << EngineFixture::printRow(m_fixture->photo(QStringLiteral("w%1.jpg").arg(i), QSize(1600, 1200), i + 1));
    ordine.Attivo = true;
    QVERIFY(m_fixture->save(ordine));
    // The laboratory holds the file records: the order cannot be sent before the save.
    QVERIFY(m_fixture->lab().holdAnswer(QStringLiteral("inserisciFile"), -1));
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    queue->startUpload();
    QTRY_VERIFY_WITH_TIMEOUT(queue->isSending(ordine.Uuid), 60000);

    Composer *composer = open(ordine);
    QTRY_COMPARE(prints(composer)->rowCount(), 3);
    const QString extra = m_fixture->photo(QStringLiteral("w-extra.jpg"), QSize(800, 600), 9);
    composer->dropFromFileSystem({QFileInfo(extra)});
    QSignalSpy finished(composer, &QDialog::finished);
    m_answerer->answer(QStringLiteral("Salva e chiudi"));
    composer->reject();
    // The save asked the worker to stop: the record it waits for may come now.
    QVERIFY(m_fixture->lab().resetKnobs());
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);
    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
    QCOMPARE(onDisk.righeStampa.size(), 4);
    QCOMPARE(onDisk.righeStampa.at(3).FilePath, extra);
    QVERIFY(!onDisk.Attivo);
    QTest::qWait(300);
    QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
    QCOMPARE(onDisk.righeStampa.size(), 4);
}

void TestPrintComposer::orderGoneMeanwhile_data()
{
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QString>("title");
    QTest::newRow("sent by the queue") << true << QStringLiteral("Ordine inviato");
    QTest::newRow("removed in the queue window") << false << QStringLiteral("Ordine eliminato");
}

// The order's file went while the composer was open: the queue sent the order, or the
// customer removed it. The save tells which and writes nothing.
void TestPrintComposer::orderGoneMeanwhile()
{
    QFETCH(bool, sent);
    QFETCH(QString, title);
    if (sent)
        QVERIFY2(m_fixture->startLab(), qPrintable(m_fixture->errorString()));
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.righeStampa << EngineFixture::printRow(m_fixture->photo(QStringLiteral("m.jpg"), QSize(600, 400)));
    QVERIFY(m_fixture->save(ordine));
    Composer *composer = open(ordine);
    QTRY_COMPARE(prints(composer)->rowCount(), 1);
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    if (sent) {
        QSignalSpy sentQueue(queue, &OrdineUpload::finishedProcessingQueue);
        queue->startUpload();
        QVERIFY(sentQueue.wait(60000));
        QTRY_VERIFY(!queue->processingUploads());
    } else {
        QVERIFY(queue->append(ordine));
        QVERIFY(queue->removeItem(ordine.Uuid, true));
    }
    QVERIFY(m_fixture->orderFiles().isEmpty());
    QSignalSpy finished(composer, &QDialog::finished);
    m_answerer->answer(QStringLiteral("Salva e chiudi"));
    m_answerer->answer(QMessageBox::Ok);
    composer->reject();
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(m_answerer->count(), 2);
    QCOMPARE(m_answerer->last().title, title);
    QVERIFY(m_fixture->orderFiles().isEmpty());
}

void TestPrintComposer::addAllAndSendReachesTheLaboratory()
{
    QVERIFY2(m_fixture->startLab(), qPrintable(m_fixture->errorString()));
    const QString dir = folder(QStringLiteral("send"));
    QVERIFY(TestImages::writeJpeg(dir + QStringLiteral("/land.jpg"), TestImages::quadrants(QSize(2400, 1200))));
    QVERIFY(TestImages::writeJpeg(dir + QStringLiteral("/port.jpg"), TestImages::quadrants(QSize(1200, 2000))));
    QVERIFY(TestImages::writeJpeg(dir + QStringLiteral("/even.jpg"), TestImages::quadrants(QSize(1181, 1772))));

    Composer *composer = open();
    composer->setRootPath(dir);
    waitForFolder(composer, dir, 3);
    child<QToolButton>(composer, "toolButtonAddAll")->click();
    QCOMPARE(prints(composer)->rowCount(), 3);
    child<QToolButton>(composer, "toolButtonAvanti")->click();
    composer->findChild<QLineEdit *>(QStringLiteral("clienteFinale"))->setText(QStringLiteral("Bianchi"));
    QTest::qWait(50);
    saveShot(composer, QStringLiteral("printcomposer-summary"));
    QSignalSpy finished(composer, &QDialog::finished);
    QSignalSpy done(KorvexGlobals::ordineUpload, &OrdineUpload::finishedProcessingQueue);
    child<QToolButton>(composer, "toolButtonUpload")->click();
    QTRY_COMPARE(finished.count(), 1);
    QVERIFY(done.wait(60000));

    QVERIFY(m_fixture->orderFiles().isEmpty());
    const EngineFixture::LabState lab = m_fixture->labState();
    QCOMPARE(lab.orders.size(), 1);
    QCOMPARE(lab.orders.constFirst().clienteFinale, QStringLiteral("Bianchi"));
    QCOMPARE(m_fixture->checkNoDuplicateOrOrphan(), QString());
    int printRows = 0;
    for (const EngineFixture::LabRow &row : lab.orders.constFirst().rows) {
        if (row.tipoRiga != 2)
            continue;
        ++printRows;
        QCOMPARE(row.codiceArticolo, QStringLiteral("ST1015L"));
        const QImage sent(m_fixture->ftpLocalPath(row.idFile));
        QVERIFY2(!sent.isNull(), qPrintable(row.idFile));
        // 10 x 15 at its pixel size, turned to the photo.
        const QSize size = sent.size();
        QVERIFY2(size == QSize(1181, 1772) || size == QSize(1772, 1181), qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));
        // Centred crop of four quadrants: the four colours meet in the middle.
        const int w = size.width(), h = size.height();
        QVERIFY(TestImages::colourDistance(sent.pixel(w / 4, h / 4), TestImages::quadrantColour(0).rgb()) < 40);
        QVERIFY(TestImages::colourDistance(sent.pixel(3 * w / 4, h / 4), TestImages::quadrantColour(1).rgb()) < 40);
        QVERIFY(TestImages::colourDistance(sent.pixel(3 * w / 4, 3 * h / 4), TestImages::quadrantColour(2).rgb()) < 40);
        QVERIFY(TestImages::colourDistance(sent.pixel(w / 4, 3 * h / 4), TestImages::quadrantColour(3).rgb()) < 40);
    }
    QCOMPARE(printRows, 3);
}

QTEST_MAIN(TestPrintComposer)
#include "tst_printcomposer.moc"
