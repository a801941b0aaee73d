// The photo print editor: opening rows good and bad, paper and format choice, saving and
// closing, replacing a missing image, and the crop area under real mouse events.

#include <functional>

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QPushButton>
#include <QGroupBox>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "articolostampafotograficafotoeditor.h"
#include "catalogfixture.h"
#include "korvex2exception.h"
#include "korvexglobals.h"
#include "messagecatcher.h"
#include "modalanswerer.h"
#include "printeditfixture.h"
#include "testimages.h"

using Editor = ArticoloStampaFotograficaFotoEditor;
using Row = OrdiniLocal::OrdineRigaStampaLocal;

class tst_PhotoEditor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void formConnectsEverySlotAndTexts();
    void opening_data();
    void opening();
    void tooSmallNotice_data();
    void tooSmallNotice();
    void productFailingToLoadIsShown();
    void listsAreReadAtEachOpening();
    void failingListsLeaveTheConstructor();
    void paperChangeNarrowsFormatsAndSaves();
    void errorsQuestionNoEmitsNothing();
    void closeQuestion_data();
    void closeQuestion();
    void replacingTheImage_data();
    void replacingTheImage();
    void cropAreaGeometry();
    void cropDragClamping_data();
    void cropDragClamping();
    void cropDragInFitModeDoesNothing();
    void imageSmallerThanFormat();
    void noPictureNoDivision();

private:
    // An editor shown at its size, with its drag connected.
    std::unique_ptr<Editor> open(const Row &riga);
    static Row saved(Editor &editor, ModalAnswerer *answerer = nullptr);
    template<typename T> static T *child(Editor &editor, const char *name)
    {
        T *widget = editor.findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no %s", name);
        return widget;
    }
    static void drag(Editor &editor, const QPoint &from, const QPoint &to);
    static QString cropLabel(Editor &editor) { return child<QLabel>(editor, "labelCropAreaSize")->text(); }

    std::unique_ptr<PrintEditFixture> m_fixture;
    QString m_large;  // 3000 x 2000 quadrants
};

void tst_PhotoEditor::initTestCase()
{
    Q_INIT_RESOURCE(application);
    m_fixture = std::make_unique<PrintEditFixture>();
    QVERIFY2(m_fixture->ok(), qPrintable(m_fixture->error()));
    m_large = m_fixture->quadrants(QStringLiteral("grande.png"), QSize(3000, 2000));
}

void tst_PhotoEditor::cleanup()
{
    m_fixture->restoreCatalogue();
}

std::unique_ptr<Editor> tst_PhotoEditor::open(const Row &riga)
{
    auto editor = std::make_unique<Editor>(riga);
    editor->resize(800, 832);
    editor->show();
    if (!QTest::qWaitForWindowExposed(editor.get()))
        qWarning("editor not exposed");
    // The drag is connected by a 200 ms timer that the editor starts when it is made: one
    // started now, as long, fires after it.
    bool connected = false;
    QTimer::singleShot(200, editor.get(), [&connected] { connected = true; });
    if (!QTest::qWaitFor([&connected] { return connected; }, 60000))
        qWarning("the editor's drag was not connected");
    return editor;
}

Row tst_PhotoEditor::saved(Editor &editor, ModalAnswerer *answerer)
{
    QSignalSpy spy(&editor, &Editor::dataChanged);
    child<QPushButton>(editor, "pushButtonSave")->click();
    if (answerer)
        answerer->waitForCount(answerer->count());
    if (spy.count() != 1) {
        qWarning("dataChanged emitted %d times", spy.count());
        return Row();
    }
    return spy.first().at(0).value<Row>();
}

