// The photo print composer's prints already in the list: the panel of the selected prints,
// the photo editor on one print, missing files (alert, replacement, removal), removing
// prints and the bulk print settings. Real composer, print rows model, editor and dialogs
// on the fixture catalogue and images made here.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

#include <memory>

#include "articolostampafotograficacomposer.h"
#include "articolostampafotograficafotoeditor.h"
#include "articolostampafotograficafotoprintmodel.h"
#include "imageutility.h"
#include "korvexglobals.h"
#include "modalanswerer.h"
#include "ordineupload.h"
#include "printeditfixture.h"
#include "shots.h"

using Composer = ArticoloStampaFotograficaComposer;
using PrintModel = ArticoloStampaFotograficaFotoPrintModel;
using Row = OrdiniLocal::OrdineRigaStampaLocal;
using Rows = QList<Row>;

Q_DECLARE_METATYPE(QList<int>)
Q_DECLARE_METATYPE(QList<QRectF>)

namespace {

template <typename T>
T *child(QWidget *window, const char *name)
{
    T *widget = window->findChild<T *>(QString::fromLatin1(name));
    if (!widget)
        qWarning("no child %s", name);
    return widget;
}

QListView *printList(Composer *composer)
{
    return child<QListView>(composer, "listViewFotoPrint");
}

PrintModel *prints(Composer *composer)
{
    return static_cast<PrintModel *>(printList(composer)->model());
}

void select(Composer *composer, const QList<int> &rows)
{
    QListView *view = printList(composer);
    view->clearSelection();
    for (int row : rows)
        view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::Select);
    if (!rows.isEmpty())
        view->selectionModel()->setCurrentIndex(view->model()->index(rows.last(), 0), QItemSelectionModel::NoUpdate);
}

// A choice of the user: the item becomes current and the combo reports it as activated.
void choose(QComboBox *combo, const QString &text)
{
    combo->setCurrentIndex(combo->findText(text));
    QMetaObject::invokeMethod(combo, "activated", Qt::DirectConnection, Q_ARG(QString, text));
}

QStringList items(QComboBox *combo)
{
    QStringList list;
    for (int i = 0; i < combo->count(); ++i)
        list << combo->itemText(i);
    return list;
}

// The fields a change of settings may touch, as text, so that a failure shows the row.
QString describe(const Row &r)
{
    const QRectF c = r.Transformation.CropRect;
    return QStringLiteral("%1|%2|%3|%4|%5|%6|q%7|t%8|%9,%10,%11,%12|%13|%14|%15")
        .arg(r.FilePath.section(QLatin1Char('/'), -1))
        .arg(r.FileSize)
        .arg(r.IdStampa)
        .arg(r.Codice, r.FormatoDesc, r.CartaDesc)
        .arg(r.Qta)
        .arg(r.Transformation.Type)
        .arg(c.x())
        .arg(c.y())
        .arg(c.width())
        .arg(c.height())
        .arg(r.Prezzo)
        .arg(r.WsFileId)
        .arg(r.Inviata);
}

QStringList describe(const Rows &rows)
{
    QStringList list;
    for (const Row &r : rows)
        list << describe(r);
    return list;
}

QList<int> quantities(Composer *composer)
{
    QList<int> list;
    for (const Row &r : prints(composer)->stampe())
        list << r.Qta;
    return list;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestPrintSelection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void panel_data();
    void panel();
    void formatChoice();
    void paperChoice_data();
    void paperChoice();
    void formatOnDifferingPapers();
    void copiesOnThreePrints();
    void panelLook();

    void editorSaveAndCancel();
    void editorActionTakesTheCurrentPrintAlone();
    void editorOnAFailingCatalogue();
    void panelShowsTheChangedPrint_data();
    void panelShowsTheChangedPrint();

    void missingFilesAlert_data();
    void missingFilesAlert();
    void replacement_data();
    void replacement();
    void replacementDialogCancelled();
    void oneOfThreeRowsReplaced();
    void removal_data();
    void removal();
    void missingFilesUnderAnyPathForm_data();
    void missingFilesUnderAnyPathForm();

    void bulkPreset_data();
    void bulkPreset();
    void bulkOk();
    void bulkCancel();
    void bulkWithoutPaper();
    void bulkOnAFailingCatalogue();
    void bulkOnMixedPrints();
    void cropKeptWhereTheFormatStays_data();
    void cropKeptWhereTheFormatStays();

private:
    Composer *open(const Rows &rows, bool waitForRows = true);
    QString photo(const QString &name, const QSize &size) { return m_fixture->solid(name, size, Qt::darkCyan); }
    // n rows of product 1 on one 4000 x 3000 photo, with quantities 1..n.
    Rows rowsOf(const QList<int> &products, int type = 1);

    std::unique_ptr<PrintEditFixture> m_fixture;
    std::unique_ptr<ModalAnswerer> m_answerer;
    std::unique_ptr<Composer> m_composer;
};

void TestPrintSelection::initTestCase()
{
    Q_INIT_RESOURCE(application);
    qRegisterMetaType<OrdiniLocal::OrdineRigaStampaLocal>("OrdiniLocal::OrdineRigaStampaLocal");
    qRegisterMetaType<QList<QFileInfo>>("QList<QFileInfo>");
}

void TestPrintSelection::init()
{
    m_fixture = std::make_unique<PrintEditFixture>();
    QVERIFY2(m_fixture->ok(), qPrintable(m_fixture->error()));
    KorvexGlobals::ordineUpload = new OrdineUpload(nullptr);
    m_answerer = std::make_unique<ModalAnswerer>();
    ArticoloStampaFotograficaFotoEditor::m_formati.clear();
    ArticoloStampaFotograficaFotoEditor::m_carte.clear();
}

void TestPrintSelection::cleanup()
{
    if (m_composer)
        m_composer->setResult(0);
    m_composer.reset();
    delete KorvexGlobals::ordineUpload;
    KorvexGlobals::ordineUpload = nullptr;
    const int unexpected = m_answerer->unexpected();
    if (unexpected) {
        for (const ModalAnswerer::Box &box : m_answerer->boxes())
            qWarning("box %s: %s / %s", qPrintable(box.className), qPrintable(box.title), qPrintable(box.text));
    }
    m_answerer.reset();
    m_fixture.reset();
    QCOMPARE(unexpected, 0);
}

Composer *TestPrintSelection::open(const Rows &rows, bool waitForRows)
{
    OrdiniLocal::OrdineLocal ordine;
    ordine.righeStampa = rows;
    m_composer = std::make_unique<Composer>(ordine, nullptr);
    m_composer->show();
    if (waitForRows)
        [&] { QTRY_COMPARE(prints(m_composer.get())->rowCount(), rows.size()); }();
    return m_composer.get();
}

