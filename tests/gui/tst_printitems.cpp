// The image file list model and the print card, on real files and the fixture catalogue.

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QMimeData>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

#include "articolostampafotograficaitemmodel.h"
#include "articolostampafotograficaitemsettings.h"
#include "articolostampafotograficaitemwidget.h"
#include "modalanswerer.h"
#include "printeditfixture.h"
#include "shots.h"

using ItemModel = ArticoloStampaFotograficaItemModel;
using Card = ArticoloStampaFotograficaItemWidget;

namespace {

QString write(const QString &path, const QByteArray &bytes = "x")
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return QFileInfo(path).absoluteFilePath();
}

QMimeData *urls(const QStringList &paths)
{
    auto *data = new QMimeData;
    QList<QUrl> list;
    for (const QString &path : paths)
        list << QUrl::fromLocalFile(path);
    data->setUrls(list);
    return data;
}

QStringList paths(const ItemModel &model)
{
    QStringList list;
    for (const QFileInfo &file : model.fileList())
        list << file.absoluteFilePath();
    return list;
}

} // namespace

class TestPrintItems : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void listModelThroughItsChanges();
    void sizeText_data();
    void sizeText();
    void missingAndEmptyEntries();
    void tooltipShowsNamesAsText();
    void setDataAndRemoveRowsRefusals();

    void formsConnectEverySlotByName();
    void cardWithoutRow();
    void cardFormatFirstThenPaper();
    void cardPaperFirst();
    void cardFormatChangeKeepsOrTakesPaper();
    void cardShowingARowChangesNothing();
    void resolution_data();
    void resolution();
    void removeQuestion_data();
    void removeQuestion();
    void cardLook();

private:
    std::unique_ptr<PrintEditFixture> m_fixture;
    std::unique_ptr<ModalAnswerer> m_answerer;
    QTemporaryDir m_dir;
};

void TestPrintItems::initTestCase()
{
    Q_INIT_RESOURCE(application);
    qRegisterMetaType<OrdiniLocal::StampaLocal>("OrdiniLocal::StampaLocal");
    qRegisterMetaType<OrdiniLocal::OrdineRigaStampaLocal>("OrdiniLocal::OrdineRigaStampaLocal");
    QVERIFY(m_dir.isValid());
}

void TestPrintItems::init()
{
    m_fixture = std::make_unique<PrintEditFixture>();
    QVERIFY2(m_fixture->ok(), qPrintable(m_fixture->error()));
    m_answerer = std::make_unique<ModalAnswerer>();
    // Each test reads the catalogue it was given.
    Card::m_formati.clear();
    Card::m_carte.clear();
}

void TestPrintItems::cleanup()
{
    QCOMPARE(m_answerer->unexpected(), 0);
    m_answerer.reset();
    m_fixture.reset();
}

// ---------------------------------------------------------------------------------------------
// Image file list model

