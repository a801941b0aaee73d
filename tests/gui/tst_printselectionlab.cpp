// A saved photo print order with missing files, mended in the composer (a file replaced, the
// other missing prints removed, one print edited in the photo editor, some in the panel and
// some in bulk), then saved and sent to the laboratory simulator: each print arrives once,
// at its new format's pixel size, cropped about its centre.

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QTest>
#include <QToolButton>

#include <memory>

#include "articolostampafotograficacomposer.h"
#include "articolostampafotograficafotoeditor.h"
#include "articolostampafotograficafotoprintmodel.h"
#include "enginefixture.h"
#include "imageutility.h"
#include "korvexglobals.h"
#include "modalanswerer.h"
#include "ordineupload.h"
#include "testimages.h"

using Composer = ArticoloStampaFotograficaComposer;
using PrintModel = ArticoloStampaFotograficaFotoPrintModel;

namespace {

template <typename T>
T *child(QWidget *window, const char *name)
{
    return window->findChild<T *>(QString::fromLatin1(name));
}

void select(QListView *view, const QList<int> &rows)
{
    view->clearSelection();
    for (int row : rows)
        view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::Select);
    view->selectionModel()->setCurrentIndex(view->model()->index(rows.last(), 0), QItemSelectionModel::NoUpdate);
}

// The centred crop of a photo for a format, the format turned to the photo.
QRectF centred(const QSize &photo, QSize format)
{
    if ((photo.width() > photo.height()) != (format.width() > format.height()))
        format.transpose();
    return QRectF(imageUtility::calculateCropRect(photo, format));
}

} // namespace

class TestPrintSelectionLab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(application); }
    void mendedOrderReachesTheLaboratory();
};