Rows TestPrintSelection::rowsOf(const QList<int> &products, int type)
{
    const QString file = photo(QStringLiteral("big.jpg"), QSize(4000, 3000));
    Rows rows;
    for (int i = 0; i < products.size(); ++i) {
        const QRectF crop = type == 2 ? QRectF(10, 20, 1200, 800) : QRectF();
        rows << PrintEditFixture::row(file, products.at(i), type, crop, i + 1);
    }
    return rows;
}

// ---------------------------------------------------------------------------------------------
// Panel of the selected prints

void TestPrintSelection::panel_data()
{
    QTest::addColumn<QList<int>>("products");
    QTest::addColumn<QList<int>>("qta");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("carta");
    QTest::addColumn<QString>("formato");
    QTest::addColumn<int>("shownQta");
    QTest::addColumn<QStringList>("formats");
    QTest::addColumn<bool>("enabled");
    const QStringList lucida{QStringLiteral("10x15 orizzontale"), QStringLiteral("10x15 orizzontale"),
                             QStringLiteral("20x15"), QStringLiteral("Senza risoluzione")};
    const QStringList opaca{QStringLiteral("10x15 orizzontale"), QStringLiteral("10x15 verticale")};
    QTest::newRow("one print of 5") << QList<int>{1, 4} << QList<int>{5, 2} << QList<int>{0} << "Lucida"
                                    << "10x15 orizzontale" << 5 << lucida << true;
    QTest::newRow("two of 5, formats differ") << QList<int>{1, 5} << QList<int>{5, 5} << QList<int>{0, 1}
                                              << "Lucida" << "" << 5 << lucida << true;
    QTest::newRow("3 and 1 copies") << QList<int>{1, 5} << QList<int>{3, 1} << QList<int>{0, 1} << "Lucida" << ""
                                    << 1 << lucida << true;
    QTest::newRow("papers differ") << QList<int>{3, 4} << QList<int>{2, 2} << QList<int>{1, 0} << "Opaca" << ""
                                   << 2 << opaca << true;
    QTest::newRow("paper differs, format shared") << QList<int>{1, 3} << QList<int>{2, 2} << QList<int>{0, 1} << ""
                                                  << "10x15 orizzontale" << 2 << QStringList() << true;
    QTest::newRow("nothing selected") << QList<int>{1, 3} << QList<int>{2, 7} << QList<int>{} << "" << "" << 1
                                      << QStringList() << false;
}

void TestPrintSelection::panel()
{
    QFETCH(QList<int>, products);
    QFETCH(QList<int>, qta);
    QFETCH(QList<int>, selected);
    QFETCH(QString, carta);
    QFETCH(QString, formato);
    QFETCH(int, shownQta);
    QFETCH(QStringList, formats);
    QFETCH(bool, enabled);
    Rows rows = rowsOf(products, 2);
    for (int i = 0; i < rows.size(); ++i)
        rows[i].Qta = qta.at(i);
    Composer *composer = open(rows);
    const QStringList before = describe(prints(composer)->stampe());

    select(composer, selected);
    QComboBox *stampaCarta = child<QComboBox>(composer, "stampaCarta");
    QComboBox *stampaFormato = child<QComboBox>(composer, "stampaFormato");
    QSpinBox *stampaQta = child<QSpinBox>(composer, "stampaQta");
    QCOMPARE(stampaCarta->currentText(), carta);
    QCOMPARE(stampaFormato->currentText(), formato);
    QCOMPARE(stampaQta->value(), shownQta);
    if (!formats.isEmpty())
        QCOMPARE(items(stampaFormato), formats);
    QCOMPARE(stampaCarta->isEnabled(), enabled);
    QCOMPARE(stampaQta->isEnabled(), enabled);
    QCOMPARE(child<QToolButton>(composer, "toolButtonRemove")->isEnabled(), enabled);
    QCOMPARE(child<QToolButton>(composer, "toolButtonSelectedFilesCangeStampaSettings")->isEnabled(), enabled);
    QCOMPARE(child<QToolButton>(composer, "toolButtonPhotoEditor")->isEnabled(), enabled);
    // Showing a selection rewrites no print.
    QCOMPARE(describe(prints(composer)->stampe()), before);
    select(composer, {});
    QCOMPARE(describe(prints(composer)->stampe()), before);
    QCOMPARE(stampaQta->value(), 1);
    QCOMPARE(m_answerer->count(), 0);
}

void TestPrintSelection::formatChoice()
{
    Rows rows = rowsOf({1, 1}, 2);
    rows[1].Transformation.Type = 1;
    rows[1].Transformation.CropRect = QRectF();
    Composer *composer = open(rows);
    select(composer, {0, 1});
    choose(child<QComboBox>(composer, "stampaFormato"), QStringLiteral("20x15"));
    const Rows after = prints(composer)->stampe();
    // The crop is centred anew for 2362 x 1800; the fitted print keeps its empty rectangle.
    QCOMPARE(after.at(0).Transformation.CropRect, QRectF(31, 0, 3937, 3000));
    QCOMPARE(after.at(1).Transformation.CropRect, QRectF());
    for (const Row &r : after) {
        QCOMPARE(r.IdStampa, 5);
        QCOMPARE(r.Prezzo, 0.9);
        QCOMPARE(r.FormatoDesc, QStringLiteral("20x15"));
        QCOMPARE(r.CartaDesc, QStringLiteral("Lucida"));
    }
    QCOMPARE(after.at(0).Qta, 1);
    QCOMPARE(after.at(1).Qta, 2);
    QCOMPARE(m_answerer->count(), 0);
}

void TestPrintSelection::paperChoice_data()
{
    QTest::addColumn<int>("product");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QRectF>("crop");
    QTest::newRow("format kept: crop kept") << 1 << 3 << QRectF(10, 20, 1200, 800);
    QTest::newRow("format changes: crop centred") << 5 << 3 << QRectF(0, 166, 4000, 2667);
}

void TestPrintSelection::paperChoice()
{
    QFETCH(int, product);
    QFETCH(int, expected);
    QFETCH(QRectF, crop);
    Composer *composer = open(rowsOf({product, product}, 2));
    select(composer, {0, 1});
    choose(child<QComboBox>(composer, "stampaCarta"), QStringLiteral("Opaca"));
    QCOMPARE(child<QComboBox>(composer, "stampaFormato")->currentText(), QStringLiteral("10x15 orizzontale"));
    for (const Row &r : prints(composer)->stampe()) {
        QCOMPARE(r.IdStampa, expected);
        QCOMPARE(r.CartaDesc, QStringLiteral("Opaca"));
        QCOMPARE(r.Prezzo, 0.27);
        QCOMPARE(r.Transformation.CropRect, crop);
    }
}