void tst_PhotoEditor::drag(Editor &editor, const QPoint &from, const QPoint &to)
{
    QLabel *foto = child<QLabel>(editor, "Foto");
    QMouseEvent press(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(foto, &press);
    const QPoint middle = (from + to) / 2;
    QMouseEvent move1(QEvent::MouseMove, middle, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(foto, &move1);
    QMouseEvent move2(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(foto, &move2);
    QMouseEvent release(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(foto, &release);
}

void tst_PhotoEditor::formConnectsEverySlotAndTexts()
{
    MessageCatcher catcher;
    auto editor = open(PrintEditFixture::row(m_large, 1));
    QVERIFY2(catcher.matching(QStringLiteral("connectSlotsByName")).isEmpty(),
             qPrintable(catcher.matching(QStringLiteral("connectSlotsByName")).join('\n')));
    QCOMPARE(editor->windowTitle(), QStringLiteral("Adatta Foto"));
    QVERIFY(child<QGroupBox>(*editor, "groupBoxRegola")->isHidden());
    // The settings column keeps its width; only the preview grows.
    const int column = child<QWidget>(*editor, "widgetMenu")->width();
    const int preview = child<QLabel>(*editor, "Foto")->width();
    editor->resize(1100, 832);
    QTest::qWait(20);
    QCOMPARE(child<QWidget>(*editor, "widgetMenu")->width(), column);
    QVERIFY(child<QLabel>(*editor, "Foto")->width() > preview);
    QCOMPARE(child<QLabel>(*editor, "label_16")->buddy(), child<QWidget>(*editor, "qta"));
}

void tst_PhotoEditor::opening_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("idStampa");
    QTest::addColumn<int>("warnings");      // rows shown: 1 generic, 2 product, 4 file
    QTest::addColumn<QString>("carta");
    QTest::addColumn<QString>("formato");
    QTest::addColumn<bool>("settingsEnabled");

    QTest::newRow("good row") << "giusta.png" << 1 << 0 << "Lucida" << "10x15 orizzontale" << true;
    QTest::newRow("missing file") << "manca.jpg" << 4 << 4 << "Opaca" << "10x15 verticale" << false;
    QTest::newRow("product id 0") << "giusta.png" << 0 << 2 << "" << "" << true;
    QTest::newRow("product not in catalogue") << "giusta.png" << 99 << 2 << "" << "" << true;
    QTest::newRow("too small") << "piccola.png" << 1 << 1 << "Lucida" << "10x15 orizzontale" << true;
    QTest::newRow("missing file, no product") << "manca.jpg" << 0 << 6 << "" << "" << false;
}

void tst_PhotoEditor::opening()
{
    QFETCH(QString, file);
    QFETCH(int, idStampa);
    QFETCH(int, warnings);
    QFETCH(QString, carta);
    QFETCH(QString, formato);
    QFETCH(bool, settingsEnabled);
    m_fixture->solid(QStringLiteral("giusta.png"), QSize(1800, 1200), Qt::darkCyan);
    m_fixture->solid(QStringLiteral("piccola.png"), QSize(900, 600), Qt::darkCyan);

    Row riga = PrintEditFixture::row(m_fixture->path(file), idStampa, 2, QRectF(), 7);
    ModalAnswerer answerer;
    auto editor = open(riga);
    QCOMPARE(answerer.count(), 0);

    QCOMPARE(child<QSpinBox>(*editor, "qta")->value(), 7);
    QVERIFY(child<QRadioButton>(*editor, "radioButtonRitaglia")->isChecked());
    QVERIFY(!child<QRadioButton>(*editor, "radioButtonAdatta")->isChecked());
    QCOMPARE(child<QComboBox>(*editor, "carta")->currentText(), carta);
    QCOMPARE(child<QComboBox>(*editor, "formato")->currentText(), formato);
    QCOMPARE(child<QWidget>(*editor, "widgetWarning")->isVisible(), warnings != 0);
    QCOMPARE(child<QWidget>(*editor, "widgetWarningGeneric")->isVisible(), bool(warnings & 1));
    QCOMPARE(child<QWidget>(*editor, "widgetWarningStampaNotFound")->isVisible(), bool(warnings & 2));
    QCOMPARE(child<QWidget>(*editor, "widgetWarningFileNotFound")->isVisible(), bool(warnings & 4));
    QCOMPARE(child<QLabel>(*editor, "labelWarningFileNotFound_2")->isVisible(), bool(warnings & 4));
    QCOMPARE(child<QGroupBox>(*editor, "groupBoxImpostazioniStampa")->isEnabled(), settingsEnabled);
    QVERIFY(!child<QGroupBox>(*editor, "groupBoxRegola")->isVisible());
    QCOMPARE(editor->activeWarnings() != 0, warnings != 0);
    if (warnings & 2)
        QCOMPARE(child<QLabel>(*editor, "labelWarningStampaNotFound")->text(),
                 QStringLiteral("Il formato e la carta scelti non sono più disponibili, si prega di "
                                "verificare le preferenze di stampa."));

    // Saving as it stands keeps the row's copies and product.
    if (warnings)
        answerer.answer(QMessageBox::Yes);
    const Row out = saved(*editor, &answerer);
    QCOMPARE(out.Qta, 7);
    QCOMPARE(out.IdStampa, idStampa);
    QCOMPARE(out.FilePath, riga.FilePath);
}

void tst_PhotoEditor::tooSmallNotice_data()
{
    QTest::addColumn<QSize>("image");
    QTest::addColumn<int>("idStampa");
    QTest::addColumn<bool>("tooSmall");
    QTest::newRow("3000x2000 on 1200x1800") << QSize(3000, 2000) << 4 << false;
    QTest::newRow("1000x1500 on 1200x1800") << QSize(1000, 1500) << 4 << true;
    QTest::newRow("1500x1500 on 1200x1800") << QSize(1500, 1500) << 4 << true;
    QTest::newRow("2000x1300 on 1800x1200") << QSize(2000, 1300) << 1 << false;
    QTest::newRow("1000x1500 on 1800x1200") << QSize(1000, 1500) << 1 << true;
    QTest::newRow("one pixel short") << QSize(1799, 1200) << 1 << true;
}

void tst_PhotoEditor::tooSmallNotice()
{
    QFETCH(QSize, image);
    QFETCH(int, idStampa);
    QFETCH(bool, tooSmall);
    const QString file = m_fixture->solid(QStringLiteral("misura.png"), image, Qt::gray);
    auto editor = open(PrintEditFixture::row(file, idStampa));
    QCOMPARE(child<QWidget>(*editor, "widgetWarningGeneric")->isVisible(), tooSmall);
    if (tooSmall)
        QVERIFY(child<QLabel>(*editor, "labelWarningGeneric")->text().startsWith(
            QStringLiteral("La stampa non è ottimale.")));
}

void tst_PhotoEditor::productFailingToLoadIsShown()
{
    // Product 7 names format 0, which the catalogue refuses to read: the editor still opens
    // with the row's copies and picture, and tells why the product is missing.
    ModalAnswerer answerer;
    answerer.answer(QMessageBox::Ok);
    auto editor = open(PrintEditFixture::row(m_large, 7, 1, QRectF(), 5));
    QVERIFY(answerer.waitForCount(1));
    QCOMPARE(answerer.last().title, QStringLiteral("Modifica impostazioni di stampa"));
    QVERIFY2(answerer.last().text.startsWith(QStringLiteral("E' necessario specificare un ID valido")),
             qPrintable(answerer.last().text));
    QCOMPARE(child<QSpinBox>(*editor, "qta")->value(), 5);
    QVERIFY(child<QWidget>(*editor, "widgetWarningStampaNotFound")->isVisible());
    QVERIFY(!child<QWidget>(*editor, "widgetWarningFileNotFound")->isVisible());
}

void tst_PhotoEditor::listsAreReadAtEachOpening()
{
    auto first = open(PrintEditFixture::row(m_large, 1));
    QCOMPARE(child<QComboBox>(*first, "carta")->count(), 2);
    first.reset();
    // A catalogue without a paper that the first opening offered.
    {
        QSqlQuery query(KorvexGlobals::db);
        QVERIFY(query.exec(QStringLiteral("DELETE FROM stampe WHERE carta = 2")));
    }
    auto second = open(PrintEditFixture::row(m_large, 1));
    QCOMPARE(child<QComboBox>(*second, "carta")->count(), 1);
    second.reset();
    const QString catalogue = KorvexGlobals::SqlDbHost;
    m_fixture->breakCatalogue();
    QString error;
    QVERIFY2(catalogfixture::buildFixture(catalogue, &error), qPrintable(error));
}

void tst_PhotoEditor::failingListsLeaveTheConstructor()
{
    m_fixture->breakCatalogue();
    bool thrown = false;
    try {
        Editor editor(PrintEditFixture::row(m_large, 1));
    } catch (const Korvex2Exception &e) {
        thrown = QString::fromStdString(e.message).startsWith(QStringLiteral("Impossibile caricare"));
    }
    QVERIFY(thrown);
}

void tst_PhotoEditor::paperChangeNarrowsFormatsAndSaves()
{
    // Product 5: "20x15" on "Lucida"; "Opaca" offers only the two 10x15 formats.
    auto editor = open(PrintEditFixture::row(m_large, 5, 1, QRectF(), 3));
    QComboBox *carta = child<QComboBox>(*editor, "carta");
    QComboBox *formato = child<QComboBox>(*editor, "formato");
    QCOMPARE(formato->currentText(), QStringLiteral("20x15"));
    carta->setCurrentIndex(carta->findText(QStringLiteral("Opaca")));
    QMetaObject::invokeMethod(carta, "activated", Q_ARG(QString, carta->currentText()));
    QCOMPARE(formato->count(), 2);
    QCOMPARE(formato->currentText(), QStringLiteral("10x15 orizzontale"));
    child<QSpinBox>(*editor, "qta")->setValue(12);

    const Row out = saved(*editor);
    QCOMPARE(out.IdStampa, 3);
    QCOMPARE(out.Codice, QStringLiteral("ST1015O"));
    QCOMPARE(out.Descrizione, QStringLiteral("Stampa 10x15 su carta opaca"));
    QCOMPARE(out.Prezzo, 0.27);
    QCOMPARE(out.FormatoDesc, QStringLiteral("10x15 orizzontale"));
    QCOMPARE(out.CartaDesc, QStringLiteral("Opaca"));
    QCOMPARE(out.Qta, 12);
    QCOMPARE(out.Transformation.Type, 1);
    QTRY_VERIFY_WITH_TIMEOUT(!editor->isVisible(), 60000);
}

void tst_PhotoEditor::errorsQuestionNoEmitsNothing()
{
    ModalAnswerer answerer;
    auto editor = open(PrintEditFixture::row(m_fixture->path("manca.jpg"), 1));
    QSignalSpy spy(editor.get(), &Editor::dataChanged);
    answerer.answer(QMessageBox::No);
    child<QPushButton>(*editor, "pushButtonSave")->click();
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().text, QStringLiteral("Sono stati rilevati uno o più errori, continuare ugualmente?"));
    QCOMPARE(answerer.last().defaultButton, QStringLiteral("No"));
    QCOMPARE(spy.count(), 0);
    QTest::qWait(20);
    QVERIFY(editor->isVisible());
}

void tst_PhotoEditor::closeQuestion_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("emitted");
    QTest::addColumn<bool>("open");
    // "Annulla", the window's close box and Escape all end the editor the same way.
    for (const char *how : {"Annulla", "close box", "Escape"}) {
        QTest::addRow("%s, yes saves and closes", how) << how << int(QMessageBox::Yes) << 1 << false;
        QTest::addRow("%s, no closes", how) << how << int(QMessageBox::No) << 0 << false;
        QTest::addRow("%s, abort stays", how) << how << int(QMessageBox::Abort) << 0 << true;
    }
}

void tst_PhotoEditor::closeQuestion()
{
    QFETCH(QString, how);
    QFETCH(int, answer);
    QFETCH(int, emitted);
    QFETCH(bool, open);
    ModalAnswerer answerer;
    auto editor = this->open(PrintEditFixture::row(m_large, 1));
    child<QSpinBox>(*editor, "qta")->setValue(9);
    QSignalSpy spy(editor.get(), &Editor::dataChanged);
    answerer.answer(QMessageBox::StandardButton(answer));
    if (how == QLatin1String("Annulla"))
        child<QPushButton>(*editor, "pushButtonClose")->click();
    else if (how == QLatin1String("close box"))
        editor->close();
    else
        QTest::keyClick(editor.get(), Qt::Key_Escape);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().title, QStringLiteral("Salva Immagine"));
    QCOMPARE(answerer.last().text, QStringLiteral("Desideri salvare i cambiamenti apportati alla foto?"));
    QCOMPARE(answerer.last().defaultButton, QStringLiteral("Yes"));
    // The editor closes from a timer; one that stays open is looked at for a while.
    if (open)
        QTest::qWait(30);
    else
        QTRY_VERIFY_WITH_TIMEOUT(!editor->isVisible(), 60000);
    QCOMPARE(spy.count(), emitted);
    QCOMPARE(editor->isVisible(), open);
    if (emitted)
        QCOMPARE(spy.first().at(0).value<Row>().Qta, 9);
    // A close after a save asks nothing.
    QCOMPARE(answerer.unexpected(), 0);
}

