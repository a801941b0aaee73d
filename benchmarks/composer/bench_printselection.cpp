// The photo print composer's operations on many prints at once, beside adding them in the
// same run: 2,000 prints of 24-megapixel JPEGs (some generated, hard-linked under the other
// names) added with "Aggiungi tutti" in crop mode (the baseline), then
//
//  - select all: the selection of every print, with the panel filled from it;
//  - bulk change: the bulk print settings dialog gives every print another format, each
//    crop centred anew;
//  - "Rimuovi tutti": every print removed, one at a time as the composer does.
//
// Target: each at most the adding time. Usage: bench_printselection [files] [generated]
// (default 2000 50).

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
#include <QTimer>
#include <QToolButton>

#include <unistd.h>

#include "articolostampafotograficacomposer.h"
#include "articolostampafotograficafotoprintmodel.h"
#include "enginefixture.h"

namespace {

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

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(application);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 2000;
    const int generated = qMin(count, argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 50);

    EngineFixture fixture;
    if (!fixture.isValid()) {
        std::fprintf(stderr, "%s\n", qPrintable(fixture.errorString()));
        return 1;
    }
    const QString folder = fixture.filesFolder() + QStringLiteral("/photos");
    QDir().mkpath(folder);
    std::printf("generating %d photos of 6000x4000 under %d names...\n", generated, count);
    std::fflush(stdout);
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("photos/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        const QString path = fixture.filesFolder() + QLatin1Char('/') + name;
        if (i < generated) {
            if (fixture.photo(name, QSize(6000, 4000), i + 1).isEmpty())
                return 1;
        } else if (::link(QFile::encodeName(paths.at(i % generated)).constData(), QFile::encodeName(path).constData())
                   != 0) {
            std::perror("link");
            return 1;
        }
        paths << path;
    }

    OrdiniLocal::OrdineLocal ordine;
    auto *composer = new ArticoloStampaFotograficaComposer(ordine, nullptr);
    composer->resize(1280, 800);
    composer->show();
    QApplication::processEvents();
    composer->setRootPath(folder);
    auto *browser = composer->findChild<QListView *>(QStringLiteral("listViewFileSelection"));
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 60000 && browser->model()->rowCount(browser->rootIndex()) < count)
        QApplication::processEvents(QEventLoop::AllEvents, 5);

    auto *prints = composer->findChild<QListView *>(QStringLiteral("listViewFotoPrint"));
    auto *model = static_cast<ArticoloStampaFotograficaFotoPrintModel *>(prints->model());
    timer.restart();
    composer->findChild<QToolButton *>(QStringLiteral("toolButtonAddAll"))->click();
    const double addMs = timer.nsecsElapsed() / 1e6;
    const int rows = model->rowCount();
    // The thumbnails are read meanwhile; let them end so they do not weigh on what follows.
    while (model->isLoadingThumbs())
        QApplication::processEvents(QEventLoop::AllEvents, 5);

    timer.restart();
    prints->selectAll();
    const double selectMs = timer.nsecsElapsed() / 1e6;

    QString fromFormat = model->stampe().value(0).FormatoDesc;
    QString toFormat;
    whenModal([&toFormat](QWidget *dialog) {
        auto *formato = dialog->findChild<QComboBox *>(QStringLiteral("formato"));
        formato->setCurrentIndex((formato->currentIndex() + 1) % qMax(1, formato->count()));
        toFormat = formato->currentText();
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    timer.restart();
    composer->findChild<QToolButton *>(QStringLiteral("toolButtonSelectedFilesCangeStampaSettings"))->click();
    const double bulkMs = timer.nsecsElapsed() / 1e6;
    int changed = 0;
    for (const OrdiniLocal::OrdineRigaStampaLocal &riga : model->stampe())
        changed += riga.FormatoDesc == toFormat ? 1 : 0;

    whenModal([](QWidget *box) { static_cast<QMessageBox *>(box)->button(QMessageBox::Yes)->click(); });
    timer.restart();
    composer->findChild<QToolButton *>(QStringLiteral("toolButtonRemoveAll"))->click();
    const double removeMs = timer.nsecsElapsed() / 1e6;
    const int left = model->rowCount();

    std::printf("%d prints, baseline \"Aggiungi tutti\" in crop mode: %9.1f ms\n", rows, addMs);
    std::printf("  select all:     %9.1f ms   ratio %.3f (target <= 1)\n", selectMs, selectMs / addMs);
    std::printf("  bulk format:    %9.1f ms   ratio %.3f (target <= 1), %d of %d from \"%s\" to \"%s\"\n", bulkMs,
                bulkMs / addMs, changed, rows, qPrintable(fromFormat), qPrintable(toFormat));
    std::printf("  Rimuovi tutti:  %9.1f ms   ratio %.3f (target <= 1), %d left\n", removeMs, removeMs / addMs, left);

    composer->setResult(QDialog::Accepted);
    delete composer;
    return rows == count && changed == rows && left == 0 ? 0 : 1;
}