void TestPrintSelection::formatOnDifferingPapers()
{
    Composer *composer = open(rowsOf({1, 3}, 2));
    const QStringList before = describe(prints(composer)->stampe());
    select(composer, {0, 1});
    m_answerer->answer(QMessageBox::Ok);
    choose(child<QComboBox>(composer, "stampaFormato"), QStringLiteral("10x15 orizzontale"));
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(m_answerer->last().title, QStringLiteral("Modifca Proprietà Stampe"));
    QCOMPARE(m_answerer->last().icon, QMessageBox::Critical);
    QVERIFY(m_answerer->last().text.startsWith(QStringLiteral("E' necessario specificare un ID valido")));
    QCOMPARE(describe(prints(composer)->stampe()), before);
}

void TestPrintSelection::copiesOnThreePrints()
{
    Composer *composer = open(rowsOf({1, 3, 5, 1}, 2));
    Rows expected = prints(composer)->stampe();
    for (int i = 0; i < 3; ++i)
        expected[i].Qta = 4;
    select(composer, {0, 1, 2});
    child<QSpinBox>(composer, "stampaQta")->setValue(4);
    QCOMPARE(describe(prints(composer)->stampe()), describe(expected));
}

void TestPrintSelection::panelLook()
{
    Composer *composer = open(rowsOf({1, 5, 3}, 2));
    composer->resize(1100, 720);
    select(composer, {0, 1});
    QTest::qWait(200);
    saveShot(composer, QStringLiteral("composer-selected-prints"));
}

// ---------------------------------------------------------------------------------------------
// Photo editor

void TestPrintSelection::editorSaveAndCancel()
{
    Composer *composer = open(rowsOf({1, 1}, 1));
    const Rows before = prints(composer)->stampe();
    QListView *view = printList(composer);
    QTRY_VERIFY(view->visualRect(view->model()->index(1, 0)).isValid());

    m_answerer->answerWith([](QWidget *editor) {
        editor->findChild<QSpinBox *>(QStringLiteral("qta"))->setValue(9);
        saveShot(editor, QStringLiteral("composer-photo-editor"));
        QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("pushButtonSave")), Qt::LeftButton);
    });
    const QPoint second = view->visualRect(view->model()->index(1, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, second);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, second);
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(m_answerer->last().className, QStringLiteral("ArticoloStampaFotograficaFotoEditor"));
    QCOMPARE(quantities(composer), (QList<int>{1, 9}));
    QCOMPARE(composer->cursor().shape(), Qt::ArrowCursor);

    // Closing without saving: the editor asks, No keeps the print.
    m_answerer->answerWith([](QWidget *editor) {
        editor->findChild<QSpinBox *>(QStringLiteral("qta"))->setValue(20);
        QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("pushButtonClose")), Qt::LeftButton);
    });
    m_answerer->answer(QMessageBox::No);
    const QPoint first = view->visualRect(view->model()->index(0, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, first);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, first);
    QCOMPARE(m_answerer->count(), 3);
    QCOMPARE(m_answerer->last().title, QStringLiteral("Salva Immagine"));
    QCOMPARE(quantities(composer), (QList<int>{1, 9}));
    QCOMPARE(describe(prints(composer)->stampe().at(0)), describe(before.at(0)));
}

void TestPrintSelection::editorActionTakesTheCurrentPrintAlone()
{
    Composer *composer = open(rowsOf({1, 1, 1}, 1));
    select(composer, {0, 1, 2});
    printList(composer)->selectionModel()->setCurrentIndex(prints(composer)->index(1, 0), QItemSelectionModel::NoUpdate);
    int selectedWhileOpen = -1;
    m_answerer->answerWith([&](QWidget *editor) {
        selectedWhileOpen = printList(composer)->selectionModel()->selectedRows(0).size();
        editor->findChild<QSpinBox *>(QStringLiteral("qta"))->setValue(6);
        QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("pushButtonSave")), Qt::LeftButton);
    });
    child<QToolButton>(composer, "toolButtonPhotoEditor")->click();
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(selectedWhileOpen, 1);
    QCOMPARE(quantities(composer), (QList<int>{1, 6, 3}));
}

void TestPrintSelection::editorOnAFailingCatalogue()
{
    Composer *composer = open(rowsOf({1, 3}, 1));
    const QStringList before = describe(prints(composer)->stampe());
    select(composer, {0});
    m_fixture->breakCatalogue();
    // A print on another paper: the panel cannot read that paper's formats, says so and
    // changes nothing.
    m_answerer->answer(QMessageBox::Ok);
    select(composer, {1});
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(m_answerer->last().title, QStringLiteral("Errore database"));
    QCOMPARE(describe(prints(composer)->stampe()), before);
    // The button selects the print again (the panel fails again), then the editor cannot read
    // the catalogue's lists: a warning, no editor, the normal cursor.
    m_answerer->answer(QMessageBox::Ok);
    m_answerer->answer(QMessageBox::Ok);
    child<QToolButton>(composer, "toolButtonPhotoEditor")->click();
    QCOMPARE(m_answerer->count(), 3);
    QCOMPARE(m_answerer->last().className, QStringLiteral("QMessageBox"));
    QCOMPARE(m_answerer->last().title, QStringLiteral("Modifica stampa"));
    QVERIFY(!m_answerer->last().text.isEmpty());
    QCOMPARE(composer->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(describe(prints(composer)->stampe()), before);
    m_fixture->restoreCatalogue();
}

void TestPrintSelection::panelShowsTheChangedPrint_data()
{
    QTest::addColumn<bool>("editor");
    QTest::newRow("photo editor") << true;
    QTest::newRow("bulk settings") << false;
}

// The panel under the list shows the selected print as it is after a change made elsewhere,
// without selecting it again.
void TestPrintSelection::panelShowsTheChangedPrint()
{
    QFETCH(bool, editor);
    Composer *composer = open(rowsOf({3, 1}, 1));
    QListView *view = printList(composer);
    QTRY_VERIFY(view->visualRect(view->model()->index(0, 0)).isValid());
    select(composer, {0});
    QComboBox *stampaCarta = child<QComboBox>(composer, "stampaCarta");
    QComboBox *stampaFormato = child<QComboBox>(composer, "stampaFormato");
    QSpinBox *stampaQta = child<QSpinBox>(composer, "stampaQta");
    QCOMPARE(stampaCarta->currentText(), QStringLiteral("Opaca"));
    QCOMPARE(stampaFormato->currentText(), QStringLiteral("10x15 orizzontale"));
    QCOMPARE(stampaQta->value(), 1);

    // Lucida, 20 x 15, 3 copies.
    m_answerer->answerWith([editor](QWidget *dialog) {
        choose(dialog->findChild<QComboBox *>(QStringLiteral("carta")), QStringLiteral("Lucida"));
        auto *formato = dialog->findChild<QComboBox *>(QStringLiteral("formato"));
        if (editor)
            choose(formato, QStringLiteral("20x15"));
        else
            formato->setCurrentIndex(formato->findText(QStringLiteral("20x15")));
        dialog->findChild<QSpinBox *>(QStringLiteral("qta"))->setValue(3);
        if (editor)
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("pushButtonSave")), Qt::LeftButton);
        else
            dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    const QPoint first = view->visualRect(view->model()->index(0, 0)).center();
    if (editor) {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, first);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, first);
    } else
        child<QToolButton>(composer, "toolButtonSelectedFilesCangeStampaSettings")->click();
    QCOMPARE(m_answerer->count(), 1);
    const Row changed = prints(composer)->stampe().at(0);
    QCOMPARE(changed.IdStampa, 5);
    QCOMPARE(changed.Qta, 3);
    QCOMPARE(view->selectionModel()->selectedRows(0).size(), 1);
    QCOMPARE(stampaCarta->currentText(), QStringLiteral("Lucida"));
    QCOMPARE(stampaFormato->currentText(), QStringLiteral("20x15"));
    QCOMPARE(stampaQta->value(), 3);
}