void tst_PhotoEditor::replacingTheImage_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<bool>("cropKept");
    QTest::newRow("an image") << "nuova.png" << true << true;
    QTest::newRow("not an image") << "testo.jpg" << false << true;
    QTest::newRow("a smaller image") << "minore.png" << true << false;
}

void tst_PhotoEditor::replacingTheImage()
{
    QFETCH(QString, chosen);
    QFETCH(bool, replaced);
    QFETCH(bool, cropKept);
    m_fixture->quadrants(QStringLiteral("nuova.png"), QSize(2400, 1600));
    m_fixture->bytes(QStringLiteral("testo.jpg"), "Solo testo.\n");
    m_fixture->quadrants(QStringLiteral("minore.png"), QSize(900, 600));
    const QRectF crop(300, 200, 1800, 1200);
    const Row riga = PrintEditFixture::row(m_fixture->path("sparita.jpg"), 1, 2, crop, 2);
    const QString path = m_fixture->path(chosen);

    ModalAnswerer answerer;
    auto editor = open(riga);
    answerer.answerWith([path](QWidget *box) {
        auto *dialog = qobject_cast<QFileDialog *>(box);
        if (!dialog)
            return;
        // As a user would: the name typed into the dialog's own field, then Open.
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (name)
            name->setText(path);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    });
    if (!replaced)
        answerer.answer(QMessageBox::Ok);
    QMetaObject::invokeMethod(child<QLabel>(*editor, "labelWarningFileNotFound_2"), "linkActivated",
                              Q_ARG(QString, QStringLiteral("#")));
    QVERIFY(answerer.waitForCount(replaced ? 1 : 2));
    QCOMPARE(answerer.boxes().first().className, QStringLiteral("QFileDialog"));
    QCOMPARE(child<QWidget>(*editor, "widgetWarningFileNotFound")->isVisible(), !replaced);

    if (editor->activeWarnings() != 0)
        answerer.answer(QMessageBox::Yes); // the errors question
    const Row out = saved(*editor, &answerer);
    QCOMPARE(out.FilePath, replaced ? path : riga.FilePath);
    QCOMPARE(out.FileSize, replaced ? QFileInfo(path).size() : riga.FileSize);
    QCOMPARE(out.Qta, 2);
    if (cropKept) {
        QCOMPARE(out.Transformation.CropRect, crop);
    } else {
        // Gone with the old image: the new one gets its largest centred area.
        QCOMPARE(out.Transformation.CropRect, QRectF(0, 0, 900, 600));
    }
}