void TestPrintItems::listModelThroughItsChanges()
{
    const QString a = write(m_dir.filePath(QStringLiteral("A.jpg")), QByteArray(1536, 'a'));
    const QString b = write(m_dir.filePath(QStringLiteral("b.png")), QByteArray(10, 'b'));
    const QString gone = m_dir.filePath(QStringLiteral("gone.jpg"));
    const QString folder = m_dir.filePath(QStringLiteral("sub"));
    QVERIFY(QDir().mkpath(folder));

    ItemModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.totalFilesSizeToString(), QStringLiteral("0 byte"));
    QVERIFY(!model.index(QFileInfo(a)).isValid());
    QVERIFY(!model.removeItem(QFileInfo(a)));

    model.addFile(QFileInfo(a));
    // Another spelling of the same path is refused; folders and missing files too.
    model.addFile(QFileInfo(m_dir.filePath(QStringLiteral("a.JPG"))));
    model.addFile(QFileInfo(folder));
    model.addFile(QFileInfo(gone));
    QCOMPARE(paths(model), QStringList{a});

    // A drop on row 0 still goes to the end; only the existing file is taken.
    std::unique_ptr<QMimeData> drop(urls({folder, gone, b}));
    QVERIFY(model.dropMimeData(drop.get(), Qt::CopyAction, 0, 0, QModelIndex()));
    QCOMPARE(paths(model), (QStringList{a, b}));
    std::unique_ptr<QMimeData> none(new QMimeData);
    QVERIFY(!model.dropMimeData(none.get(), Qt::CopyAction, -1, -1, QModelIndex()));
    QVERIFY(model.dropMimeData(none.get(), Qt::IgnoreAction, -1, -1, QModelIndex()));
    QCOMPARE(model.totalFilesSize(), qint64(1546));

    // Dragged rows leave as URLs, one per cell given.
    std::unique_ptr<QMimeData> out(model.mimeData({model.index(1, 0), model.index(1, 2)}));
    QCOMPARE(out->urls(), (QList<QUrl>{QUrl::fromLocalFile(b), QUrl::fromLocalFile(b)}));
    QCOMPARE(model.mimeTypes(), QStringList{QStringLiteral("text/uri-list")});
    QCOMPARE(int(model.supportedDropActions()), 7);

    // Duplicates through the list as given, then the removal of that file takes both.
    model.setFileList({QFileInfo(a), QFileInfo(b), QFileInfo(a)});
    QCOMPARE(model.rowCount(), 3);
    QVERIFY(!model.removeItem(QFileInfo(m_dir.filePath(QStringLiteral("a.JPG")))));
    QVERIFY(model.removeItem(QFileInfo(a)));
    QCOMPARE(paths(model), QStringList{b});
    QVERIFY(model.removeRows(0, 1));
    QCOMPARE(model.rowCount(), 0);
    model.setFileList({});
    QCOMPARE(model.rowCount(), 0);

    // Rows inserted at a place that is not in the list, or none at all, are refused.
    QVERIFY(!model.insertRows(1, 1));
    QVERIFY(!model.insertRows(-1, 1));
    QVERIFY(!model.insertRows(0, 0));
    QVERIFY(model.insertRows(0, 2));
    QCOMPARE(model.rowCount(), 2);
    model.ResetModel();
}

void TestPrintItems::sizeText_data()
{
    QTest::addColumn<quint64>("size");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << quint64(0) << QStringLiteral("0 byte");
    QTest::newRow("1023") << quint64(1023) << QStringLiteral("1023 byte");
    QTest::newRow("1024") << quint64(1024) << QStringLiteral("1 KB");
    QTest::newRow("1536") << quint64(1536) << QStringLiteral("1.5 KB");
    QTest::newRow("1048575") << quint64(1048575) << QStringLiteral("1024 KB");
    QTest::newRow("1048576") << quint64(1048576) << QStringLiteral("1 MB");
    QTest::newRow("3 GB") << quint64(3) * 1073741824ULL << QStringLiteral("3 GB");
}

void TestPrintItems::sizeText()
{
    QFETCH(quint64, size);
    QFETCH(QString, text);
    ItemModel model;
    QCOMPARE(model.fileSizeToString(size), text);
}

void TestPrintItems::missingAndEmptyEntries()
{
    const QString gone = m_dir.filePath(QStringLiteral("gone.jpg"));
    ItemModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setFileList({QFileInfo(gone)});
    QVERIFY(model.insertRows(1, 1));

    QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("0 byte"));
    const QString tip = model.data(model.index(0, 1), Qt::ToolTipRole).toString();
    QVERIFY2(tip.startsWith(QStringLiteral("<h4>Il file non esiste, fai doppio click per sostituirlo</h4>")), qPrintable(tip));
    QVERIFY(tip.endsWith(QStringLiteral(": --")));
    const QIcon broken = model.data(model.index(0, 0), Qt::DecorationRole).value<QIcon>();
    QCOMPARE(broken.pixmap(32).toImage(),
             QIcon(QPixmap(QStringLiteral(":/Resource/128x128/broken-file-access.png"))).pixmap(32).toImage());
    QVERIFY(!model.data(model.index(0, 1), Qt::DecorationRole).isValid());

    // The entry made by insertRows: no name, no path, no tooltip, the broken-file icon.
    QCOMPARE(model.data(model.index(1, 0)).toString(), QString());
    QCOMPARE(model.data(model.index(1, 1)).toString(), QString());
    QCOMPARE(model.data(model.index(1, 2)).toString(), QStringLiteral("0 byte"));
    QVERIFY(!model.data(model.index(1, 0), Qt::ToolTipRole).isValid());
    QVERIFY(!model.data(model.index(1, 0), Qt::DecorationRole).value<QIcon>().isNull());
    QCOMPARE(model.invalidFilesList().size(), 2);
    QCOMPARE(model.data(model.index(0, 0), Qt::TextAlignmentRole).toInt(), 129);

    QCOMPARE(model.headerData(0, Qt::Vertical).toString(), QStringLiteral("1"));
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Dimensione"));
    QVERIFY(!model.headerData(3, Qt::Horizontal).isValid());
    QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
}