// ---------------------------------------------------------------------------------------------
// Missing files

void TestPrintSelection::missingFilesAlert_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QList<int>>("left");
    QTest::addColumn<bool>("open");
    const QList<int> all{1, 2, 3, 4, 5, 6, 7};
    QTest::newRow("Continua") << QStringList{"Continua"} << all << true;
    QTest::newRow("Rimuovi, Yes") << QStringList{"Rimuovi file non trovati", "Yes"} << QList<int>{1, 3, 4, 6, 7} << true;
    QTest::newRow("Rimuovi, No") << QStringList{"Rimuovi file non trovati", "No"} << all << true;
    QTest::newRow("Chiudi") << QStringList{"Chiudi"} << all << false;
}

void TestPrintSelection::missingFilesAlert()
{
    QFETCH(QStringList, answers);
    QFETCH(QList<int>, left);
    QFETCH(bool, open);
    OrdiniLocal::OrdineLocal ordine;
    const QString gone = photo(QStringLiteral("gone.jpg"), QSize(400, 300));
    for (int i = 0; i < 7; ++i) {
        const QString file = i == 1 || i == 4 ? gone : photo(QStringLiteral("f%1.jpg").arg(i), QSize(400, 300));
        ordine.righeStampa << PrintEditFixture::row(file, 1, 1, QRectF(), i + 1);
    }
    QVERIFY(OrdiniLocal().SaveXML(ordine));
    const QString orderFile = KorvexGlobals::ordersQueuePath() + QLatin1Char('/') + ordine.Uuid + QStringLiteral(".kv2");
    const QByteArray onDisk = readAll(orderFile);
    QVERIFY(!onDisk.isEmpty());
    QVERIFY(QFile::remove(gone));

    for (const QString &answer : answers)
        m_answerer->answer(answer);
    m_composer = std::make_unique<Composer>(ordine, nullptr);
    m_composer->show();
    QVERIFY(m_answerer->waitForCount(answers.size()));
    QTest::qWait(50);
    QCOMPARE(m_answerer->count(), answers.size());
    QCOMPARE(m_answerer->boxes().first().title, QStringLiteral("File non trovati"));
    QCOMPARE(m_answerer->boxes().first().buttons,
             (QStringList{"Continua", "Rimuovi file non trovati", "Chiudi"}));
    QCOMPARE(m_answerer->boxes().first().defaultButton, QStringLiteral("Continua"));
    QCOMPARE(quantities(m_composer.get()), left);
    QCOMPARE(m_composer->isVisible(), open);
    QCOMPARE(readAll(orderFile), onDisk);
    if (open) {
        const bool missing = left.size() == 7;
        QCOMPARE(child<QToolButton>(m_composer.get(), "toolButtonRemoveInvalid")->isVisibleTo(m_composer.get()), missing);
        // Shown again (a refresh of the form), the order does not alert twice.
        m_composer->ordineToForm(true);
        QCOMPARE(m_answerer->count(), answers.size());
    }
}

void TestPrintSelection::replacement_data()
{
    QTest::addColumn<bool>("missing");
    QTest::addColumn<QString>("replacement"); // a size "WxH", or "text" for a file that is no image
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QRectF>("crop");
    QTest::addColumn<int>("boxes");
    const QRectF centred(0, 166, 4000, 2667);
    QTest::newRow("file present") << false << "4000x3000" << false << centred << 0;
    QTest::newRow("same size: crop kept") << true << "4000x3000" << true << centred << 0;
    QTest::newRow("smaller: crop inside") << true << "2000x1500" << true << QRectF(0, 83, 2000, 1333) << 0;
    QTest::newRow("not an image: refused") << true << "text" << false << centred << 1;
}

void TestPrintSelection::replacement()
{
    QFETCH(bool, missing);
    QFETCH(QString, replacement);
    QFETCH(bool, changed);
    QFETCH(QRectF, crop);
    QFETCH(int, boxes);
    const QString old = photo(QStringLiteral("old.jpg"), QSize(4000, 3000));
    Rows rows{PrintEditFixture::row(old, 1, 2, QRectF(0, 166, 4000, 2667), 2)};
    rows[0].Inviata = true;
    rows[0].WsFileId = QStringLiteral("W1");
    if (missing) {
        m_answerer->answer(QStringLiteral("Continua"));
        QVERIFY(QFile::remove(old));
    }
    QString file;
    if (replacement == QLatin1String("text")) {
        file = m_fixture->bytes(QStringLiteral("new.jpg"), "not a picture\n");
    } else {
        const QStringList wh = replacement.split(QLatin1Char('x'));
        file = photo(QStringLiteral("new.jpg"), QSize(wh.at(0).toInt(), wh.at(1).toInt()));
    }
    Composer *composer = open(rows);
    const int alert = missing ? 1 : 0;
    QTRY_COMPARE(m_answerer->count(), alert);
    if (boxes)
        m_answerer->answer(QMessageBox::Ok);

    QCOMPARE(composer->changeFile(0, file), changed);
    QCOMPARE(m_answerer->count(), alert + boxes);
    const Row after = prints(composer)->stampe().at(0);
    if (changed) {
        QCOMPARE(after.FilePath, QFileInfo(file).absoluteFilePath());
        QCOMPARE(after.FileSize, QFileInfo(file).size());
        QVERIFY(prints(composer)->invalidFilesList().isEmpty());
        QVERIFY(!child<QToolButton>(composer, "toolButtonRemoveInvalid")->isVisibleTo(composer));
    } else {
        QCOMPARE(after.FilePath, QFileInfo(old).absoluteFilePath());
    }
    QCOMPARE(after.Transformation.CropRect, crop);
    QCOMPARE(after.IdStampa, 1);
    QCOMPARE(after.Qta, 2);
}

