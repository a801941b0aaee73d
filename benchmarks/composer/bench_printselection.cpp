// The photo print composer's operations on many prints at once, beside adding them in the
// same run: 2,000 prints of 24-megapixel JPEGs (some generated, hard-linked under the other
// names) added with "Aggiungi tutti" in crop mode (the baseline), then
//
//  - select all: the selection of every print, with the panel filled from it;
//  - bulk change: the bulk print settings dialog gives every print another format, each
//    crop centred anew (the faster of two changes counts: the machine is shared);
//  - "Rimuovi tutti": every print removed as the composer does.
//
// Then the same with four times the prints (8,000 names of the same photos), whose bulk change
// is set against the one of the 2,000: the cost of a change must grow with the prints, not
// with their square.
//
// Targets: select all, bulk change and "Rimuovi tutti" each at most the adding time of the
// 2,000; the bulk change of the 8,000 at most 4.5 times the one of the 2,000.
// Usage: bench_printselection [files] [generated]   (default 2000 50)

#include <cstdio>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QThreadPool>
#include <QTimer>
#include <QToolButton>

#include <unistd.h>

#include "articolostampafotograficacomposer.h"
#include "articolostampafotograficafileselectionmodel.h"
#include "articolostampafotograficafotoprintmodel.h"
#include "enginefixture.h"

namespace {

using Composer = ArticoloStampaFotograficaComposer;
using PrintModel = ArticoloStampaFotograficaFotoPrintModel;
using BrowserModel = ArticoloStampaFotograficaFileSelectionModel;

// Answers the next modal window the code under test opens, from the event loop it runs.
void whenModal(const std::function<void(QWidget *)> &answer)
{
    auto *timer = new QTimer;
    timer->setInterval(1);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        timer->stop();
        timer->deleteLater();
        answer(modal);
    });
    timer->start();
}

// Until no thumbnail is read any more, by the browser or by the print list, and all they
// reported has been delivered: nothing else runs beside what is measured next.
void settle(Composer *composer)
{
    auto *browser = composer->findChild<QListView *>(QStringLiteral("listViewFileSelection"));
    auto *prints = composer->findChild<QListView *>(QStringLiteral("listViewFotoPrint"));
    auto *browserModel = static_cast<BrowserModel *>(browser->model());
    auto *printModel = static_cast<PrintModel *>(prints->model());
    do {
        while (browserModel->isLoadingThumbs() || printModel->isLoadingThumbs())
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThreadPool::globalInstance()->waitForDone();
        QApplication::processEvents();
    } while (browserModel->isLoadingThumbs() || printModel->isLoadingThumbs());
}

struct Figures
{
    int rows = 0;
    double addMs = 0;
    double selectMs = 0;
    double bulkMs = 0;
    int changed = 0;
    QString fromFormat;
    QString toFormat;
    double removeMs = 0;
    int left = -1;
};

