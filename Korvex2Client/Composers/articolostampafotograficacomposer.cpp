#include "articolostampafotograficacomposer.h"
#include "ui_articolostampafotograficacomposer.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include "account.h"
#include "articolostampafotograficafileselectionmodel.h"
#include "articolostampafotograficafotoprintmodel.h"
#include "imageutility.h"
#include "korvex2exception.h"
#include "korvexglobals.h"
#include "lineeditfiltraeventfilter.h"
#include "ordinelocaldetailswidget.h"
#include "ordineupload.h"
#include "selectedfileseventfilter.h"
#include "utente.h"

namespace {

QString messageOf(const Korvex2Exception &e)
{
    return QString::fromStdString(e.message);
}

// A message box whose texts are shown as they stand: paths and catalogue texts may hold
// characters that rich text would read as markup.
void plainWarning(QWidget *parent, const QString &title, const QString &text,
                  QMessageBox::Icon icon = QMessageBox::Warning)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Active, QPalette::WindowText, colour);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 120));
    widget->setPalette(palette);
}

} // namespace

ArticoloStampaFotograficaComposer::ArticoloStampaFotograficaComposer(OrdiniLocal::OrdineLocal &ordineIn,
                                                                     QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ArticoloStampaFotograficaComposer)
{
    ui->setupUi(this);
    initPalettes();
    defaultStampa = emptyStampa();

    ui->splitter_2->setSizes({350, width() - 350});
    ui->splitter_2->setStretchFactor(1, 1);
    setStyleSheet(styleSheet() + KorvexGlobals::QToolButtonStyleSheet);

    filesNotFoundAlertShown = false;
    saved = true;
    ordine = ordineIn;
    existingOrder = !ordine.Uuid.isEmpty();

    writer = new EditedOrderWriter(nullptr, this);
    connect(writer, &EditedOrderWriter::finished, this, &ArticoloStampaFotograficaComposer::onOrdineWritten);

    detailsWidget = new OrdineLocalDetailsWidget(ordineIn, ui->frameDetails);
    auto *detailsLayout = new QVBoxLayout(ui->frameDetails);
    detailsLayout->setContentsMargins(0, 0, 0, 0);
    detailsLayout->addWidget(detailsWidget);

    ui->pages->setCurrentIndex(0);
    ui->toolButtonIndietro->hide();
    ui->toolButtonSalva->hide();
    ui->toolButtonUpload->hide();
    ui->toolButtonRemoveInvalid->hide();
    ui->toolButtonSelectedFilesChange->hide();
    ui->toolButtonAvanti->setEnabled(false);
    if (!KorvexGlobals::utente)
        ui->toolButtonUpload->setEnabled(false);

    updateStampaProperties({});
    initSwitchLayoutButtons();
    initLineEditFiltra();
    initDirSelection();

    QTimer::singleShot(1, this, SLOT(ordineToForm()));
}

ArticoloStampaFotograficaComposer::~ArticoloStampaFotograficaComposer()
{
    delete detailsWidget;
    delete lineEditFiltraFilter;
    delete selectedFilesFilter;
    // The views go before their models.
    ui->treeViewDirSelection->setModel(nullptr);
    ui->listViewFileSelection->setModel(nullptr);
    ui->tableViewFileSelection->setModel(nullptr);
    ui->listViewFotoPrint->setModel(nullptr);
    delete dirModel;
    delete fileSelectionModel;
    delete fotoPrintModel;
    delete ui;
}

OrdiniLocal::OrdineLocal &ArticoloStampaFotograficaComposer::getOrdine()
{
    return ordine;
}

bool ArticoloStampaFotograficaComposer::isSaving() const
{
    return writer->isBusy();
}

void ArticoloStampaFotograficaComposer::initPalettes()
{
    setTextColour(ui->label_2, QColor(0, 85, 127));
    setTextColour(ui->labelDimTotale, QColor(0, 85, 127));
    setTextColour(ui->label_9, QColor(0, 85, 127));
    setTextColour(ui->label_10, QColor(0, 85, 127));
    setTextColour(ui->labelTopDescription, QColor(0, 0, 111));
    setTextColour(ui->labelSelectedFiles, QColor(170, 0, 0));

    QPalette filterPalette = ui->lineEditFiltra->palette();
    filterPalette.setColor(QPalette::Active, QPalette::Text, QColor(125, 145, 145));
    filterPalette.setColor(QPalette::Inactive, QPalette::Text, QColor(125, 145, 145));
    filterPalette.setColor(QPalette::Disabled, QPalette::Text, QColor(120, 120, 120));
    ui->lineEditFiltra->setPalette(filterPalette);
}

// ---------------------------------------------------------------------------------------------
// Pages, navigation and closing

void ArticoloStampaFotograficaComposer::on_pages_currentChanged(int index)
{
    if (index < 0)
        return;
    formToOrdine();
    if (index == 1) {
        ordineToForm(true);
        ui->toolButtonAvanti->hide();
        ui->toolButtonIndietro->show();
        ui->toolButtonSalva->show();
        ui->toolButtonUpload->show();
        ui->frameTop->hide();
        detailsWidget->setFocus(Qt::TabFocusReason);
    } else {
        ui->toolButtonAvanti->show();
        ui->toolButtonIndietro->hide();
        ui->toolButtonSalva->hide();
        ui->toolButtonUpload->hide();
        ui->frameTop->show();
    }
}