void TestPrintItems::tooltipShowsNamesAsText()
{
    const QString odd = write(m_dir.filePath(QStringLiteral("a%2<b>.jpg")), QByteArray(2048, 'x'));
    ItemModel model;
    model.addFile(QFileInfo(odd));
    QCOMPARE(model.rowCount(), 1);
    const QString tip = model.data(model.index(0, 0), Qt::ToolTipRole).toString();
    QCOMPARE(tip, QStringLiteral("<i>Nome</i>: a%2&lt;b&gt;.jpg<br /><i>Percorso</i>: %1<br /><i>Dimensione</i>: 2 KB")
                      .arg(odd.toHtmlEscaped()));
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("a%2<b>.jpg"));
}

void TestPrintItems::setDataAndRemoveRowsRefusals()
{
    const QString a = write(m_dir.filePath(QStringLiteral("one.jpg")));
    const QString b = write(m_dir.filePath(QStringLiteral("two.jpg")));
    const QString c = write(m_dir.filePath(QStringLiteral("three.jpg")));
    ItemModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (const QString &path : {a, b, c})
        model.addFile(QFileInfo(path));
    QVERIFY(!model.setData(model.index(0, 0), m_dir.path()));
    QVERIFY(!model.setData(model.index(0, 0), m_dir.filePath(QStringLiteral("gone.jpg"))));
    QVERIFY(!model.setData(model.index(0, 0), b, Qt::DisplayRole));
    QVERIFY(!model.setData(QModelIndex(), b));
    QCOMPARE(paths(model), (QStringList{a, b, c}));
    // An already listed file is taken by setData: the list then holds it twice.
    QVERIFY(model.setData(model.index(0, 1), b));
    QCOMPARE(paths(model), (QStringList{b, b, c}));
    QVERIFY(!model.removeRows(2, 2));
    QVERIFY(!model.removeRows(-1, 1));
    QVERIFY(!model.removeRows(0, 0));
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.fileInfo(c).absoluteFilePath(), c);
    QCOMPARE(model.fileInfo(model.index(5, 0)).filePath(), QString());
}

// ---------------------------------------------------------------------------------------------
// Print card

namespace {
QStringList g_connectWarnings;
void catchConnectWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg && message.contains(QLatin1String("connectSlotsByName")))
        g_connectWarnings << message;
}
} // namespace

void TestPrintItems::formsConnectEverySlotByName()
{
    g_connectWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(catchConnectWarnings);
    {
        Card card;
        ArticoloStampaFotograficaItemSettings settings;
        QCOMPARE(settings.windowTitle(), QStringLiteral("Impostazioni di stampa"));
        QCOMPARE(settings.size(), QSize(447, 220));
        QCOMPARE(settings.findChild<QSpinBox *>(QStringLiteral("qta"))->maximum(), 10000);
        QCOMPARE(settings.findChild<QLabel *>(QStringLiteral("label_4"))->buddy(),
                 settings.findChild<QWidget *>(QStringLiteral("carta")));
        QCOMPARE(card.findChild<QLabel *>(QStringLiteral("labelFormato"))->buddy(),
                 card.findChild<QWidget *>(QStringLiteral("formato")));
    }
    qInstallMessageHandler(previous);
    QVERIFY2(g_connectWarnings.isEmpty(), qPrintable(g_connectWarnings.join(QLatin1Char('\n'))));
}

void TestPrintItems::cardWithoutRow()
{
    Card card;
    QSignalSpy changed(&card, &Card::stampaLocalChanged);
    QCOMPARE(card.findChild<QSpinBox *>(QStringLiteral("qta"))->value(), 1);
    QCOMPARE(card.findChild<QComboBox *>(QStringLiteral("formato"))->currentIndex(), -1);
    QCOMPARE(card.findChild<QComboBox *>(QStringLiteral("carta"))->currentIndex(), -1);
    QVERIFY(card.findChild<QWidget *>(QStringLiteral("widgetWarning"))->isHidden());
    QCOMPARE(card.getLastWarningType(), 0);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(card.size(), QSize(327, 174));
    card.setQta(0);
    card.setQta(-3);
    QCOMPARE(card.qta(), 1);
    card.setQta(7);
    QCOMPARE(card.qta(), 7);
}