void TestPrintSelection::replacementDialogCancelled()
{
    const QString old = photo(QStringLiteral("old.jpg"), QSize(800, 600));
    Rows rows = {PrintEditFixture::row(old, 1, 1, QRectF(), 1)};
    QVERIFY(QFile::remove(old));
    m_answerer->answer(QStringLiteral("Continua"));
    Composer *composer = open(rows);
    QTRY_COMPARE(m_answerer->count(), 1);
    select(composer, {0});
    QToolButton *change = child<QToolButton>(composer, "toolButtonSelectedFilesChange");
    QVERIFY(change->isVisibleTo(composer));
    QVERIFY(change->isEnabled());
    m_answerer->answerWith([](QWidget *dialog) { static_cast<QDialog *>(dialog)->reject(); });
    change->click();
    QCOMPARE(m_answerer->count(), 2);
    QCOMPARE(m_answerer->last().className, QStringLiteral("QFileDialog"));
    QCOMPARE(m_answerer->last().title, QStringLiteral("Seleziona un file"));
    QCOMPARE(prints(composer)->stampe().at(0).FilePath, QFileInfo(old).absoluteFilePath());
}

void TestPrintSelection::oneOfThreeRowsReplaced()
{
    const QString old = photo(QStringLiteral("old.jpg"), QSize(800, 600));
    const QString other = photo(QStringLiteral("other.jpg"), QSize(800, 600));
    Rows rows;
    for (int i = 0; i < 3; ++i)
        rows << PrintEditFixture::row(old, 1, 1, QRectF(), i + 1);
    rows.insert(1, PrintEditFixture::row(other, 1, 1, QRectF(), 9));
    QVERIFY(QFile::remove(old));
    m_answerer->answer(QStringLiteral("Continua"));
    Composer *composer = open(rows);
    QTRY_COMPARE(m_answerer->count(), 1);
    const QString fresh = photo(QStringLiteral("fresh.jpg"), QSize(800, 600));
    QVERIFY(composer->changeFile(2, fresh));
    const Rows after = prints(composer)->stampe();
    QCOMPARE(after.at(2).FilePath, fresh);
    QCOMPARE(after.at(0).FilePath, QFileInfo(old).absoluteFilePath());
    QCOMPARE(after.at(3).FilePath, QFileInfo(old).absoluteFilePath());
    QVERIFY(child<QToolButton>(composer, "toolButtonRemoveInvalid")->isVisibleTo(composer));
    QVERIFY(child<QToolButton>(composer, "toolButtonSelectedFilesChange")->isVisibleTo(composer));
    composer->resize(1100, 720);
    QTest::qWait(300);
    saveShot(composer, QStringLiteral("composer-missing-files"));
    // Removing the prints of missing files takes the two left, and no other.
    m_answerer->answer(QMessageBox::Yes);
    child<QToolButton>(composer, "toolButtonRemoveInvalid")->click();
    QCOMPARE(quantities(composer), (QList<int>{9, 2}));
    QVERIFY(!child<QToolButton>(composer, "toolButtonRemoveInvalid")->isVisibleTo(composer));
}

void TestPrintSelection::removal_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QList<int>>("left");
    QTest::addColumn<QString>("question");
    const QList<int> all{1, 2, 3, 4, 5};
    QTest::newRow("Rimuovi, Yes") << "remove" << QList<int>{1, 3} << "Yes" << QList<int>{1, 3, 5}
                                  << "Rimuovere le stampe selezionate?";
    QTest::newRow("Rimuovi, No") << "remove" << QList<int>{1, 3} << "No" << all << "Rimuovere le stampe selezionate?";
    QTest::newRow("Rimuovi, nothing selected") << "remove" << QList<int>{} << "" << all << "";
    QTest::newRow("Rimuovi tutti, Yes") << "all" << QList<int>{2} << "Yes" << QList<int>{}
                                        << "Tutti gli elementi della lista verrano rimossi.\r\nSicuro di voler continuare?";
    QTest::newRow("Rimuovi tutti, No") << "all" << QList<int>{} << "No" << all
                                       << "Tutti gli elementi della lista verrano rimossi.\r\nSicuro di voler continuare?";
    QTest::newRow("Delete key") << "delete" << QList<int>{0, 4} << "Yes" << QList<int>{2, 3, 4}
                                << "Rimuovere le stampe selezionate?";
    QTest::newRow("Delete key, nothing selected") << "delete" << QList<int>{} << "" << all << "";
    QTest::newRow("drag onto the browser") << "drag" << QList<int>{1, 2} << "" << QList<int>{1, 4, 5} << "";
}

void TestPrintSelection::removal()
{
    QFETCH(QString, how);
    QFETCH(QList<int>, selected);
    QFETCH(QString, answer);
    QFETCH(QList<int>, left);
    QFETCH(QString, question);
    Composer *composer = open(rowsOf({1, 3, 5, 1, 4}, 1));
    select(composer, selected);
    if (!answer.isEmpty())
        m_answerer->answer(answer == QLatin1String("Yes") ? QMessageBox::Yes : QMessageBox::No);
    if (how == QLatin1String("remove"))
        child<QToolButton>(composer, "toolButtonRemove")->click();
    else if (how == QLatin1String("all"))
        child<QToolButton>(composer, "toolButtonRemoveAll")->click();
    else if (how == QLatin1String("delete"))
        QTest::keyClick(printList(composer), Qt::Key_Delete);
    else
        composer->dropFromSelectedFiles();
    QCOMPARE(m_answerer->count(), question.isEmpty() ? 0 : 1);
    if (!question.isEmpty()) {
        QCOMPARE(m_answerer->last().text, question);
        QCOMPARE(m_answerer->last().defaultButton, QStringLiteral("No"));
    }
    QCOMPARE(quantities(composer), left);
    QCOMPARE(child<QToolButton>(composer, "toolButtonRemoveAll")->isEnabled(), !left.isEmpty());
    QCOMPARE(child<QToolButton>(composer, "toolButtonAvanti")->isEnabled(), !left.isEmpty());
    QCOMPARE(composer->cursor().shape(), Qt::ArrowCursor);
}