// The bulk change of every selected print to the format after the current one; the time of
// the click, and how many prints have the new format afterwards.
double bulkChange(Composer *composer, PrintModel *model, QString *toFormat, int *changed)
{
    whenModal([toFormat](QWidget *dialog) {
        auto *formato = dialog->findChild<QComboBox *>(QStringLiteral("formato"));
        formato->setCurrentIndex((formato->currentIndex() + 1) % qMax(1, formato->count()));
        *toFormat = formato->currentText();
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    QElapsedTimer timer;
    timer.start();
    composer->findChild<QToolButton *>(QStringLiteral("toolButtonSelectedFilesCangeStampaSettings"))->click();
    const double ms = timer.nsecsElapsed() / 1e6;
    *changed = 0;
    for (const OrdiniLocal::OrdineRigaStampaLocal &riga : model->stampe())
        *changed += riga.FormatoDesc == *toFormat ? 1 : 0;
    return ms;
}

Figures measure(Composer *composer, const QString &folder, int count)
{
    Figures figures;
    auto *browser = composer->findChild<QListView *>(QStringLiteral("listViewFileSelection"));
    auto *prints = composer->findChild<QListView *>(QStringLiteral("listViewFotoPrint"));
    auto *model = static_cast<PrintModel *>(prints->model());
    composer->setRootPath(folder);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 120000 && browser->model()->rowCount(browser->rootIndex()) < count)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    settle(composer);

    timer.restart();
    composer->findChild<QToolButton *>(QStringLiteral("toolButtonAddAll"))->click();
    figures.addMs = timer.nsecsElapsed() / 1e6;
    figures.rows = model->rowCount();
    // The thumbnails are read meanwhile; let them end so they do not weigh on what follows.
    settle(composer);

    timer.restart();
    prints->selectAll();
    figures.selectMs = timer.nsecsElapsed() / 1e6;

    figures.fromFormat = model->stampe().value(0).FormatoDesc;
    figures.bulkMs = bulkChange(composer, model, &figures.toFormat, &figures.changed);
    settle(composer);
    QString again;
    int changedAgain = 0;
    const double secondMs = bulkChange(composer, model, &again, &changedAgain);
    figures.changed = qMin(figures.changed, changedAgain);
    figures.bulkMs = qMin(figures.bulkMs, secondMs);
    settle(composer);

    whenModal([](QWidget *box) { static_cast<QMessageBox *>(box)->button(QMessageBox::Yes)->click(); });
    timer.restart();
    composer->findChild<QToolButton *>(QStringLiteral("toolButtonRemoveAll"))->click();
    figures.removeMs = timer.nsecsElapsed() / 1e6;
    figures.left = model->rowCount();
    settle(composer);
    return figures;
}

// Names of the generated photos, hard-linked up to the count, in a folder of their own.
bool linkedNames(const QStringList &photos, const QString &folder, int count)
{
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        const QString path = QStringLiteral("%1/IMG_%2.jpg").arg(folder).arg(i, 5, 10, QLatin1Char('0'));
        if (::link(QFile::encodeName(photos.at(i % photos.size())).constData(), QFile::encodeName(path).constData())
            != 0) {
            std::perror("link");
            return false;
        }
    }
    return true;
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2)
                                          : QStringLiteral("?");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(application);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 2000;
    const int generated = qMin(count, argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 50);
    const int many = 4 * count;

    EngineFixture fixture;
    if (!fixture.isValid()) {
        std::fprintf(stderr, "%s\n", qPrintable(fixture.errorString()));
        return 1;
    }
    std::printf("generating %d photos of 6000x4000 under %d and %d names...\n", generated, count, many);
    std::fflush(stdout);
    QStringList photos;
    QDir().mkpath(fixture.filesFolder() + QStringLiteral("/generated"));
    for (int i = 0; i < generated; ++i) {
        const QString name = QStringLiteral("generated/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        const QString path = fixture.photo(name, QSize(6000, 4000), i + 1);
        if (path.isEmpty())
            return 1;
        photos << path;
    }
    const QString folder = fixture.filesFolder() + QStringLiteral("/photos");
    const QString manyFolder = fixture.filesFolder() + QStringLiteral("/photos-many");
    if (!linkedNames(photos, folder, count) || !linkedNames(photos, manyFolder, many))
        return 1;
    const QString loadBefore = loadAverage();

    OrdiniLocal::OrdineLocal ordine;
    auto *composer = new Composer(ordine, nullptr);
    composer->resize(1280, 800);
    composer->show();
    QApplication::processEvents();
    const Figures base = measure(composer, folder, count);
    const Figures four = measure(composer, manyFolder, many);

    std::printf("%d prints, baseline \"Aggiungi tutti\" in crop mode: %9.1f ms\n", base.rows, base.addMs);
    std::printf("  select all:     %9.1f ms   ratio %.3f (target <= 1)\n", base.selectMs, base.selectMs / base.addMs);
    std::printf("  bulk format:    %9.1f ms   ratio %.3f (target <= 1), %d of %d from \"%s\" to \"%s\"\n", base.bulkMs,
                base.bulkMs / base.addMs, base.changed, base.rows, qPrintable(base.fromFormat), qPrintable(base.toFormat));
    std::printf("  Rimuovi tutti:  %9.1f ms   ratio %.3f (target <= 1), %d left\n", base.removeMs,
                base.removeMs / base.addMs, base.left);
    std::printf("%d prints, \"Aggiungi tutti\" in crop mode: %9.1f ms (%.2f times the %d)\n", four.rows, four.addMs,
                four.addMs / base.addMs, base.rows);
    std::printf("  select all:     %9.1f ms\n", four.selectMs);
    std::printf("  bulk format:    %9.1f ms   ratio to the %d: %.2f (target <= 4.5), %d of %d changed\n", four.bulkMs,
                base.rows, four.bulkMs / base.bulkMs, four.changed, four.rows);
    std::printf("  Rimuovi tutti:  %9.1f ms, %d left\n", four.removeMs, four.left);
    std::printf("load average: %s before, %s after\n", qPrintable(loadBefore), qPrintable(loadAverage()));

    composer->setResult(QDialog::Accepted);
    delete composer;
    const bool complete = base.rows == count && base.changed == count && base.left == 0 && four.rows == many
                          && four.changed == many && four.left == 0;
    return complete ? 0 : 1;
}