void TestPrintItems::cardFormatFirstThenPaper()
{
    Card card;
    QSignalSpy changed(&card, &Card::stampaLocalChanged);
    auto *formato = card.findChild<QComboBox *>(QStringLiteral("formato"));
    auto *carta = card.findChild<QComboBox *>(QStringLiteral("carta"));
    formato->setCurrentIndex(formato->findText(QStringLiteral("10x15 verticale")));
    // Only Opaca has that format; no file, no paper picked: the paper is to be set.
    QCOMPARE(carta->count(), 1);
    QCOMPARE(carta->currentIndex(), -1);
    QCOMPARE(card.warningMessage(), QStringLiteral("Impostare la carta"));
    QCOMPARE(card.getLastWarningType(), int(Card::StampaWarning));
    QVERIFY(card.findChild<QLabel *>(QStringLiteral("labelFormato"))->styleSheet().contains(QStringLiteral("#760000")));

    carta->setCurrentIndex(0);
    QCOMPARE(formato->currentText(), QStringLiteral("10x15 verticale"));
    const OrdiniLocal::OrdineRigaStampaLocal riga = card.ordineRigaStampaLocal();
    QCOMPARE(riga.IdStampa, 4);
    QCOMPARE(riga.FormatoDesc, QStringLiteral("10x15 verticale"));
    QCOMPARE(riga.CartaDesc, QStringLiteral("Opaca"));
    QCOMPARE(riga.Prezzo, 0.27);
    QCOMPARE(card.getLastWarningType(), 0);
    QVERIFY(card.findChild<QWidget *>(QStringLiteral("widgetWarning"))->isHidden());
    QVERIFY(card.findChild<QLabel *>(QStringLiteral("labelFormato"))->styleSheet().isEmpty());
    // The card held no product before: nothing is reported.
    QCOMPARE(changed.count(), 0);
}

void TestPrintItems::cardPaperFirst()
{
    Card card;
    auto *formato = card.findChild<QComboBox *>(QStringLiteral("formato"));
    auto *carta = card.findChild<QComboBox *>(QStringLiteral("carta"));
    carta->setCurrentIndex(carta->findText(QStringLiteral("Opaca")));
    QCOMPARE(formato->currentIndex(), -1);
    QCOMPARE(formato->count(), 2);
    QCOMPARE(card.getLastWarningType(), 0);
    QCOMPARE(card.ordineRigaStampaLocal().IdStampa, 0);
}

void TestPrintItems::cardFormatChangeKeepsOrTakesPaper()
{
    const QString photo = m_fixture->solid(QStringLiteral("big.png"), QSize(3000, 2000), Qt::green);
    OrdiniLocal::OrdineRigaStampaLocal riga = PrintEditFixture::row(photo, 3); // format 1, Opaca
    Card card(riga);
    QSignalSpy changed(&card, &Card::stampaLocalChanged);
    auto *formato = card.findChild<QComboBox *>(QStringLiteral("formato"));
    auto *carta = card.findChild<QComboBox *>(QStringLiteral("carta"));
    QCOMPARE(formato->currentText(), QStringLiteral("10x15 orizzontale"));
    QCOMPARE(carta->currentText(), QStringLiteral("Opaca"));

    formato->setCurrentIndex(formato->findText(QStringLiteral("10x15 verticale")));
    QCOMPARE(carta->currentText(), QStringLiteral("Opaca"));
    QCOMPARE(card.ordineRigaStampaLocal().IdStampa, 4);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(1).value<OrdiniLocal::StampaLocal>().id, 4);
    QCOMPARE(changed.at(0).at(2).value<OrdiniLocal::StampaLocal>().id, 3);

    // 20x15 is offered on Lucida alone: the paper becomes the narrowed list's first.
    formato->setCurrentIndex(formato->findText(QStringLiteral("20x15")));
    QCOMPARE(carta->currentText(), QStringLiteral("Lucida"));
    QCOMPARE(card.ordineRigaStampaLocal().IdStampa, 5);
    QCOMPARE(changed.count(), 2);
}

void TestPrintItems::cardShowingARowChangesNothing()
{
    // Products 1 and 2 share format and paper: showing a row of product 2 keeps it.
    const QString photo = m_fixture->solid(QStringLiteral("p.png"), QSize(2000, 1400), Qt::blue);
    OrdiniLocal::OrdineRigaStampaLocal riga = PrintEditFixture::row(photo, 2, 2, QRectF(10, 20, 300, 200), 3);
    Card card(riga);
    const OrdiniLocal::OrdineRigaStampaLocal shown = card.ordineRigaStampaLocal();
    QCOMPARE(shown.IdStampa, 2);
    QCOMPARE(shown.Qta, 3);
    QCOMPARE(shown.Transformation.CropRect, QRectF(10, 20, 300, 200));
    QCOMPARE(shown.Codice, QStringLiteral("ST1015L2"));
    QCOMPARE(card.findChild<QSpinBox *>(QStringLiteral("qta"))->value(), 3);
}