void TestPrintSelection::missingFilesUnderAnyPathForm_data()
{
    QTest::addColumn<QString>("form");
    QTest::newRow("relative") << "relative";
    QTest::newRow("with ..") << "dotdot";
    QTest::newRow("with .") << "dot";
    QTest::newRow("clean absolute") << "absolute";
}

// An order file written by hand or by another program names a missing photo by a path that
// is not in clean absolute form: "Rimuovi file non trovati" takes its prints all the same, and
// nothing is left to block "Avanti".
void TestPrintSelection::missingFilesUnderAnyPathForm()
{
    QFETCH(QString, form);
    const QString kept = photo(QStringLiteral("kept.jpg"), QSize(400, 300));
    const QString gone = photo(QStringLiteral("gone.jpg"), QSize(400, 300));
    const QFileInfo goneInfo(gone);
    QString stored = goneInfo.absoluteFilePath();
    if (form == QLatin1String("relative"))
        stored = QDir::current().relativeFilePath(stored);
    else if (form == QLatin1String("dotdot"))
        stored = goneInfo.absolutePath() + QStringLiteral("/../") + goneInfo.dir().dirName() + QStringLiteral("/gone.jpg");
    else if (form == QLatin1String("dot"))
        stored = goneInfo.absolutePath() + QStringLiteral("/./gone.jpg");
    QVERIFY(QFile::remove(gone));
    Rows rows{PrintEditFixture::row(gone, 1, 1, QRectF(), 1), PrintEditFixture::row(kept, 1, 1, QRectF(), 2),
              PrintEditFixture::row(gone, 1, 1, QRectF(), 3)};
    // As the order file holds it.
    rows[0].FilePath = stored;
    rows[2].FilePath = stored;

    m_answerer->answer(QStringLiteral("Rimuovi file non trovati"));
    m_answerer->answer(QMessageBox::Yes);
    Composer *composer = open(rows, false);
    QVERIFY(m_answerer->waitForCount(2));
    QCOMPARE(m_answerer->boxes().first().title, QStringLiteral("File non trovati"));
    QCOMPARE(m_answerer->last().title, QStringLiteral("Elimina stampe non valide"));
    QTRY_COMPARE(quantities(composer), QList<int>{2});
    QVERIFY(prints(composer)->invalidFilesList().isEmpty());
    QVERIFY(!child<QToolButton>(composer, "toolButtonRemoveInvalid")->isVisibleTo(composer));
    child<QToolButton>(composer, "toolButtonAvanti")->click();
    QCOMPARE(m_answerer->count(), 2);
    QCOMPARE(child<QStackedWidget>(composer, "pages")->currentIndex(), 1);
}

// ---------------------------------------------------------------------------------------------
// Bulk print settings

void TestPrintSelection::bulkPreset_data()
{
    QTest::addColumn<QList<int>>("products");
    QTest::addColumn<QList<int>>("qta");
    QTest::addColumn<QString>("carta");
    QTest::addColumn<QString>("formato");
    QTest::addColumn<int>("shownQta");
    QTest::addColumn<QStringList>("formats");
    const QStringList lucida{QStringLiteral("10x15 orizzontale"), QStringLiteral("10x15 orizzontale"),
                             QStringLiteral("20x15"), QStringLiteral("Senza risoluzione")};
    const QStringList opaca{QStringLiteral("10x15 orizzontale"), QStringLiteral("10x15 verticale")};
    QTest::newRow("all shared, 2 copies") << QList<int>{3, 3, 3} << QList<int>{2, 2, 2} << "Opaca"
                                          << "10x15 orizzontale" << 2 << opaca;
    QTest::newRow("papers differ") << QList<int>{3, 5} << QList<int>{1, 1} << "" << "" << 1 << lucida;
    QTest::newRow("paper shared, formats differ") << QList<int>{3, 4} << QList<int>{1, 1} << "Opaca" << "" << 1 << opaca;
    QTest::newRow("quantities differ") << QList<int>{1, 1} << QList<int>{3, 1} << "Lucida" << "10x15 orizzontale" << 1
                                       << lucida;
    QTest::newRow("5000 shared") << QList<int>{1, 1} << QList<int>{5000, 5000} << "Lucida" << "10x15 orizzontale"
                                 << 5000 << lucida;
}

void TestPrintSelection::bulkPreset()
{
    QFETCH(QList<int>, products);
    QFETCH(QList<int>, qta);
    QFETCH(QString, carta);
    QFETCH(QString, formato);
    QFETCH(int, shownQta);
    QFETCH(QStringList, formats);
    Rows rows = rowsOf(products, 2);
    for (int i = 0; i < rows.size(); ++i)
        rows[i].Qta = qta.at(i);
    Composer *composer = open(rows);
    const QStringList before = describe(prints(composer)->stampe());
    QList<int> all;
    for (int i = 0; i < rows.size(); ++i)
        all << i;
    select(composer, all);
    QString shownCarta, shownFormato;
    QStringList shownFormats;
    int shown = -1;
    QSize size;
    m_answerer->answerWith([&](QWidget *dialog) {
        shownCarta = dialog->findChild<QComboBox *>(QStringLiteral("carta"))->currentText();
        shownFormato = dialog->findChild<QComboBox *>(QStringLiteral("formato"))->currentText();
        shownFormats = items(dialog->findChild<QComboBox *>(QStringLiteral("formato")));
        shown = dialog->findChild<QSpinBox *>(QStringLiteral("qta"))->value();
        size = dialog->size();
        static_cast<QDialog *>(dialog)->reject();
    });
    child<QToolButton>(composer, "toolButtonSelectedFilesCangeStampaSettings")->click();
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(m_answerer->last().title, QStringLiteral("Impostazioni di stampa"));
    QCOMPARE(shownCarta, carta);
    QCOMPARE(shownFormato, formato);
    QCOMPARE(shown, shownQta);
    QCOMPARE(shownFormats, formats);
    QCOMPARE(size, QSize(447, 220));
    // Cancelled: no print changed.
    QCOMPARE(describe(prints(composer)->stampe()), before);
}