void tst_PhotoEditor::cropAreaGeometry()
{
    // 3000 x 2000 on the 1200 x 1800 format, no crop chosen yet.
    auto editor = open(PrintEditFixture::row(m_large, 4, 2));
    QSlider *slider = child<QSlider>(*editor, "CropAreaSlider");
    QCOMPARE(slider->minimum(), 0);
    QCOMPARE(slider->maximum(), 1200);
    QCOMPARE(slider->value(), 1200);
    QCOMPARE(cropLabel(*editor), QStringLiteral("3000x2000 px"));
    QVERIFY(child<QWidget>(*editor, "widgetCropAreaResize")->isVisible());

    slider->setValue(0);
    QCOMPARE(cropLabel(*editor), QStringLiteral("1800x1200 px"));
    // The preview shades what lies outside the area: the top-left corner is in it, the
    // bottom-right one is not.
    const QImage preview = child<QLabel>(*editor, "Foto")->pixmap(Qt::ReturnByValue).toImage();
    QVERIFY(TestImages::colourDistance(preview.pixel(4, 4), TestImages::quadrantColour(0).rgb()) <= 20);
    const QColor shaded(preview.pixel(preview.width() - 4, preview.height() - 4));
    QVERIFY2(shaded.red() < 110 && shaded.green() < 100 && shaded.red() > 70, qPrintable(shaded.name()));
    slider->setValue(1200);
    QCOMPARE(cropLabel(*editor), QStringLiteral("3000x2000 px"));

    QToolButton *rotate = child<QToolButton>(*editor, "pushButtonCropRotate");
    rotate->click();
    QCOMPARE(cropLabel(*editor), QStringLiteral("1333x2000 px"));
    QCOMPARE(slider->value(), slider->maximum());
    Row out = saved(*editor);
    QCOMPARE(out.Transformation.CropRect, QRectF(833, 0, 1333, 2000));
    editor = open(out);
    child<QToolButton>(*editor, "pushButtonCropRotate")->click();
    QCOMPARE(cropLabel(*editor), QStringLiteral("3000x2000 px"));

    // Smaller, moved, then reset: the largest centred area again.
    child<QSlider>(*editor, "CropAreaSlider")->setValue(0);
    drag(*editor, QPoint(300, 300), QPoint(400, 350));
    child<QToolButton>(*editor, "toolButtonUndoCropSize")->click();
    QCOMPARE(cropLabel(*editor), QStringLiteral("3000x2000 px"));
    QCOMPARE(child<QSlider>(*editor, "CropAreaSlider")->value(), 1200);
    out = saved(*editor);
    QCOMPARE(out.Transformation.CropRect, QRectF(0, 0, 3000, 2000));
    QCOMPARE(out.Transformation.Type, 2);
}