void ArticoloStampaFotograficaComposer::on_toolButtonAvanti_clicked()
{
    ui->listViewFotoPrint->clearSelection();
    fotoPrintModel->invalidFileUpdate();
    const bool error = !fotoPrintModel->invalidFilesList().isEmpty()
                       || !fotoPrintModel->invalidStampeList().isEmpty();
    if (error) {
        QMessageBox::warning(this, tr("Impossibile continuare"),
                             tr("Rilevati uno o più errori, impossibile continuare se prima non vengono risolti."),
                             QMessageBox::Ok);
        ui->pages->setCurrentIndex(0);
        return;
    }
    if (ui->pages->currentIndex() < ui->pages->count() - 1)
        ui->pages->setCurrentIndex(ui->pages->currentIndex() + 1);
}

void ArticoloStampaFotograficaComposer::on_toolButtonIndietro_clicked()
{
    if (ui->pages->currentIndex() > 0)
        ui->pages->setCurrentIndex(ui->pages->currentIndex() - 1);
}

void ArticoloStampaFotograficaComposer::on_toolButtonClose_clicked()
{
    reject();
}

void ArticoloStampaFotograficaComposer::on_thumbSizeSlider_valueChanged(int value)
{
    ui->listViewFileSelection->setIconSize(QSize(value, value));
}

void ArticoloStampaFotograficaComposer::done(int result)
{
    // While the order is being written the window stays; it closes when the write has ended.
    if (writer->isBusy())
        return;
    if (saved || result != 0) {
        QDialog::done(result);
        return;
    }
    QMessageBox box(QMessageBox::Question, tr("Chiudi"),
                    tr("L'ordine non è stato ancora salvato.\r\nProcedendo con la chiusura perderai tutte le modifiche.\r\nSalvare l'ordine corrente?"),
                    QMessageBox::NoButton, this);
    // One role for the three, so that they stand in this order on every platform.
    QPushButton *salva = box.addButton(tr("Salva e chiudi"), QMessageBox::ActionRole);
    QPushButton *chiudi = box.addButton(tr("Chiudi senza salvare"), QMessageBox::ActionRole);
    QPushButton *annulla = box.addButton(tr("Annulla"), QMessageBox::ActionRole);
    box.setDefaultButton(annulla);
    box.setEscapeButton(static_cast<QAbstractButton *>(nullptr));
    box.exec();
    if (box.clickedButton() == salva) {
        formToOrdine();
        ordineToForm(true);
        ordine.Attivo = false;
        saveOrdine(false, 0);
    } else if (box.clickedButton() == chiudi) {
        QDialog::done(0);
    }
}

void ArticoloStampaFotograficaComposer::closeWithoutQuestion(int result)
{
    saved = true;
    QDialog::done(result);
}