void TestPrintSelection::bulkOk()
{
    Rows rows = rowsOf({3, 3, 4}, 2);
    rows[1].Transformation.Type = 1;
    rows[1].Transformation.CropRect = QRectF();
    for (Row &r : rows) {
        r.Inviata = true;
        r.WsFileId = QStringLiteral("W%1").arg(r.Qta);
    }
    Composer *composer = open(rows);
    select(composer, {0, 1, 2});
    m_answerer->answerWith([](QWidget *dialog) {
        auto *carta = dialog->findChild<QComboBox *>(QStringLiteral("carta"));
        carta->setCurrentIndex(carta->findText(QStringLiteral("Lucida")));
        auto *formato = dialog->findChild<QComboBox *>(QStringLiteral("formato"));
        formato->setCurrentIndex(formato->findText(QStringLiteral("10x15 orizzontale")));
        dialog->findChild<QSpinBox *>(QStringLiteral("qta"))->setValue(3);
        saveShot(dialog, QStringLiteral("bulk-print-settings"));
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    child<QToolButton>(composer, "toolButtonSelectedFilesCangeStampaSettings")->click();
    QCOMPARE(m_answerer->count(), 1);
    const Rows after = prints(composer)->stampe();
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(after.at(i).IdStampa, 1);
        QCOMPARE(after.at(i).Prezzo, 0.25);
        QCOMPARE(after.at(i).Codice, QStringLiteral("ST1015L"));
        QCOMPARE(after.at(i).Qta, 3);
        QCOMPARE(after.at(i).Inviata, true);
        QCOMPARE(after.at(i).WsFileId, rows.at(i).WsFileId);
        QCOMPARE(after.at(i).FilePath, rows.at(i).FilePath);
        QCOMPARE(after.at(i).FileSize, rows.at(i).FileSize);
        QCOMPARE(after.at(i).Transformation.Type, rows.at(i).Transformation.Type);
    }
    // The first print keeps its format (another paper): its crop stays. The third changes
    // from the upright 10x15 to the landscape one: centred anew.
    QCOMPARE(after.at(0).Transformation.CropRect, QRectF(10, 20, 1200, 800));
    QCOMPARE(after.at(1).Transformation.CropRect, QRectF());
    QCOMPARE(after.at(2).Transformation.CropRect, QRectF(0, 166, 4000, 2667));
}

void TestPrintSelection::bulkCancel()
{
    Composer *composer = open(rowsOf({3, 5}, 2));
    const QStringList before = describe(prints(composer)->stampe());
    select(composer, {0, 1});
    m_answerer->answerWith([](QWidget *dialog) {
        dialog->findChild<QSpinBox *>(QStringLiteral("qta"))->setValue(8);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel)->click();
    });
    child<QToolButton>(composer, "toolButtonSelectedFilesCangeStampaSettings")->click();
    QCOMPARE(describe(prints(composer)->stampe()), before);
}

void TestPrintSelection::bulkWithoutPaper()
{
    Composer *composer = open(rowsOf({3, 5}, 2));
    const QStringList before = describe(prints(composer)->stampe());
    select(composer, {0, 1});
    m_answerer->answerWith([](QWidget *dialog) {
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        // The warning has been answered; the dialog is still open.
        QVERIFY(dialog->isVisible());
        static_cast<QDialog *>(dialog)->reject();
    });
    m_answerer->answer(QMessageBox::Ok);
    child<QToolButton>(composer, "toolButtonSelectedFilesCangeStampaSettings")->click();
    QCOMPARE(m_answerer->count(), 2);
    QCOMPARE(m_answerer->last().title, QStringLiteral("Stampa non valida"));
    QCOMPARE(m_answerer->last().text, QStringLiteral("Selezionare un formato e una carta dalla lista"));
    QCOMPARE(describe(prints(composer)->stampe()), before);
}

void TestPrintSelection::bulkOnAFailingCatalogue()
{
    Composer *composer = open(rowsOf({3, 5}, 2));
    const QStringList before = describe(prints(composer)->stampe());
    select(composer, {0, 1});
    m_fixture->breakCatalogue();
    m_answerer->answer(QMessageBox::Ok);
    child<QToolButton>(composer, "toolButtonSelectedFilesCangeStampaSettings")->click();
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(m_answerer->last().className, QStringLiteral("QMessageBox"));
    QCOMPARE(m_answerer->last().title, QStringLiteral("Modifica impostazioni di stampa"));
    QCOMPARE(m_answerer->last().text, QStringLiteral("Impossibile modificare le impostazioni di stampa a causa di un errore."));
    QCOMPARE(describe(prints(composer)->stampe()), before);
    m_fixture->restoreCatalogue();
}