void tst_PhotoEditor::cropDragClamping_data()
{
    QTest::addColumn<QPoint>("step");      // preview pixels
    QTest::addColumn<QPointF>("topLeft");  // expected, full-image pixels; NaN: computed
    const qreal computed = -1;
    QTest::newRow("past the left and top edges") << QPoint(-400, -400) << QPointF(0, 0);
    QTest::newRow("past the right edge") << QPoint(2000, 0) << QPointF(1200, 400);
    QTest::newRow("past the bottom edge") << QPoint(0, 2000) << QPointF(600, 800);
    QTest::newRow("past both far edges") << QPoint(900, 900) << QPointF(1200, 800);
    QTest::newRow("a small step follows the mouse") << QPoint(20, 10) << QPointF(computed, computed);
}

void tst_PhotoEditor::cropDragClamping()
{
    QFETCH(QPoint, step);
    QFETCH(QPointF, topLeft);
    // A 1800 x 1200 area centred at (600, 400) in the 3000 x 2000 image.
    auto editor = open(PrintEditFixture::row(m_large, 1, 2, QRectF(600, 400, 1800, 1200)));
    QCOMPARE(cropLabel(*editor), QStringLiteral("1800x1200 px"));
    const QSize shown = child<QLabel>(*editor, "Foto")->pixmap(Qt::ReturnByValue).size();
    QVERIFY(shown.width() > 100);
    const QPoint from(200, 200);
    drag(*editor, from, from + step);
    if (topLeft.x() < 0) {
        // Two moves of half the step and a release on the spot, each scaled and cut.
        const double fx = 3000.0 / shown.width();
        const double fy = 2000.0 / shown.height();
        const QPoint half = step / 2;
        const QPoint rest = step - half;
        topLeft = QPointF(600 + int(half.x() * fx) + int(rest.x() * fx), 400 + int(half.y() * fy) + int(rest.y() * fy));
    }
    const Row out = saved(*editor);
    QCOMPARE(out.Transformation.CropRect, QRectF(topLeft, QSizeF(1800, 1200)));
}