void TestPrintItems::resolution_data()
{
    QTest::addColumn<QSize>("photo");
    QTest::addColumn<int>("idStampa");
    QTest::addColumn<bool>("warned");
    // Format 1: 1800 x 1200; format 2: 1200 x 1800; format 3: 2362 x 1800.
    QTest::newRow("3000x2000 on 1800x1200") << QSize(3000, 2000) << 1 << false;
    QTest::newRow("3000x2000 on 1200x1800") << QSize(3000, 2000) << 4 << false;
    QTest::newRow("2000x1300 on 1800x1200") << QSize(2000, 1300) << 1 << false;
    QTest::newRow("1000x400 on 1800x1200") << QSize(1000, 400) << 1 << true;
    QTest::newRow("1000x1500 on 1800x1200") << QSize(1000, 1500) << 1 << true;
    QTest::newRow("1500x1500 on 1200x1800") << QSize(1500, 1500) << 4 << true;
    QTest::newRow("2000x2000 on 2362x1800") << QSize(2000, 2000) << 5 << true;
}

void TestPrintItems::resolution()
{
    QFETCH(QSize, photo);
    QFETCH(int, idStampa);
    QFETCH(bool, warned);
    const QString file = m_fixture->solid(QStringLiteral("r.png"), photo, Qt::red);
    OrdiniLocal::OrdineRigaStampaLocal riga = PrintEditFixture::row(file, idStampa);
    Card card(riga);
    QCOMPARE(card.warningMessage() == QStringLiteral("La stampa non è ottimale"), warned);
    QCOMPARE(card.getLastWarningType(), warned ? int(Card::GenericWarning) : 0);
    QCOMPARE(!card.findChild<QWidget *>(QStringLiteral("widgetWarning"))->isHidden(), warned);
}

void TestPrintItems::removeQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("removed");
    QTest::newRow("No") << int(QMessageBox::No) << 0;
    QTest::newRow("Yes") << int(QMessageBox::Yes) << 1;
}

void TestPrintItems::removeQuestion()
{
    QFETCH(int, answer);
    QFETCH(int, removed);
    Card card;
    QSignalSpy remove(&card, &Card::remove);
    QSignalSpy duplicate(&card, &Card::duplicate);
    m_answerer->answer(QMessageBox::StandardButton(answer));
    QTest::mouseClick(card.findChild<QWidget *>(QStringLiteral("pushButtonRemove")), Qt::LeftButton);
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(m_answerer->last().title, QStringLiteral("Rimuovi Stampa"));
    QCOMPARE(m_answerer->last().text, QStringLiteral("Desideri rimuovere la stampa selezionata?"));
    QCOMPARE(m_answerer->last().defaultButton, QStringLiteral("No"));
    QCOMPARE(remove.count(), removed);
    if (removed)
        QCOMPARE(remove.at(0).at(0).toInt(), -1);
    QTest::mouseClick(card.findChild<QWidget *>(QStringLiteral("pushButtonAddCopy")), Qt::LeftButton);
    QCOMPARE(duplicate.count(), 1);
}

void TestPrintItems::cardLook()
{
    const QString photo = m_fixture->quadrants(QStringLiteral("look.png"), QSize(900, 600));
    OrdiniLocal::OrdineRigaStampaLocal riga = PrintEditFixture::row(photo, 1);
    Card card(riga);
    card.setThumb(QPixmap(photo).scaled(149, 127, Qt::KeepAspectRatio));
    card.show();
    QVERIFY(QTest::qWaitForWindowExposed(&card));
    QCOMPARE(card.warningMessage(), QStringLiteral("La stampa non è ottimale"));
    saveShot(&card, QStringLiteral("print-card"));
    Card empty;
    empty.show();
    auto *formato = empty.findChild<QComboBox *>(QStringLiteral("formato"));
    formato->setCurrentIndex(0);
    QVERIFY(QTest::qWaitForWindowExposed(&empty));
    saveShot(&empty, QStringLiteral("print-card-paper-missing"));
}

QTEST_MAIN(TestPrintItems)
#include "tst_printitems.moc"