// A bulk change of prints of several files and products, some sharing a file or a product
// with prints left out of the selection, one of a missing file: the selected prints get the
// product and their crops, each is repainted once in the selection's order and nothing else
// is; a product only the selected prints used leaves the model, those of the others stay;
// every thumbnail stays, since every file is still shown, and the missing file stays missing.
void TestPrintSelection::bulkOnMixedPrints()
{
    const QString a = photo(QStringLiteral("a.jpg"), QSize(4000, 3000));
    const QString b = photo(QStringLiteral("b.jpg"), QSize(3000, 4000));
    const QString d = photo(QStringLiteral("d.jpg"), QSize(4000, 3000));
    const QString gone = photo(QStringLiteral("gone.jpg"), QSize(400, 300));
    const QRectF chosen(10, 20, 1200, 800);
    const Rows rows{PrintEditFixture::row(a, 1, 2, chosen, 1),         PrintEditFixture::row(d, 3, 1, QRectF(), 2),
                    PrintEditFixture::row(d, 4, 2, chosen, 3),         PrintEditFixture::row(b, 5, 2, chosen, 4),
                    PrintEditFixture::row(gone, 3, 1, QRectF(), 5),    PrintEditFixture::row(a, 4, 1, QRectF(), 6),
                    PrintEditFixture::row(b, 1, 2, chosen, 7)};
    const QList<int> selected{0, 2, 3, 4, 6};
    QVERIFY(QFile::remove(gone));
    m_answerer->answer(QStringLiteral("Continua"));
    Composer *composer = open(rows);
    QVERIFY(m_answerer->waitForCount(1));
    PrintModel *model = prints(composer);
    QTRY_VERIFY(!model->isLoadingThumbs() && PrintModel::m_images.size() == 3);
    QCOMPARE(model->invalidFilesList().size(), 1);

    // What the change gives each selected print: product 5 (20x15 on Lucida), 3 copies, and a
    // crop centred anew where the format changes (all but the print of product 5).
    const OrdiniLocal::FormatoLocal formato = OrdiniLocal().StampaLocalFromDb(5).formato;
    Rows expected = rows;
    for (int row : selected) {
        const Row product = PrintEditFixture::row(rows.at(row).FilePath, 5);
        Row &riga = expected[row];
        riga.IdStampa = 5;
        riga.Codice = product.Codice;
        riga.Descrizione = product.Descrizione;
        riga.Prezzo = product.Prezzo;
        riga.FormatoDesc = product.FormatoDesc;
        riga.CartaDesc = product.CartaDesc;
        riga.Qta = 3;
        if (riga.Transformation.Type == 2 && rows.at(row).IdStampa != 5) {
            const QSize image = riga.FilePath == b ? QSize(3000, 4000) : QSize(4000, 3000);
            QSize print(formato.colonna3, formato.colonna4);
            if ((print.width() > print.height()) != (image.width() > image.height()))
                print.transpose();
            riga.Transformation.CropRect = QRectF(imageUtility::calculateCropRect(image, print));
        }
    }

    select(composer, selected);
    QStringList log;
    connect(model, &QAbstractItemModel::dataChanged, this,
            [&log](const QModelIndex &from, const QModelIndex &to, const QVector<int> &roles) {
                log << QStringLiteral("changed %1-%2 (%3 roles)").arg(from.row()).arg(to.row()).arg(roles.size());
            });
    connect(model, &QAbstractItemModel::rowsInserted, this, [&log] { log << QStringLiteral("inserted"); });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [&log] { log << QStringLiteral("removed"); });
    m_answerer->answerWith([](QWidget *dialog) {
        auto *carta = dialog->findChild<QComboBox *>(QStringLiteral("carta"));
        carta->setCurrentIndex(carta->findText(QStringLiteral("Lucida")));
        auto *formatoBox = dialog->findChild<QComboBox *>(QStringLiteral("formato"));
        formatoBox->setCurrentIndex(formatoBox->findText(QStringLiteral("20x15")));
        dialog->findChild<QSpinBox *>(QStringLiteral("qta"))->setValue(3);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    child<QToolButton>(composer, "toolButtonSelectedFilesCangeStampaSettings")->click();
    disconnect(model, nullptr, this, nullptr);
    QCOMPARE(m_answerer->count(), 2);

    QCOMPARE(describe(model->stampe()), describe(expected));
    QStringList repainted;
    for (int row : selected)
        repainted << QStringLiteral("changed %1-%1 (0 roles)").arg(row);
    QCOMPARE(log, repainted);
    QCOMPARE(model->isValidStampa(1), false);
    for (int id : {3, 4, 5})
        QVERIFY2(model->isValidStampa(id), qPrintable(QString::number(id)));
    QCOMPARE(PrintModel::m_images.keys(), (QStringList{a, b, d}));
    QCOMPARE(model->invalidFilesList().size(), 1);
    QCOMPARE(model->invalidFilesList().first().absoluteFilePath(), gone);
    QCOMPARE(model->filePath2righeStampaIndex(a), (QList<int>{0, 5}));
    QCOMPARE(model->filePath2righeStampaIndex(b), (QList<int>{3, 6}));
    QCOMPARE(model->idStampa2righeStampaIndex(5), selected);
}

void TestPrintSelection::cropKeptWhereTheFormatStays_data()
{
    QTest::addColumn<QString>("how");  // "bulk": the settings dialog; "panel": the format combo
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("carta");
    QTest::addColumn<QString>("formato");
    QTest::addColumn<int>("qta");      // bulk only
    QTest::addColumn<QList<int>>("products");
    QTest::addColumn<QList<QRectF>>("crops");
    // Two prints cropped by hand to (10, 20, 1200, 800) on a 4000 x 3000 photo: product 1
    // (10x15 orizzontale, Lucida) and product 5 (20x15, Lucida).
    const QRectF chosen(10, 20, 1200, 800);
    const QRectF centred1015(0, 166, 4000, 2667);
    const QRectF centred2015(31, 0, 3937, 3000);
    QTest::newRow("bulk, copies only") << "bulk" << QList<int>{0} << "Lucida" << "10x15 orizzontale" << 4
                                       << QList<int>{1, 5} << QList<QRectF>{chosen, chosen};
    QTest::newRow("bulk, paper only") << "bulk" << QList<int>{0} << "Opaca" << "10x15 orizzontale" << 1
                                      << QList<int>{3, 5} << QList<QRectF>{chosen, chosen};
    QTest::newRow("bulk, format changes") << "bulk" << QList<int>{0} << "Lucida" << "20x15" << 1 << QList<int>{5, 5}
                                          << QList<QRectF>{centred2015, chosen};
    QTest::newRow("bulk, one of two changes format") << "bulk" << QList<int>{0, 1} << "Lucida" << "10x15 orizzontale"
                                                     << 2 << QList<int>{1, 1}
                                                     << QList<QRectF>{chosen, centred1015};
    QTest::newRow("panel, the format shown again") << "panel" << QList<int>{0} << "" << "10x15 orizzontale" << 0
                                                   << QList<int>{1, 5} << QList<QRectF>{chosen, chosen};
    QTest::newRow("panel, another format") << "panel" << QList<int>{1} << "" << "10x15 orizzontale" << 0
                                           << QList<int>{1, 1} << QList<QRectF>{chosen, centred1015};
}

void TestPrintSelection::cropKeptWhereTheFormatStays()
{
    QFETCH(QString, how);
    QFETCH(QList<int>, selected);
    QFETCH(QString, carta);
    QFETCH(QString, formato);
    QFETCH(int, qta);
    QFETCH(QList<int>, products);
    QFETCH(QList<QRectF>, crops);
    Composer *composer = open(rowsOf({1, 5}, 2));
    select(composer, selected);
    if (how == QLatin1String("bulk")) {
        m_answerer->answerWith([&](QWidget *dialog) {
            auto *cartaBox = dialog->findChild<QComboBox *>(QStringLiteral("carta"));
            cartaBox->setCurrentIndex(cartaBox->findText(carta));
            auto *formatoBox = dialog->findChild<QComboBox *>(QStringLiteral("formato"));
            formatoBox->setCurrentIndex(formatoBox->findText(formato));
            dialog->findChild<QSpinBox *>(QStringLiteral("qta"))->setValue(qta);
            dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        });
        child<QToolButton>(composer, "toolButtonSelectedFilesCangeStampaSettings")->click();
        QCOMPARE(m_answerer->count(), 1);
    } else {
        choose(child<QComboBox>(composer, "stampaFormato"), formato);
        QCOMPARE(m_answerer->count(), 0);
    }
    const Rows after = prints(composer)->stampe();
    for (int i = 0; i < after.size(); ++i) {
        QCOMPARE(after.at(i).IdStampa, products.at(i));
        QCOMPARE(after.at(i).Transformation.CropRect, crops.at(i));
        if (how == QLatin1String("bulk") && selected.contains(i))
            QCOMPARE(after.at(i).Qta, qta);
    }
}

QTEST_MAIN(TestPrintSelection)
#include "tst_printselection.moc"