void tst_PhotoEditor::cropDragInFitModeDoesNothing()
{
    const QRectF crop(600, 400, 1800, 1200);
    auto editor = open(PrintEditFixture::row(m_large, 1, 1, crop));
    QVERIFY(!child<QWidget>(*editor, "widgetCropAreaResize")->isVisible());
    drag(*editor, QPoint(200, 200), QPoint(260, 260));
    // Back to crop mode: the area is where it was.
    child<QRadioButton>(*editor, "radioButtonRitaglia")->click();
    QVERIFY(child<QWidget>(*editor, "widgetCropAreaResize")->isVisible());
    const Row out = saved(*editor);
    QCOMPARE(out.Transformation.CropRect, crop);
    QCOMPARE(out.Transformation.Type, 2);
}

void tst_PhotoEditor::imageSmallerThanFormat()
{
    const QString file = m_fixture->quadrants(QStringLiteral("stretta.png"), QSize(1000, 600));
    ModalAnswerer answerer;
    auto editor = open(PrintEditFixture::row(file, 1, 2));
    QSlider *slider = child<QSlider>(*editor, "CropAreaSlider");
    QCOMPARE(slider->maximum(), -600);
    QCOMPARE(slider->minimum(), -600);
    QCOMPARE(slider->value(), -600);
    QCOMPARE(cropLabel(*editor), QStringLiteral("900x600 px"));
    QVERIFY(child<QWidget>(*editor, "widgetWarningGeneric")->isVisible());
    answerer.answer(QMessageBox::Yes);
    const Row out = saved(*editor, &answerer);
    QCOMPARE(out.Transformation.CropRect, QRectF(50, 0, 900, 600));
}