bool ArticoloStampaFotograficaComposer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->listViewFileSelection->viewport() || watched == ui->tableViewFileSelection->viewport()) {
        lastViewEvent.type = event->type();
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            lastViewEvent.button = static_cast<QMouseEvent *>(event)->button();
            break;
        default:
            lastViewEvent.button = Qt::NoButton;
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Form and order

void ArticoloStampaFotograficaComposer::ordineToForm(bool isRefresh)
{
    updateStampaProperties({});
    ui->toolButtonAvanti->setEnabled(false);
    detailsWidget->setOrdine(ordine);

    if (!isRefresh && !ordine.righeStampa.isEmpty()) {
        fotoPrintModel->removeAllRows();
        setCursor(Qt::WaitCursor);
        QCoreApplication::processEvents();
        for (const OrdiniLocal::OrdineRigaStampaLocal &riga : qAsConst(ordine.righeStampa)) {
            try {
                addStampaItem(riga);
            } catch (const Korvex2Exception &e) {
                plainWarning(this, tr("Errore"), messageOf(e));
            }
        }
        on_selectedFilesDataChanged();
        unsetCursor();
        fotoPrintModel->loadThumbs(QSize(-1, -1), {});
    }

    if (!filesNotFoundAlertShown && !fotoPrintModel->invalidFilesList().isEmpty()) {
        filesNotFoundAlertShown = true;
        showFilesNotFoundAlert();
    }
    on_selectedFilesDataChanged();
}

void ArticoloStampaFotograficaComposer::formToOrdine()
{
    ordine.Attivo = true;
    ordine.Utente = 0;
    if (KorvexGlobals::utente) {
        ordine.Utente = KorvexGlobals::utente->Getid();
        ordine.Spedizione = double(KorvexGlobals::utente->spedizione);
    }
    ordine.ClienteFinale = detailsWidget->clienteFinale();
    ordine.Priorita = -1;
    if (!ordine.Data.isValid())
        ordine.Data = QDateTime::currentDateTime();
    ordine.DataUltimaModifica = QDateTime::currentDateTime();
    ordine.Inviato = false;
    ordine.Note = detailsWidget->note();

    // A print keeps the upload state of its old row only while it is the same print: same
    // file, size, product and placement. The write checks again against the file on disk.
    const OrdiniLocal::OrdineLocal old = ordine;
    ordine.righeStampa.clear();
    for (OrdiniLocal::OrdineRigaStampaLocal riga : fotoPrintModel->stampe()) {
        riga.TipoRiga = 2;
        riga.WsFileId.clear();
        riga.Inviata = false;
        ordine.righeStampa << riga;
    }
    OrdiniLocal::OrdineLocal carried = ordine;
    EditedOrderWriter::carryUploadState(carried, old);
    ordine.righeStampa = carried.righeStampa;
}

void ArticoloStampaFotograficaComposer::refreshOrdine()
{
    formToOrdine();
    ordineToForm(true);
}

void ArticoloStampaFotograficaComposer::on_clienteFinale_editingFinished()
{
    refreshOrdine();
}

void ArticoloStampaFotograficaComposer::saveOrdine(bool send, int result)
{
    if (writer->isBusy())
        return;
    sendAfterSave = send;
    closeResult = result;
    ordine.DataUltimaModifica = QDateTime::currentDateTime();
    writer->write(ordine, existingOrder);
}

void ArticoloStampaFotograficaComposer::onOrdineWritten(EditedOrderWriter::Outcome outcome,
                                                        const OrdiniLocal::OrdineLocal &written,
                                                        const QString &error)
{
    switch (outcome) {
    case EditedOrderWriter::Saved:
        ordine = written;
        existingOrder = true;
        saved = true;
        if (sendAfterSave && KorvexGlobals::ordineUpload)
            KorvexGlobals::ordineUpload->startUpload();
        closeWithoutQuestion(closeResult);
        break;
    case EditedOrderWriter::SentMeanwhile:
        plainWarning(this, tr("Ordine inviato"),
                     tr("L'ordine è stato inviato al laboratorio mentre lo modificavi: le modifiche non sono state salvate."),
                     QMessageBox::Information);
        closeWithoutQuestion(closeResult);
        break;
    case EditedOrderWriter::Failed:
        plainWarning(this, tr("Errore"),
                     tr("Impossibile salvare l'ordine nella cartella %1.\n%2")
                         .arg(QDir::toNativeSeparators(KorvexGlobals::ordersQueuePath()), error));
        break;
    }
}

void ArticoloStampaFotograficaComposer::on_toolButtonSalva_clicked()
{
    if (writer->isBusy())
        return;
    if (detailsWidget->clienteFinale().isEmpty()) {
        const auto answer = QMessageBox::question(this, tr("Salva Ordine"),
                                                  tr("Non hai specificato il cliente finale, vuoi continuare ugualmente?"),
                                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
    }
    formToOrdine();
    ordineToForm(true);
    ordine.Attivo = false;
    saveOrdine(false, QDialog::Accepted);
}

void ArticoloStampaFotograficaComposer::on_toolButtonUpload_clicked()
{
    if (writer->isBusy())
        return;
    if (!KorvexGlobals::utente) {
        on_toolButtonSalva_clicked();
        return;
    }
    if (detailsWidget->clienteFinale().isEmpty()) {
        const auto answer = QMessageBox::question(this, tr("Salva Ordine"),
                                                  tr("Non hai specificato il cliente finale, vuoi continuare ugualmente?"),
                                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
    }
    formToOrdine();
    ordineToForm(true);
    ordine.Attivo = true;
    saveOrdine(true, QDialog::Accepted);
}

// ---------------------------------------------------------------------------------------------
// Set-up of the browser, the print list and the defaults

void ArticoloStampaFotograficaComposer::initSwitchLayoutButtons()
{
    ui->toolButtonFileSelectionChangeLayout->addAction(ui->actionFileSelectionIconMode);
    ui->toolButtonFileSelectionChangeLayout->addAction(ui->actionFileSelectionDetailsMode);
    ui->actionFileSelectionIconMode->setChecked(true);
    ui->actionFileSelectionDetailsMode->setChecked(false);
    connect(ui->actionFileSelectionIconMode, SIGNAL(triggered()), this, SLOT(fileSelectionSetIconModeLayout()));
    connect(ui->actionFileSelectionDetailsMode, SIGNAL(triggered()), this, SLOT(fileSelectionSetListModeLayout()));
    connect(ui->toolButtonFileSelectionChangeLayout, SIGNAL(clicked()), this, SLOT(fileSelectionSwitchLayout()));
}

void ArticoloStampaFotograficaComposer::initLineEditFiltra()
{
    filterHintText = tr("Filtra file ...");
    filterHintPalette = QPalette();
    filterHintPalette.setColor(QPalette::All, QPalette::Text, QColor(125, 145, 145));
    QFont font = ui->lineEditFiltra->font();
    font.setItalic(true);
    ui->lineEditFiltra->setFont(font);
    lineEditFiltraFilter = new lineEditFiltraEventFilter();
    ui->lineEditFiltra->installEventFilter(lineEditFiltraFilter);
    connect(lineEditFiltraFilter, SIGNAL(focusIn()), this, SLOT(on_lineEditFiltra_focusIn()));
}

void ArticoloStampaFotograficaComposer::initDirSelection()
{
    dirModel = new QFileSystemModel(this);
    dirModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    dirModel->setReadOnly(true);
    dirModel->setRootPath(QDir::currentPath());
    ui->treeViewDirSelection->setModel(dirModel);
    ui->treeViewDirSelection->setColumnWidth(0, 220);

    fileSelectionModel = new ArticoloStampaFotograficaFileSelectionModel(this);
    fileSelectionModel->setFilter(QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    fileSelectionModel->setReadOnly(true);
    fileSelectionModel->setNameFilterDisables(false);
    fileSelectionModel->setNameFilters(KorvexGlobals::imageFilters);

    QListView *list = ui->listViewFileSelection;
    list->setModel(fileSelectionModel);
    list->setAcceptDrops(true);
    list->viewport()->installEventFilter(this);
    connect(list->selectionModel(), SIGNAL(selectionChanged(QItemSelection,QItemSelection)), this,
            SLOT(on_fileSelectionSelectionChanged()));
    list->addAction(ui->actionFileSelectionSelectAll);
    list->addAction(ui->actionFileSelectionAppendAll);
    list->addAction(ui->actionFileSelectionAppendSelected);
    connect(list, SIGNAL(dropFromSelectedFiles()), this, SLOT(dropFromSelectedFiles()));
    connect(list->verticalScrollBar(), SIGNAL(valueChanged(int)), this,
            SLOT(on_fileSelectionVerticalScrollBarValueChanged(int)));
    // A folder that has just been read, or whose rows the model has just put in order, asks
    // for the files in view first, as scrolling does.
    const auto filesInViewFirst = [this] {
        QTimer::singleShot(0, this, [this] {
            on_fileSelectionVerticalScrollBarValueChanged(ui->listViewFileSelection->verticalScrollBar()->value());
        });
    };
    connect(fileSelectionModel, &QFileSystemModel::directoryLoaded, this, filesInViewFirst);
    connect(fileSelectionModel, &QAbstractItemModel::layoutChanged, this, filesInViewFirst);

    QTableView *table = ui->tableViewFileSelection;
    table->setModel(fileSelectionModel);
    table->setAcceptDrops(true);
    table->hide();
    table->viewport()->installEventFilter(this);
    connect(table->selectionModel(), SIGNAL(selectionChanged(QItemSelection,QItemSelection)), this,
            SLOT(on_fileSelectionSelectionChanged()));
    table->addAction(ui->actionFileSelectionSelectAll);
    table->addAction(ui->actionFileSelectionAppendAll);
    table->addAction(ui->actionFileSelectionAppendSelected);
    connect(table, SIGNAL(dropFromSelectedFiles()), this, SLOT(dropFromSelectedFiles()));

    selectedFilesFilter = new selectedFilesEventFilter();
    connect(selectedFilesFilter, SIGNAL(cancelKeyPressed()), this, SLOT(on_toolButtonRemove_clicked()));

    fotoPrintModel = new ArticoloStampaFotograficaFotoPrintModel(nullptr);
    QListView *prints = ui->listViewFotoPrint;
    prints->setViewMode(QListView::IconMode);
    prints->setAcceptDrops(true);
    prints->setModel(fotoPrintModel);
    prints->installEventFilter(selectedFilesFilter);
    connect(prints->selectionModel(), SIGNAL(selectionChanged(QItemSelection,QItemSelection)), this,
            SLOT(on_selectedFilesSelectionChanged()));
    connect(prints, SIGNAL(dropFromFileSelection()), this, SLOT(dropFromFileSelection()));
    connect(prints, SIGNAL(dropFromFileSystem(QList<QFileInfo>)), this, SLOT(dropFromFileSystem(QList<QFileInfo>)));
    prints->addAction(ui->actionSelectedFilesRemove);
    prints->addAction(ui->actionSelectedFilesRemoveAll);
    prints->addAction(ui->actionSelectedFilesSelectAll);
    prints->addAction(ui->actionSelectedFilesChange);
    prints->addAction(ui->actionRemoveInvalid);
    prints->addAction(ui->actionSelectedFilesCangeStampaSettings);
    prints->addAction(ui->actionPhotoEditor);
    prints->setDragEnabled(true);
    prints->show();

    defaultFormatiMap.clear();
    defaultCarteMap.clear();
    try {
        fillDefaultFormati(ordiniLocal.GetFormati());
        fillDefaultCarte(ordiniLocal.GetCarte());
        fillFormati(ordiniLocal.GetFormati());
        fillCarte(ordiniLocal.GetCarte());
        on_defaultCarta_activated(ui->defaultCarta->currentText());
    } catch (const Korvex2Exception &e) {
        plainWarning(this, tr("Errore database"), messageOf(e));
    }
    recomputeDefaultStampa();

    transformationTypes.clear();
    transformationTypes.insert(QStringLiteral("Adatta"), 1);
    transformationTypes.insert(QStringLiteral("Ritaglia"), 2);
    ui->defaultTransformationType->clear();
    for (auto it = transformationTypes.constBegin(); it != transformationTypes.constEnd(); ++it)
        ui->defaultTransformationType->addItem(it.key());
    ui->defaultTransformationType->setCurrentIndex(1);

    // The desktop when there is one, else the home folder.
    QString start;
    const QStringList desktops = QStandardPaths::standardLocations(QStandardPaths::DesktopLocation);
    for (const QString &desktop : desktops) {
        if (QFileInfo(desktop).isDir()) {
            start = desktop;
            break;
        }
    }
    if (start.isEmpty())
        start = QDir::homePath();
    setDirSelectionRootIndex(dirModel->index(start));

    connect(ui->treeViewDirSelection->selectionModel(), SIGNAL(currentRowChanged(QModelIndex,QModelIndex)), this,
            SLOT(on_treeViewDirSelection_selectionChanged(QModelIndex,QModelIndex)));
}

// ---------------------------------------------------------------------------------------------
// Folder tree and file browser

void ArticoloStampaFotograficaComposer::setRootPath(QString path)
{
    setDirSelectionRootIndex(dirModel->index(path));
}

void ArticoloStampaFotograficaComposer::setDirSelectionRootIndex(const QModelIndex &index)
{
    QModelIndex folder = index.sibling(index.row(), 0);
    if (!dirModel->isDir(folder))
        folder = folder.parent();
    if (!folder.isValid() || !dirModel->isDir(folder))
        return;
    const QString path = dirModel->filePath(folder);
    ui->lineEditCurrentPath->setText(path);
    ui->treeViewDirSelection->setCurrentIndex(folder);
    setFileSelectionRootIndex(fileSelectionModel->setRootPath(path));
}

void ArticoloStampaFotograficaComposer::setFileSelectionRootIndex(const QModelIndex &index)
{
    QModelIndex folder = index.sibling(index.row(), 0);
    if (!fileSelectionModel->isDir(folder))
        folder = folder.parent();
    if (!folder.isValid() || !fileSelectionModel->isDir(folder))
        return;
    if (ui->listViewFileSelection->rootIndex() != folder)
        ui->listViewFileSelection->setRootIndex(folder);
    if (ui->tableViewFileSelection->rootIndex() != folder)
        ui->tableViewFileSelection->setRootIndex(folder);
}

void ArticoloStampaFotograficaComposer::on_treeViewDirSelection_selectionChanged(const QModelIndex &current,
                                                                                 const QModelIndex &previous)
{
    Q_UNUSED(previous)
    fileSelectionModel->setNameFilters(KorvexGlobals::imageFilters);
    ui->lineEditFiltra->setText(QString());
    on_lineEditFiltra_lostFocus();
    setDirSelectionRootIndex(current);
}

void ArticoloStampaFotograficaComposer::on_toolButtonChangePath_clicked()
{
    const QString text = ui->lineEditCurrentPath->text();
    const QDir dir(text);
    if (dir.exists()) {
        setDirSelectionRootIndex(dirModel->index(dir.absolutePath()));
        return;
    }
    plainWarning(this, tr("Esplora risorse"),
                 tr("Impossibile trovare '%1', verificare che il percorso sia corretto e riprovare.").arg(text),
                 QMessageBox::Critical);
}

void ArticoloStampaFotograficaComposer::on_lineEditCurrentPath_returnPressed()
{
    on_toolButtonChangePath_clicked();
}

void ArticoloStampaFotograficaComposer::on_lineEditFiltra_returnPressed()
{
    const QString text = ui->lineEditFiltra->text();
    QStringList filters;
    if (text.isEmpty() || text == filterHintText) {
        filters = KorvexGlobals::imageFilters;
    } else {
        const QString prefix = text.startsWith(QLatin1Char('*')) ? text : QStringLiteral("*") + text;
        for (const QString &pattern : KorvexGlobals::imageFilters)
            filters << prefix + pattern;
    }
    fileSelectionModel->setNameFilters(filters);
    setDirSelectionRootIndex(ui->treeViewDirSelection->currentIndex());
}

void ArticoloStampaFotograficaComposer::on_lineEditFiltra_textChanged(const QString &text)
{
    Q_UNUSED(text)
    on_lineEditFiltra_returnPressed();
}

void ArticoloStampaFotograficaComposer::on_lineEditFiltra_focusIn()
{
    if (ui->lineEditFiltra->text() != filterHintText)
        return;
    ui->lineEditFiltra->setText(QString());
    ui->lineEditFiltra->setPalette(QPalette());
    QFont font = ui->lineEditFiltra->font();
    font.setItalic(false);
    ui->lineEditFiltra->setFont(font);
}

void ArticoloStampaFotograficaComposer::on_lineEditFiltra_lostFocus()
{
    if (!ui->lineEditFiltra->text().isEmpty())
        return;
    ui->lineEditFiltra->setText(filterHintText);
    ui->lineEditFiltra->setPalette(filterHintPalette);
    QFont font = ui->lineEditFiltra->font();
    font.setItalic(true);
    ui->lineEditFiltra->setFont(font);
}

void ArticoloStampaFotograficaComposer::fileSelectionSwitchLayout()
{
    if (!ui->actionFileSelectionIconMode->isChecked())
        fileSelectionSetIconModeLayout();
    else
        fileSelectionSetListModeLayout();
}

void ArticoloStampaFotograficaComposer::fileSelectionSetListModeLayout()
{
    ui->actionFileSelectionIconMode->setChecked(false);
    ui->actionFileSelectionDetailsMode->setChecked(true);
    ui->toolButtonFileSelectionChangeLayout->setIcon(ui->actionFileSelectionDetailsMode->icon());
    ui->listViewFileSelection->clearSelection();
    ui->tableViewFileSelection->clearSelection();
    ui->tableViewFileSelection->show();
    ui->listViewFileSelection->hide();
    ui->widgetTumbsSize->hide();
}

void ArticoloStampaFotograficaComposer::fileSelectionSetIconModeLayout()
{
    ui->actionFileSelectionDetailsMode->setChecked(false);
    ui->actionFileSelectionIconMode->setChecked(true);
    ui->toolButtonFileSelectionChangeLayout->setIcon(ui->actionFileSelectionIconMode->icon());
    ui->listViewFileSelection->clearSelection();
    ui->tableViewFileSelection->clearSelection();
    ui->listViewFileSelection->show();
    ui->tableViewFileSelection->hide();
    ui->widgetTumbsSize->show();
}

QAbstractItemView *ArticoloStampaFotograficaComposer::fileSelectionView() const
{
    if (ui->tableViewFileSelection->isVisible())
        return ui->tableViewFileSelection;
    return ui->listViewFileSelection;
}

void ArticoloStampaFotograficaComposer::on_fileSelectionSelectionChanged()
{
    const bool any = !fileSelectionView()->selectionModel()->selectedRows(0).isEmpty();
    ui->toolButtonAddSelected->setEnabled(any);
    ui->actionFileSelectionAppendSelected->setEnabled(any);
}

void ArticoloStampaFotograficaComposer::on_fileSelectionVerticalScrollBarValueChanged(int value)
{
    QListView *view = ui->listViewFileSelection;
    const QSize icon = view->iconSize();
    const int spacing = view->spacing();
    const int cellWidth = icon.width() + view->verticalScrollBar()->width() / 2 + spacing;
    const int rowHeight = QFontMetrics(view->font()).height() + icon.height() + 2 * spacing;
    // Nothing sensible can be worked out from an empty cell.
    if (cellWidth < 1 || rowHeight < 1)
        return;
    const int columns = qMax(1, view->viewport()->width() / cellWidth);
    const int rows = qMax(1, view->viewport()->height() / rowHeight + 1);
    const int first = (value / rowHeight) * columns;

    const QModelIndex root = fileSelectionModel->index(fileSelectionModel->rootPath());
    const int count = fileSelectionModel->rowCount(root);
    QFileInfoList files;
    QSet<QString> seen;
    for (int k = 0; k < rows * columns && first + k < count; ++k) {
        const QModelIndex index = fileSelectionModel->index(first + k, 0, root);
        const QRect rect = view->visualRect(index);
        if (rect.right() < 0 || rect.bottom() < 0)
            continue;
        const QFileInfo file = fileSelectionModel->fileInfo(index);
        const QString path = file.absoluteFilePath();
        if (path.isEmpty() || seen.contains(path))
            continue;
        seen.insert(path);
        files << file;
    }
    if (!files.isEmpty())
        fileSelectionModel->loadThumbs(fileSelectionModel->rootPath(), QSize(-1, -1), files);
}

void ArticoloStampaFotograficaComposer::on_actionFileSelectionSelectAll_triggered()
{
    ui->listViewFileSelection->selectAll();
    ui->tableViewFileSelection->selectAll();
}

void ArticoloStampaFotograficaComposer::on_listViewFileSelection_doubleClicked(const QModelIndex &index)
{
    Q_UNUSED(index)
    if (lastViewEvent.type == QEvent::MouseButtonDblClick && lastViewEvent.button != Qt::LeftButton)
        return;
    lastViewEvent = ViewEvent();
    on_actionFileSelectionAppendSelected_triggered();
}

void ArticoloStampaFotograficaComposer::on_tableViewFileSelection_doubleClicked(const QModelIndex &index)
{
    on_listViewFileSelection_doubleClicked(index);
}

// ---------------------------------------------------------------------------------------------
// Default print settings

OrdiniLocal::StampaLocal ArticoloStampaFotograficaComposer::emptyStampa()
{
    OrdiniLocal::StampaLocal stampa;
    ordiniLocal.initStampaLocal(stampa);
    return stampa;
}

int ArticoloStampaFotograficaComposer::idByName(const QMap<int, QString> &map, const QString &text)
{
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
        if (it.value() == text)
            return it.key();
    }
    return 0;
}

void ArticoloStampaFotograficaComposer::fillDefaultFormati(const QList<OrdiniLocal::FormatoLocal> &formati)
{
    defaultFormatiMap.clear();
    ui->defaultFormato->clear();
    for (const OrdiniLocal::FormatoLocal &formato : formati) {
        defaultFormatiMap.insert(formato.id, formato.colonna2);
        ui->defaultFormato->addItem(formato.colonna2);
    }
}

void ArticoloStampaFotograficaComposer::fillDefaultCarte(const QList<OrdiniLocal::CartaLocal> &carte)
{
    defaultCarteMap.clear();
    ui->defaultCarta->clear();
    for (const OrdiniLocal::CartaLocal &carta : carte) {
        defaultCarteMap.insert(carta.id, carta.colonna2);
        ui->defaultCarta->addItem(carta.colonna2);
    }
}

void ArticoloStampaFotograficaComposer::fillFormati(const QList<OrdiniLocal::FormatoLocal> &formati)
{
    stampaFormatiMap.clear();
    ui->stampaFormato->clear();
    for (const OrdiniLocal::FormatoLocal &formato : formati) {
        stampaFormatiMap.insert(formato.id, formato.colonna2);
        ui->stampaFormato->addItem(formato.colonna2);
    }
}

void ArticoloStampaFotograficaComposer::fillCarte(const QList<OrdiniLocal::CartaLocal> &carte)
{
    stampaCarteMap.clear();
    ui->stampaCarta->clear();
    for (const OrdiniLocal::CartaLocal &carta : carte) {
        stampaCarteMap.insert(carta.id, carta.colonna2);
        ui->stampaCarta->addItem(carta.colonna2);
    }
}

void ArticoloStampaFotograficaComposer::recomputeDefaultStampa()
{
    try {
        const int idFormato = idByName(defaultFormatiMap, ui->defaultFormato->currentText());
        const int idCarta = idByName(defaultCarteMap, ui->defaultCarta->currentText());
        defaultStampa = ordiniLocal.GetStampaByFormatoCarta(idFormato, idCarta);
    } catch (const Korvex2Exception &) {
        defaultStampa = emptyStampa();
    }
}

void ArticoloStampaFotograficaComposer::on_defaultCarta_activated(const QString &text)
{
    const QString formatoName = defaultStampa.id > 0 ? defaultStampa.formato.colonna2 : QString();
    const int idCarta = idByName(defaultCarteMap, text);
    if (idCarta < 1)
        return;
    try {
        const OrdiniLocal::CartaLocal carta = ordiniLocal.CartaLocalFromDb(idCarta);
        fillDefaultFormati(ordiniLocal.GetFormatiByCarta(carta));
    } catch (const Korvex2Exception &) {
        return;
    }
    const int keep = ui->defaultFormato->findText(formatoName, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ui->defaultFormato->setCurrentIndex(keep >= 0 && !formatoName.isEmpty() ? keep : 0);
    recomputeDefaultStampa();
}

void ArticoloStampaFotograficaComposer::on_defaultFormato_activated(const QString &text)
{
    const int idFormato = idByName(defaultFormatiMap, text);
    if (idFormato < 1)
        return;
    try {
        ordiniLocal.FormatoLocalFromDb(idFormato);
    } catch (const Korvex2Exception &) {
        return;
    }
    recomputeDefaultStampa();
}

// ---------------------------------------------------------------------------------------------
// Adding prints

void ArticoloStampaFotograficaComposer::addStampaItem(OrdiniLocal::OrdineRigaStampaLocal riga)
{
    fotoPrintModel->addStampa(riga);
}

QRectF ArticoloStampaFotograficaComposer::recalculateCropArea(OrdiniLocal::OrdineRigaStampaLocal riga)
{
    QSize image;
    const auto cached = ArticoloStampaFotograficaFotoPrintModel::fileSizes.constFind(riga.FilePath);
    if (cached != ArticoloStampaFotograficaFotoPrintModel::fileSizes.constEnd())
        image = *cached;
    else
        image = imageUtility::getImageSize(riga.FilePath);

    OrdiniLocal store;
    const OrdiniLocal::StampaLocal stampa = store.StampaLocalFromDb(riga.IdStampa);
    QSize print(stampa.formato.colonna3, stampa.formato.colonna4);

    const bool printLandscape = print.width() > print.height();
    const bool printPortrait = print.width() < print.height();
    const bool imageLandscape = image.width() > image.height();
    const bool imagePortrait = image.width() < image.height();
    if ((printLandscape && imagePortrait) || (printPortrait && imageLandscape))
        print.transpose();

    if (image.width() < 1 || image.height() < 1 || print.width() < 1 || print.height() < 1)
        return QRectF(0, 0, 0, 0);
    return QRectF(imageUtility::calculateCropRect(image, print));
}

void ArticoloStampaFotograficaComposer::addStampaItemFromFileInfo(const QFileInfo &file)
{
    if (defaultStampa.id < 1) {
        QMessageBox::warning(this, tr("Selezionare le impostazioni di stampa"),
                             tr("Prima di trascinare i file nell'apposito riquadro è necessario impostare il formato e la carta desiderati"),
                             QMessageBox::Ok);
        return;
    }
    const QString path = file.absoluteFilePath();
    if (!imageUtility::isValidImage(path))
        throw Korvex2Exception("", tr("Formato file non valido, impossibile aprire il file").toStdString());

    OrdiniLocal::OrdineRigaStampaLocal riga;
    ordiniLocal.initOrdineRigaStampaLocal(riga);
    riga.WsFileId.clear();
    riga.Codice = defaultStampa.codice;
    riga.Descrizione = defaultStampa.descrizione;
    riga.Prezzo = defaultStampa.prezzo;
    riga.TipoRiga = 2;
    riga.FilePath = path;
    riga.FileSize = file.size();
    riga.IdStampa = defaultStampa.id;
    riga.Transformation.Type = transformationTypes.value(ui->defaultTransformationType->currentText(), 0);
    riga.Transformation.CropRect = QRectF(0, 0, 0, 0);
    riga.FormatoDesc = defaultStampa.formato.colonna2;
    riga.CartaDesc = defaultStampa.carta.colonna2;
    riga.Qta = ui->defaultQta->value();
    riga.Inviata = false;
    if (riga.Transformation.Type == 2)
        riga.Transformation.CropRect = recalculateCropArea(riga);

    addStampaItem(riga);
    ui->listViewFotoPrint->scrollToBottom();
}

void ArticoloStampaFotograficaComposer::endOfBatch()
{
    ui->listViewFotoPrint->setUpdatesEnabled(true);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1000);
    ui->listViewFotoPrint->scrollToBottom();
    on_selectedFilesDataChanged();
    unsetCursor();
    fotoPrintModel->loadThumbs(QSize(-1, -1), {});
}

void ArticoloStampaFotograficaComposer::on_actionFileSelectionAppendSelected_triggered()
{
    QAbstractItemView *view = fileSelectionView();
    const QModelIndexList rows = view->selectionModel()->selectedRows(0);
    if (rows.isEmpty())
        return;
    QStringList paths;
    for (const QModelIndex &row : rows)
        paths << fileSelectionModel->filePath(row);

    setCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();
    ui->listViewFotoPrint->setUpdatesEnabled(false);
    for (const QString &path : qAsConst(paths)) {
        try {
            addStampaItemFromFileInfo(QFileInfo(path));
        } catch (const Korvex2Exception &e) {
            plainWarning(this, tr("Errore"), messageOf(e));
            break;
        }
    }
    endOfBatch();
}

void ArticoloStampaFotograficaComposer::on_toolButtonAddSelected_clicked()
{
    on_actionFileSelectionAppendSelected_triggered();
}

void ArticoloStampaFotograficaComposer::dropFromFileSelection()
{
    on_actionFileSelectionAppendSelected_triggered();
}

void ArticoloStampaFotograficaComposer::on_actionFileSelectionAppendAll_triggered()
{
    QAbstractItemView *view = fileSelectionView();
    view->selectAll();
    if (!view->selectionModel()->selectedRows(0).isEmpty())
        on_actionFileSelectionAppendSelected_triggered();
    view->clearSelection();
}

void ArticoloStampaFotograficaComposer::on_toolButtonAddAll_clicked()
{
    on_actionFileSelectionAppendAll_triggered();
}

void ArticoloStampaFotograficaComposer::dropFromFileSystem(QList<QFileInfo> files, bool showWarningForInvalidFiles)
{
    if (files.isEmpty())
        return;
    setCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();
    ui->listViewFotoPrint->setUpdatesEnabled(false);
    for (const QFileInfo &file : qAsConst(files)) {
        if (file.isDir()) {
            const QFileInfoList entries = QDir(file.absoluteFilePath())
                                              .entryInfoList(QDir::Files | QDir::Readable | QDir::NoSymLinks
                                                                 | QDir::NoDotAndDotDot,
                                                             QDir::Unsorted);
            dropFromFileSystem(entries, false);
            ui->listViewFotoPrint->setUpdatesEnabled(false);
            setCursor(Qt::WaitCursor);
            continue;
        }
        try {
            addStampaItemFromFileInfo(file);
        } catch (const Korvex2Exception &e) {
            if (showWarningForInvalidFiles) {
                plainWarning(this, tr("Errore Inserimento Stampa"), messageOf(e));
                break;
            }
        }
    }
    endOfBatch();
}

void ArticoloStampaFotograficaComposer::dropFromSelectedFiles()
{
    removeSelected();
}

void ArticoloStampaFotograficaComposer::on_selectedFilesDataChanged()
{
    const int n = fotoPrintModel->rowCount();
    ui->labelSelectedFiles->setText(tr("Stampe da inviare (%1)").arg(n));
    ui->labelDimTotale->setText(tr("Dimensione totale: %1").arg(fotoPrintModel->totalFilesSizeString()));
    ui->toolButtonRemoveInvalid->hide();
    ui->toolButtonSelectedFilesChange->hide();
    ui->actionSelectedFilesChange->setVisible(false);
    ui->actionRemoveInvalid->setVisible(false);
    ui->toolButtonAvanti->setEnabled(n > 0);
    // Removing and selecting prints, and replacing missing files, are not offered yet: their
    // commands stay disabled whatever the list holds.
    ui->toolButtonRemoveAll->setEnabled(false);
    ui->toolButtonSelectedFilesSelectAll->setEnabled(false);
    ui->actionSelectedFilesSelectAll->setEnabled(false);
    ui->actionSelectedFilesRemoveAll->setEnabled(false);
    saved = false;
}

// ---------------------------------------------------------------------------------------------
// Prints already in the list: not offered in this version

void ArticoloStampaFotograficaComposer::updateStampaProperties(const QList<OrdiniLocal::OrdineRigaStampaLocal> &righe)
{
    Q_UNUSED(righe)
    ui->widgetSelectedStampeProperties->hide();
    ui->toolButtonPhotoEditor->setEnabled(false);
    ui->actionPhotoEditor->setEnabled(false);
    ui->toolButtonSelectedFilesCangeStampaSettings->setEnabled(false);
    ui->actionSelectedFilesCangeStampaSettings->setEnabled(false);
    ui->toolButtonRemove->setEnabled(false);
    ui->actionSelectedFilesRemove->setEnabled(false);
}

void ArticoloStampaFotograficaComposer::showFilesNotFoundAlert() {}
void ArticoloStampaFotograficaComposer::removeSelected() {}
void ArticoloStampaFotograficaComposer::on_toolButtonRemove_clicked() {}
void ArticoloStampaFotograficaComposer::on_toolButtonRemoveAll_clicked() {}
void ArticoloStampaFotograficaComposer::on_toolButtonRemoveInvalid_clicked() {}
void ArticoloStampaFotograficaComposer::on_toolButtonSelectedFilesChange_clicked() {}
void ArticoloStampaFotograficaComposer::on_toolButtonSelectedFilesSelectAll_clicked() {}
void ArticoloStampaFotograficaComposer::on_actionSelectedFilesSelectAll_triggered() {}
void ArticoloStampaFotograficaComposer::on_actionSelectedFilesRemove_triggered() {}
void ArticoloStampaFotograficaComposer::on_actionSelectedFilesRemoveAll_triggered() {}
void ArticoloStampaFotograficaComposer::on_actionSelectedFilesChange_triggered() {}
void ArticoloStampaFotograficaComposer::on_actionRemoveInvalid_triggered() {}
void ArticoloStampaFotograficaComposer::on_stampaCarta_activated(const QString &) {}
void ArticoloStampaFotograficaComposer::on_stampaFormato_activated(const QString &) {}
void ArticoloStampaFotograficaComposer::on_stampaQta_valueChanged(int) {}
void ArticoloStampaFotograficaComposer::on_listViewFotoPrint_doubleClicked(const QModelIndex &) {}
void ArticoloStampaFotograficaComposer::on_toolButtonPhotoEditor_clicked() {}
void ArticoloStampaFotograficaComposer::on_actionPhotoEditor_triggered() {}
void ArticoloStampaFotograficaComposer::on_toolButtonSelectedFilesCangeStampaSettings_clicked() {}
void ArticoloStampaFotograficaComposer::on_actionSelectedFilesCangeStampaSettings_triggered() {}
void ArticoloStampaFotograficaComposer::on_selectedFilesSelectionChanged() {}