void TestPrintSelectionLab::mendedOrderReachesTheLaboratory()
{
    EngineFixture fixture;
    QVERIFY2(fixture.isValid(), qPrintable(fixture.errorString()));
    QVERIFY2(fixture.startLab(), qPrintable(fixture.errorString()));
    KorvexGlobals::ordineUpload = new OrdineUpload(nullptr);
    ModalAnswerer answerer;
    ArticoloStampaFotograficaFotoEditor::m_formati.clear();
    ArticoloStampaFotograficaFotoEditor::m_carte.clear();

    const QString dir = fixture.filesFolder();
    struct Photo
    {
        QString name;
        QSize size;
    };
    const QList<Photo> photos{{"a.jpg", {2400, 1600}}, {"gone1.jpg", {2400, 1600}}, {"b.jpg", {1600, 2400}},
                              {"gone2.jpg", {800, 600}}, {"gone2.jpg", {800, 600}}, {"c.jpg", {2000, 2000}}};
    const QSize tenByFifteen(1181, 1772);
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.righeStampa.clear();
    ordine.righeFile.clear();
    for (const Photo &photo : photos) {
        const QString path = dir + QLatin1Char('/') + photo.name;
        QVERIFY(TestImages::writeJpeg(path, TestImages::quadrants(photo.size)));
        OrdiniLocal::OrdineRigaStampaLocal riga = EngineFixture::printRow(path, 3, 2);
        riga.Transformation.CropRect = centred(photo.size, tenByFifteen);
        riga.Qta = 1;
        ordine.righeStampa << riga;
    }
    ordine.Attivo = false;
    QVERIFY(fixture.save(ordine));
    QVERIFY(QFile::remove(dir + QStringLiteral("/gone1.jpg")));
    QVERIFY(QFile::remove(dir + QStringLiteral("/gone2.jpg")));
    const QString replacement = dir + QStringLiteral("/r.jpg");
    QVERIFY(TestImages::writeJpeg(replacement, TestImages::quadrants(QSize(3000, 2000))));

    answerer.answer(QStringLiteral("Continua"));
    auto composer = std::make_unique<Composer>(ordine, nullptr);
    composer->show();
    QVERIFY(answerer.waitForCount(1));
    QCOMPARE(answerer.last().title, QStringLiteral("File non trovati"));
    QListView *list = child<QListView>(composer.get(), "listViewFotoPrint");
    auto *model = static_cast<PrintModel *>(list->model());
    QCOMPARE(model->rowCount(), 6);

    // Replace one missing file, remove the prints of the other.
    QVERIFY(composer->changeFile(1, replacement));
    answerer.answer(QMessageBox::Yes);
    child<QToolButton>(composer.get(), "toolButtonRemoveInvalid")->click();
    QCOMPARE(model->rowCount(), 4);

    // a: two copies in the photo editor.
    select(list, {0});
    answerer.answerWith([](QWidget *editor) {
        editor->findChild<QSpinBox *>(QStringLiteral("qta"))->setValue(2);
        QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("pushButtonSave")), Qt::LeftButton);
    });
    child<QToolButton>(composer.get(), "toolButtonPhotoEditor")->click();
    // r and b: 13 x 13 from the panel.
    select(list, {1, 2});
    QComboBox *formato = child<QComboBox>(composer.get(), "stampaFormato");
    formato->setCurrentIndex(formato->findText(QStringLiteral("13 x 13")));
    QMetaObject::invokeMethod(formato, "activated", Qt::DirectConnection, Q_ARG(QString, QStringLiteral("13 x 13")));
    // b and c: 15 x 20 on matt paper, three copies, in bulk.
    select(list, {2, 3});
    answerer.answerWith([](QWidget *dialog) {
        auto *carta = dialog->findChild<QComboBox *>(QStringLiteral("carta"));
        carta->setCurrentIndex(carta->findText(QStringLiteral("Opaca")));
        auto *bulkFormato = dialog->findChild<QComboBox *>(QStringLiteral("formato"));
        bulkFormato->setCurrentIndex(bulkFormato->findText(QStringLiteral("15 x 20")));
        dialog->findChild<QSpinBox *>(QStringLiteral("qta"))->setValue(3);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    child<QToolButton>(composer.get(), "toolButtonSelectedFilesCangeStampaSettings")->click();
    QCOMPARE(answerer.count(), 4);
    QCOMPARE(answerer.unexpected(), 0);

    struct Expected
    {
        QString codice;
        int qta;
        QSize format;
    };
    const QList<Expected> expected{{"ST1015L", 2, {1181, 1772}},
                                   {"ST1313L", 1, {1535, 1535}},
                                   {"ST1520O", 3, {1772, 2362}},
                                   {"ST1520O", 3, {1772, 2362}}};
    const auto rows = model->stampe();
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows.at(i).Codice, expected.at(i).codice);
        QCOMPARE(rows.at(i).Qta, expected.at(i).qta);
    }

    child<QToolButton>(composer.get(), "toolButtonAvanti")->click();
    composer->findChild<QLineEdit *>(QStringLiteral("clienteFinale"))->setText(QStringLiteral("Verdi"));
    QSignalSpy finished(composer.get(), &QDialog::finished);
    QSignalSpy done(KorvexGlobals::ordineUpload, &OrdineUpload::finishedProcessingQueue);
    child<QToolButton>(composer.get(), "toolButtonUpload")->click();
    QTRY_COMPARE(finished.count(), 1);
    QVERIFY(done.wait(60000));

    const EngineFixture::LabState lab = fixture.labState();
    QCOMPARE(lab.orders.size(), 1);
    QCOMPARE(fixture.checkNoDuplicateOrOrphan(), QString());
    QStringList codes;
    for (const EngineFixture::LabRow &row : lab.orders.constFirst().rows) {
        if (row.tipoRiga != 2)
            continue;
        codes << row.codiceArticolo;
        const QImage sent(fixture.ftpLocalPath(row.idFile));
        QVERIFY2(!sent.isNull(), qPrintable(row.idFile));
        QSize format;
        for (const Expected &e : expected) {
            if (e.codice == row.codiceArticolo && e.qta == row.quantita)
                format = e.format;
        }
        QVERIFY2(format.isValid(), qPrintable(row.codiceArticolo));
        const QSize size = sent.size();
        QVERIFY2(size == format || size == format.transposed(),
                 qPrintable(QStringLiteral("%1: %2x%3").arg(row.codiceArticolo).arg(size.width()).arg(size.height())));
        const int w = size.width(), h = size.height();
        QVERIFY(TestImages::colourDistance(sent.pixel(w / 4, h / 4), TestImages::quadrantColour(0).rgb()) < 40);
        QVERIFY(TestImages::colourDistance(sent.pixel(3 * w / 4, h / 4), TestImages::quadrantColour(1).rgb()) < 40);
        QVERIFY(TestImages::colourDistance(sent.pixel(3 * w / 4, 3 * h / 4), TestImages::quadrantColour(2).rgb()) < 40);
        QVERIFY(TestImages::colourDistance(sent.pixel(w / 4, 3 * h / 4), TestImages::quadrantColour(3).rgb()) < 40);
    }
    codes.sort();
    QCOMPARE(codes, (QStringList{"ST1015L", "ST1313L", "ST1520O", "ST1520O"}));

    composer.reset();
    delete KorvexGlobals::ordineUpload;
    KorvexGlobals::ordineUpload = nullptr;
    KorvexGlobals::db.close();
    KorvexGlobals::db = QSqlDatabase();
}

QTEST_MAIN(TestPrintSelectionLab)
#include "tst_printselectionlab.moc"