void tst_PhotoEditor::noPictureNoDivision()
{
    // No image and a product with no format: nothing to show, scale or crop.
    ModalAnswerer answerer;
    auto editor = open(PrintEditFixture::row(m_fixture->path("manca.jpg"), 99, 2, QRectF(10, 10, 300, 200)));
    QSlider *slider = child<QSlider>(*editor, "CropAreaSlider");
    slider->setValue(slider->maximum());
    slider->setValue(slider->minimum());
    drag(*editor, QPoint(10, 10), QPoint(90, 90));
    child<QToolButton>(*editor, "pushButtonCropRotate")->click();
    child<QToolButton>(*editor, "toolButtonUndoCropSize")->click();
    editor->resize(500, 500);
    QCOMPARE(cropLabel(*editor), QStringLiteral("300x200 px"));
    QVERIFY(!child<QLabel>(*editor, "Foto")->pixmap(Qt::ReturnByValue).isNull());
    answerer.answer(QMessageBox::Yes);
    const Row out = saved(*editor, &answerer);
    QCOMPARE(out.FilePath, m_fixture->path("manca.jpg"));
    QCOMPARE(out.Transformation.CropRect, QRectF(10, 10, 300, 200));
}

QTEST_MAIN(tst_PhotoEditor)
#include "tst_photoeditor.moc"
