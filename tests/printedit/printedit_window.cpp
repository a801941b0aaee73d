// A print list over generated photos, as the print composer shows it; a double click opens
// the photo editor on that print and puts the saved edit back.
//   printedit_window              the window, to try by hand
//   printedit_window <folder>     pictures of the list and of the editor into <folder>

#include <QApplication>
#include <QDir>
#include <QListView>
#include <QMessageBox>
#include <QTimer>
#include <QTest>
#include <QVBoxLayout>

#include "articolostampafotograficafotoeditor.h"
#include "articolostampafotograficafotoprintmodel.h"
#include "korvex2exception.h"
#include "printeditfixture.h"
#include "testimages.h"

using Model = ArticoloStampaFotograficaFotoPrintModel;

namespace {

void openEditor(QWidget *window, Model *model, const QModelIndex &index, const QString &shot)
{
    ArticoloStampaFotograficaFotoEditor *editor = nullptr;
    try {
        editor = new ArticoloStampaFotograficaFotoEditor(model->stampe().at(index.row()));
    } catch (const Korvex2Exception &e) {
        QMessageBox::warning(window, QStringLiteral("Adatta Foto"), QString::fromStdString(e.message));
        return;
    }
    QObject::connect(editor, &ArticoloStampaFotograficaFotoEditor::dataChanged, model,
                     [model, index](const OrdiniLocal::OrdineRigaStampaLocal &riga, const QPixmap &) {
                         model->editStampa(riga, index);
                         model->loadThumbs(QSize(-1, -1), {riga});
                     });
    if (!shot.isEmpty()) {
        editor->resize(800, 832);
        editor->show();
        QTest::qWait(300);
        editor->grab().save(shot);
        delete editor;
        return;
    }
    editor->exec();
    delete editor;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(application);
    PrintEditFixture fixture;
    if (!fixture.ok()) {
        qWarning("%s", qPrintable(fixture.error()));
        return 1;
    }
    const QString shots = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    Model model;
    const QString landscape = fixture.path(QStringLiteral("paesaggio.jpg"));
    TestImages::writeJpeg(landscape, TestImages::photoLike(QSize(3000, 2000), 3));
    const QString portrait = fixture.path(QStringLiteral("ritratto.jpg"));
    TestImages::writeJpeg(portrait, TestImages::photoLike(QSize(1400, 2100), 5));
    const QString small = fixture.path(QStringLiteral("piccola.jpg"));
    TestImages::writeJpeg(small, TestImages::photoLike(QSize(900, 600), 7));
    const QString quadrants = fixture.quadrants(QStringLiteral("quadranti.png"), QSize(1800, 1200));

    model.addStampa(PrintEditFixture::row(landscape, 1, 1, QRectF(), 2));
    model.addStampa(PrintEditFixture::row(landscape, 1, 2, QRectF(), 1));
    model.addStampa(PrintEditFixture::row(quadrants, 5, 2, QRectF(0, 0, 900, 600), 3));
    model.addStampa(PrintEditFixture::row(portrait, 4, 2, QRectF(), 1));
    model.addStampa(PrintEditFixture::row(portrait, 1, 1, QRectF(), 1));
    model.addStampa(PrintEditFixture::row(small, 5, 1, QRectF(), 4));
    model.addStampa(PrintEditFixture::row(fixture.path(QStringLiteral("sparita.jpg")), 1, 1, QRectF(), 1));
    model.addStampa(PrintEditFixture::row(landscape, 99, 1, QRectF(), 1));
    model.loadThumbs();

    QWidget window;
    window.setWindowTitle(QStringLiteral("Stampe"));
    auto *layout = new QVBoxLayout(&window);
    auto *list = new QListView(&window);
    list->setViewMode(QListView::IconMode);
    list->setIconSize(Model::thumbsSize);
    list->setGridSize(Model::thumbsSize + QSize(8, 8));
    list->setResizeMode(QListView::Adjust);
    list->setModel(&model);
    list->setAccessibleName(QStringLiteral("Stampe"));
    layout->addWidget(list);
    window.resize(640, 360);
    QObject::connect(list, &QListView::doubleClicked, &window,
                     [&](const QModelIndex &index) { openEditor(&window, &model, index, QString()); });
    window.show();

    if (shots.isEmpty())
        return app.exec();

    QDir().mkpath(shots);
    for (int i = 0; i < 200 && model.isLoadingThumbs(); ++i)
        QTest::qWait(50);
    QTest::qWait(200);
    window.grab().save(QDir(shots).filePath(QStringLiteral("list.png")));
    openEditor(&window, &model, model.index(1), QDir(shots).filePath(QStringLiteral("editor-crop.png")));
    openEditor(&window, &model, model.index(5), QDir(shots).filePath(QStringLiteral("editor-small.png")));
    openEditor(&window, &model, model.index(6), QDir(shots).filePath(QStringLiteral("editor-missing.png")));
    openEditor(&window, &model, model.index(7), QDir(shots).filePath(QStringLiteral("editor-product.png")));
    return 0;
}
