#include "articolostampafotograficacomposer.h"
#include "ui_articolostampafotograficacomposer.h"

#include <algorithm>

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

#include "account.h"
#include "articolostampafotograficafileselectionmodel.h"
#include "articolostampafotograficafotoeditor.h"
#include "articolostampafotograficafotoprintmodel.h"
#include "articolostampafotograficaitemsettings.h"
#include "enterkeyfilter.h"
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

// The wait cursor on a window for the life of a scope, exceptions included.
class WaitCursor
{
public:
    explicit WaitCursor(QWidget *window)
        : m_window(window)
    {
        m_window->setCursor(Qt::WaitCursor);
    }
    ~WaitCursor() { m_window->unsetCursor(); }
    Q_DISABLE_COPY(WaitCursor)

private:
    QWidget *m_window;
};

// Suspends a widget's updates for the life of a scope, exceptions included.
class UpdatesSuspended
{
public:
    explicit UpdatesSuspended(QWidget *widget)
        : m_widget(widget)
        , m_wasEnabled(widget->updatesEnabled())
    {
        m_widget->setUpdatesEnabled(false);
    }
    ~UpdatesSuspended() { m_widget->setUpdatesEnabled(m_wasEnabled); }
    Q_DISABLE_COPY(UpdatesSuspended)

private:
    QWidget *m_widget;
    bool m_wasEnabled;
};

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Active, QPalette::WindowText, colour);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 120));
    widget->setPalette(palette);
}

// Fills a combo with the names of catalogue records (paper or format) and the map from
// their ids to those names.
template <typename Record>
void fillNames(QMap<int, QString> &names, QComboBox *combo, const QList<Record> &records)
{
    names.clear();
    combo->clear();
    for (const Record &record : records) {
        names.insert(record.id, record.colonna2);
        combo->addItem(record.colonna2);
    }
}

// The width and height of a product's format, read once per product for a loop over prints;
// an empty size when the product can't be read.
QSize formatSizeOf(OrdiniLocal &store, int idStampa, QMap<int, QSize> &known)
{
    const auto found = known.constFind(idStampa);
    if (found != known.constEnd())
        return *found;
    QSize size;
    try {
        if (idStampa > 0) {
            const OrdiniLocal::StampaLocal stampa = store.StampaLocalFromDb(idStampa);
            size = QSize(stampa.formato.colonna3, stampa.formato.colonna4);
        }
    } catch (const Korvex2Exception &) {
    }
    known.insert(idStampa, size);
    return size;
}

} // namespace

ArticoloStampaFotograficaComposer::ArticoloStampaFotograficaComposer(OrdiniLocal::OrdineLocal &ordineIn,
                                                                     QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ArticoloStampaFotograficaComposer)
{
    ui->setupUi(this);
    defaultStampa = emptyStampa();

    ui->splitter_2->setSizes({350, width() - 350});
    ui->splitter_2->setStretchFactor(1, 1);
    setStyleSheet(styleSheet() + KorvexGlobals::QToolButtonStyleSheet + KorvexGlobals::QToolButtonFocusStyleSheet);
    // The form is polished for its style sheet now, not when it is first shown: that polish
    // would put back the palettes the labels had before, and their colours would be lost.
    ensurePolished();
    initPalettes();

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
    // Enter on a print opens the photo editor, as a double click does.
    auto *enterKey = new EnterKeyFilter(this);
    ui->listViewFotoPrint->installEventFilter(enterKey);
    connect(enterKey, &EnterKeyFilter::activated, this, &ArticoloStampaFotograficaComposer::openPhotoEditor);

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
    case EditedOrderWriter::RemovedMeanwhile:
        plainWarning(this, tr("Ordine eliminato"),
                     tr("L'ordine non esiste più su questo computer: è stato eliminato mentre lo modificavi. "
                        "Le modifiche non sono state salvate."),
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
    // A folder that has been read and put in order asks for the files in view first, as
    // scrolling does, before the model's batch of the whole folder starts. A later new order of
    // a folder read (a file come or renamed) asks again; the partial orders while the folder is
    // still being read ask nothing, or the pool would read files that end up out of view.
    const auto filesInView = [this] {
        on_fileSelectionVerticalScrollBarValueChanged(ui->listViewFileSelection->verticalScrollBar()->value());
    };
    connect(fileSelectionModel, &ArticoloStampaFotograficaFileSelectionModel::folderListed, this, filesInView);
    connect(fileSelectionModel, &QAbstractItemModel::layoutChanged, this, [this, filesInView] {
        if (!fileSelectionModel->isFolderInOrder())
            return;
        QTimer::singleShot(0, this, [this, filesInView] {
            if (fileSelectionModel->isFolderInOrder())
                filesInView();
        });
    });

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
    // Every print is a picture of one size: laying the list out measures one, not thousands.
    prints->setUniformItemSizes(true);
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
    // The scroll bar's width as it is shown: one never shown yet has a widget's default width
    // (100 pixels), which would count half the columns of the first screen.
    const QScrollBar *bar = view->verticalScrollBar();
    const int barWidth = bar->isVisible() ? bar->width() : bar->sizeHint().width();
    const int cellWidth = icon.width() + barWidth / 2 + spacing;
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
    fillNames(defaultFormatiMap, ui->defaultFormato, formati);
}

void ArticoloStampaFotograficaComposer::fillDefaultCarte(const QList<OrdiniLocal::CartaLocal> &carte)
{
    fillNames(defaultCarteMap, ui->defaultCarta, carte);
}

void ArticoloStampaFotograficaComposer::fillFormati(const QList<OrdiniLocal::FormatoLocal> &formati)
{
    fillNames(stampaFormatiMap, ui->stampaFormato, formati);
}

void ArticoloStampaFotograficaComposer::fillCarte(const QList<OrdiniLocal::CartaLocal> &carte)
{
    fillNames(stampaCarteMap, ui->stampaCarta, carte);
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
    return recalculateCropArea(riga, store.StampaLocalFromDb(riga.IdStampa), image);
}

QRectF ArticoloStampaFotograficaComposer::recalculateCropArea(const OrdiniLocal::OrdineRigaStampaLocal &riga,
                                                              const OrdiniLocal::StampaLocal &stampa, QSize image)
{
    if (!image.isValid()) {
        const auto cached = ArticoloStampaFotograficaFotoPrintModel::fileSizes.constFind(riga.FilePath);
        if (cached != ArticoloStampaFotograficaFotoPrintModel::fileSizes.constEnd())
            image = *cached;
        else
            image = imageUtility::getImageSize(riga.FilePath);
    }
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
    // One read of the file's header tells both whether it is an image and its size.
    QSize imageSize;
    if (!imageUtility::isValidImage(path, &imageSize))
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
    if (riga.Transformation.Type == 2) {
        // A size the print list already knows is the one its previews use.
        const auto cached = ArticoloStampaFotograficaFotoPrintModel::fileSizes.constFind(riga.FilePath);
        if (cached != ArticoloStampaFotograficaFotoPrintModel::fileSizes.constEnd())
            imageSize = *cached;
        riga.Transformation.CropRect = recalculateCropArea(riga, batchStampa(riga.IdStampa), imageSize);
    }

    // The list scrolls to its end once, after the batch: each scroll lays the whole list out.
    addStampaItem(riga);
}

const OrdiniLocal::StampaLocal &ArticoloStampaFotograficaComposer::batchStampa(int idStampa)
{
    auto found = batchStampe.find(idStampa);
    if (found == batchStampe.end())
        found = batchStampe.insert(idStampa, ordiniLocal.StampaLocalFromDb(idStampa));
    return *found;
}

void ArticoloStampaFotograficaComposer::endOfBatch()
{
    batchStampe.clear();
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
    batchStampe.clear();
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
    batchStampe.clear();
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
    const bool any = n > 0;
    ui->toolButtonAvanti->setEnabled(any);
    ui->toolButtonRemoveAll->setEnabled(any);
    ui->toolButtonSelectedFilesSelectAll->setEnabled(any);
    ui->actionSelectedFilesSelectAll->setEnabled(any);
    ui->actionSelectedFilesRemoveAll->setEnabled(any);
    if (any && !fotoPrintModel->invalidFilesList().isEmpty()) {
        ui->toolButtonRemoveInvalid->show();
        ui->toolButtonSelectedFilesChange->show();
        ui->actionSelectedFilesChange->setVisible(true);
        ui->actionRemoveInvalid->setVisible(true);
    }
    saved = false;
}

// ---------------------------------------------------------------------------------------------
// Missing files, replacement and removal of prints

void ArticoloStampaFotograficaComposer::showFilesNotFoundAlert()
{
    repaint();
    QMessageBox box(QMessageBox::Warning, tr("File non trovati"),
                    tr("<h3>Attenzione, uno o più file non sono stati trovati!</h3>Puoi scegliere di rimuovere direttamente i file non trovati oppure continuare con la modifica per sostituirli manualmente"),
                    QMessageBox::NoButton, this);
    box.setTextFormat(Qt::RichText);
    // One role for the three, so that they stay in this order.
    QPushButton *continua = box.addButton(tr("Continua"), QMessageBox::ActionRole);
    QPushButton *rimuovi = box.addButton(tr("Rimuovi file non trovati"), QMessageBox::ActionRole);
    QPushButton *chiudi = box.addButton(tr("Chiudi"), QMessageBox::ActionRole);
    box.setDefaultButton(continua);
    box.setEscapeButton(continua);
    box.exec();
    if (box.clickedButton() == rimuovi) {
        on_toolButtonRemoveInvalid_clicked();
    } else if (box.clickedButton() == chiudi) {
        saved = true;
        close();
    }
}

void ArticoloStampaFotograficaComposer::on_toolButtonRemoveInvalid_clicked()
{
    if (QMessageBox::question(this, tr("Elimina stampe non valide"),
                              tr("Rimuovere tutte le stampe collegate a file non trovati?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    // A path is matched by its clean absolute form on both sides: an order file written by
    // hand or by another program may hold a relative path, or one with "." or "..".
    const auto key = [](const QString &path) {
        return path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    };
    QSet<QString> missing;
    for (const QFileInfo &file : fotoPrintModel->invalidFilesList())
        missing.insert(key(file.filePath()));
    const QList<OrdiniLocal::OrdineRigaStampaLocal> righe = fotoPrintModel->stampe();
    for (int row = righe.size() - 1; row >= 0; --row) {
        if (missing.contains(key(righe.at(row).FilePath)))
            removeAt(row);
    }
}

void ArticoloStampaFotograficaComposer::on_actionRemoveInvalid_triggered()
{
    on_toolButtonRemoveInvalid_clicked();
}

void ArticoloStampaFotograficaComposer::removeAt(int index)
{
    const int count = fotoPrintModel->rowCount();
    if (count == 0 || index < 0 || index >= count)
        return;
    QItemSelectionModel *selection = ui->listViewFotoPrint->selectionModel();
    disconnect(selection, SIGNAL(selectionChanged(QItemSelection,QItemSelection)), this,
               SLOT(on_selectedFilesSelectionChanged()));
    fotoPrintModel->removeRows(index, 1);
    on_selectedFilesDataChanged();
    on_selectedFilesSelectionChanged();
    connect(selection, SIGNAL(selectionChanged(QItemSelection,QItemSelection)), this,
            SLOT(on_selectedFilesSelectionChanged()));
}

void ArticoloStampaFotograficaComposer::removeSelected()
{
    const WaitCursor wait(this);
    QCoreApplication::processEvents();
    // The list repaints once at the end, not the region of every removed selection.
    const UpdatesSuspended suspended(ui->listViewFotoPrint);
    // The selected rows as runs of neighbours, each removed in one call from the last run up,
    // so that the rows of the runs still to come keep their numbers; the list's refresh and
    // the selection handler run once afterwards. One row at a time, each with its refresh,
    // cost the square of the rows: "Rimuovi tutti" of thousands of prints froze the window.
    QItemSelectionModel *selection = ui->listViewFotoPrint->selectionModel();
    QVector<int> rows;
    for (const QItemSelectionRange &range : selection->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    }
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    disconnect(selection, SIGNAL(selectionChanged(QItemSelection,QItemSelection)), this,
               SLOT(on_selectedFilesSelectionChanged()));
    for (int end = rows.size(); end > 0;) {
        int first = end - 1;
        while (first > 0 && rows.at(first - 1) == rows.at(first) - 1)
            --first;
        fotoPrintModel->removeRows(rows.at(first), rows.at(end - 1) - rows.at(first) + 1);
        end = first;
    }
    on_selectedFilesDataChanged();
    on_selectedFilesSelectionChanged();
    connect(selection, SIGNAL(selectionChanged(QItemSelection,QItemSelection)), this,
            SLOT(on_selectedFilesSelectionChanged()));
}

void ArticoloStampaFotograficaComposer::on_toolButtonRemove_clicked()
{
    if (ui->listViewFotoPrint->selectionModel()->selectedRows(0).isEmpty())
        return;
    if (QMessageBox::question(this, tr("Rimuovi Stampe"), tr("Rimuovere le stampe selezionate?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes)
        removeSelected();
}

void ArticoloStampaFotograficaComposer::on_actionSelectedFilesRemove_triggered()
{
    on_toolButtonRemove_clicked();
}

void ArticoloStampaFotograficaComposer::on_toolButtonRemoveAll_clicked()
{
    if (fotoPrintModel->rowCount() == 0)
        return;
    if (QMessageBox::question(this, tr("Rimuovi tutti"),
                              tr("Tutti gli elementi della lista verrano rimossi.\r\nSicuro di voler continuare?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    ui->listViewFotoPrint->selectAll();
    removeSelected();
}

void ArticoloStampaFotograficaComposer::on_actionSelectedFilesRemoveAll_triggered()
{
    on_toolButtonRemoveAll_clicked();
}

void ArticoloStampaFotograficaComposer::on_toolButtonSelectedFilesSelectAll_clicked()
{
    ui->listViewFotoPrint->selectAll();
}

void ArticoloStampaFotograficaComposer::on_actionSelectedFilesSelectAll_triggered()
{
    ui->listViewFotoPrint->selectAll();
}

void ArticoloStampaFotograficaComposer::on_toolButtonSelectedFilesChange_clicked()
{
    const QModelIndex current = ui->listViewFotoPrint->currentIndex();
    if (!current.isValid())
        return;
    if (changeFile(current.row(), QString(), false))
        on_selectedFilesSelectionChanged();
}

void ArticoloStampaFotograficaComposer::on_actionSelectedFilesChange_triggered()
{
    on_toolButtonSelectedFilesChange_clicked();
}

bool ArticoloStampaFotograficaComposer::changeFile(int index, QString newFilePath, bool batchChangeCheck)
{
    // Each call replaces the file of its one row.
    Q_UNUSED(batchChangeCheck)
    if (index < 0 || index >= fotoPrintModel->rowCount())
        return false;
    OrdiniLocal::OrdineRigaStampaLocal riga = fotoPrintModel->stampe().at(index);
    const QString oldPath = QFileInfo(riga.FilePath).absoluteFilePath();
    bool missing = false;
    for (const QFileInfo &file : fotoPrintModel->invalidFilesList()) {
        if (file.absoluteFilePath() == oldPath) {
            missing = true;
            break;
        }
    }
    if (!missing)
        return false;

    if (newFilePath.isEmpty()) {
        const QString start = QFileInfo(riga.FilePath).absoluteDir().exists() ? riga.FilePath : QDir::homePath();
        newFilePath = QFileDialog::getOpenFileName(this, QStringLiteral("Seleziona un file"), start,
                                                   tr("Tutti i file (*.*);;Immagini (*.png *.xpm *.jpg *.jpeg *.bmp *.gif)"));
    }
    if (newFilePath.isEmpty() || !QFileInfo::exists(newFilePath))
        return false;
    // The laboratory's render needs an image: any other file would fail the whole order.
    if (!imageUtility::isValidImage(newFilePath)) {
        plainWarning(this, tr("Seleziona un file"),
                     tr("Il file scelto non è un'immagine leggibile: %1").arg(QDir::toNativeSeparators(newFilePath)));
        return false;
    }

    const WaitCursor wait(this);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const QFileInfo file(newFilePath);
    riga.FilePath = file.absoluteFilePath();
    riga.FileSize = file.size();
    // A crop chosen on the old image stands where it lies inside the new one; else it is
    // centred again. Fit rows keep theirs.
    if (riga.Transformation.Type == 2) {
        const QSize size = imageUtility::getImageSize(riga.FilePath);
        const QRectF crop = riga.Transformation.CropRect;
        const bool inside = size.width() > 0 && size.height() > 0 && !crop.isEmpty()
                            && QRectF(QPointF(0, 0), QSizeF(size)).contains(crop);
        if (!inside) {
            try {
                riga.Transformation.CropRect = recalculateCropArea(riga);
            } catch (const Korvex2Exception &) {
                riga.Transformation.CropRect = QRectF(0, 0, 0, 0);
            }
        }
    }
    try {
        fotoPrintModel->editStampa(riga, fotoPrintModel->index(index, 0));
    } catch (const Korvex2Exception &) {
        // The row is in place; the list tells that its product is not available.
    }
    fotoPrintModel->loadThumbs(QSize(-1, -1), {riga});
    on_selectedFilesDataChanged();
    return true;
}

// ---------------------------------------------------------------------------------------------
// The panel of the selected prints

// The selected rows of the print list in the selection's order, each once; the same rows as
// the selection model's selectedRows(0) for a list, read from its ranges.
static QVector<int> selectedRowNumbers(QItemSelectionModel *selection, int rowCount)
{
    QVector<int> rows;
    QVector<bool> seen(rowCount, false);
    const QItemSelection ranges = selection->selection();
    for (const QItemSelectionRange &range : ranges) {
        if (range.left() > 0 || range.parent().isValid())
            continue;
        for (int row = range.top(); row <= range.bottom() && row < rowCount; ++row) {
            if (row >= 0 && !seen.at(row)) {
                seen[row] = true;
                rows << row;
            }
        }
    }
    return rows;
}

void ArticoloStampaFotograficaComposer::on_selectedFilesSelectionChanged()
{
    const QList<OrdiniLocal::OrdineRigaStampaLocal> all = fotoPrintModel->stampe();
    const QVector<int> rows = selectedRowNumbers(ui->listViewFotoPrint->selectionModel(), all.size());
    const bool any = !rows.isEmpty();
    ui->actionSelectedFilesRemove->setEnabled(any);
    ui->toolButtonRemove->setEnabled(any);
    ui->actionSelectedFilesCangeStampaSettings->setEnabled(any);
    ui->toolButtonSelectedFilesCangeStampaSettings->setEnabled(any);
    ui->actionPhotoEditor->setEnabled(any);
    ui->toolButtonPhotoEditor->setEnabled(any);
    const bool oneMissing = rows.size() == 1 && !QFileInfo::exists(all.at(rows.first()).FilePath);
    ui->actionSelectedFilesChange->setEnabled(oneMissing);
    ui->toolButtonSelectedFilesChange->setEnabled(oneMissing);

    QList<OrdiniLocal::OrdineRigaStampaLocal> selected;
    selected.reserve(rows.size());
    for (int row : rows)
        selected << all.at(row);
    updateStampaProperties(selected);
}

QMap<QString, QString> ArticoloStampaFotograficaComposer::getCommonStampaProperties(
    const QList<OrdiniLocal::OrdineRigaStampaLocal> &righe)
{
    QMap<QString, QString> common;
    if (righe.isEmpty())
        return common;
    QString formato = righe.first().FormatoDesc;
    QString carta = righe.first().CartaDesc;
    const int firstQta = righe.first().Qta;
    bool sameQta = true;
    for (const OrdiniLocal::OrdineRigaStampaLocal &riga : righe) {
        if (!formato.isEmpty() && riga.FormatoDesc != formato)
            formato.clear();
        if (!carta.isEmpty() && riga.CartaDesc != carta)
            carta.clear();
        sameQta = sameQta && riga.Qta == firstQta;
    }
    const QString qta = sameQta ? QStringLiteral("%1").arg(firstQta, 0, 10) : QString();
    common.insert(QStringLiteral("FormatoDesc"), formato);
    common.insert(QStringLiteral("CartaDesc"), carta);
    common.insert(QStringLiteral("Qta"), qta);
    return common;
}

void ArticoloStampaFotograficaComposer::updateStampaProperties(const QList<OrdiniLocal::OrdineRigaStampaLocal> &righe)
{
    // Showing a selection sets the controls by program: their handlers react to the user
    // only (the combos' activated signal; the copies box is blocked here).
    ui->widgetSelectedStampeProperties->setEnabled(true);
    ui->widgetSelectedStampeProperties->show();
    const QSignalBlocker qtaBlocker(ui->stampaQta);
    if (righe.isEmpty()) {
        ui->stampaFormato->setCurrentIndex(-1);
        ui->stampaCarta->setCurrentIndex(-1);
        ui->stampaQta->setValue(1);
        ui->stampaFormato->setEnabled(false);
        ui->stampaCarta->setEnabled(false);
        ui->stampaQta->setEnabled(false);
        return;
    }
    const QMap<QString, QString> common = getCommonStampaProperties(righe);
    ui->stampaFormato->setEnabled(true);
    ui->stampaCarta->setEnabled(true);
    ui->stampaQta->setEnabled(true);

    const QString carta = common.value(QStringLiteral("CartaDesc"));
    ui->stampaCarta->setCurrentIndex(
        carta.isEmpty() ? -1 : ui->stampaCarta->findText(carta, Qt::MatchExactly | Qt::MatchCaseSensitive));
    const int idCarta = idByName(stampaCarteMap, carta);
    // The list already holds that paper's formats when it was filled for it last.
    if (idCarta > 0 && idCarta != panelFormatiCarta) {
        try {
            fillFormati(ordiniLocal.GetFormatiByCarta(ordiniLocal.CartaLocalFromDb(idCarta)));
            panelFormatiCarta = idCarta;
        } catch (const Korvex2Exception &e) {
            // The format list stays as it was; no print changes.
            plainWarning(this, tr("Errore database"), messageOf(e));
        }
    }
    const QString formato = common.value(QStringLiteral("FormatoDesc"));
    ui->stampaFormato->setCurrentIndex(
        formato.isEmpty() ? -1 : ui->stampaFormato->findText(formato, Qt::MatchExactly | Qt::MatchCaseSensitive));
    const QString qta = common.value(QStringLiteral("Qta"));
    ui->stampaQta->setValue(qta.isEmpty() ? 1 : qta.toInt(nullptr, 10));
}

void ArticoloStampaFotograficaComposer::applyStampaToSelected(const OrdiniLocal::StampaLocal &stampa)
{
    const QModelIndexList rows = ui->listViewFotoPrint->selectionModel()->selectedRows(0);
    const QList<OrdiniLocal::OrdineRigaStampaLocal> all = fotoPrintModel->stampe();
    const QSize newFormat(stampa.formato.colonna3, stampa.formato.colonna4);
    QMap<int, QSize> formatOf; // product id -> its format's size
    try {
        for (const QModelIndex &index : rows) {
            OrdiniLocal::OrdineRigaStampaLocal riga = all.at(index.row());
            const QSize oldFormat = formatSizeOf(ordiniLocal, riga.IdStampa, formatOf);
            const bool formatChanges = oldFormat.isEmpty() || oldFormat != newFormat;
            riga.IdStampa = stampa.id;
            riga.Codice = stampa.codice;
            riga.Descrizione = stampa.descrizione;
            riga.FormatoDesc = stampa.formato.colonna2;
            riga.CartaDesc = stampa.carta.colonna2;
            // A crop of the old proportions would print smaller than the new format; one the
            // customer chose for the same format stays.
            if (riga.Transformation.Type == 2 && formatChanges)
                riga.Transformation.CropRect = stampa.id > 0 ? recalculateCropArea(riga, stampa) : recalculateCropArea(riga);
            riga.Prezzo = stampa.prezzo;
            fotoPrintModel->editStampa(riga, index);
        }
    } catch (const Korvex2Exception &e) {
        plainWarning(this, tr("Modifca Proprietà Stampe"), messageOf(e), QMessageBox::Critical);
    }
    on_selectedFilesDataChanged();
}

void ArticoloStampaFotograficaComposer::on_stampaFormato_activated(const QString &text)
{
    const int idFormato = idByName(stampaFormatiMap, text);
    if (idFormato < 1)
        return;
    try {
        ordiniLocal.FormatoLocalFromDb(idFormato);
    } catch (const Korvex2Exception &) {
        return;
    }
    if (ui->listViewFotoPrint->selectionModel()->selectedRows(0).isEmpty())
        return;
    OrdiniLocal::StampaLocal stampa;
    try {
        stampa = ordiniLocal.GetStampaByFormatoCarta(idByName(stampaFormatiMap, ui->stampaFormato->currentText()),
                                                     idByName(stampaCarteMap, ui->stampaCarta->currentText()));
    } catch (const Korvex2Exception &e) {
        plainWarning(this, tr("Modifca Proprietà Stampe"), messageOf(e), QMessageBox::Critical);
        return;
    }
    applyStampaToSelected(stampa);
}

void ArticoloStampaFotograficaComposer::on_stampaCarta_activated(const QString &text)
{
    const QString formato = ui->stampaFormato->currentText();
    const int idCarta = idByName(stampaCarteMap, text);
    if (idCarta < 1)
        return;
    try {
        const OrdiniLocal::CartaLocal carta = ordiniLocal.CartaLocalFromDb(idCarta);
        panelFormatiCarta = 0;
        fillFormati(ordiniLocal.GetFormatiByCarta(carta));
        panelFormatiCarta = idCarta;
        const int keep = ui->stampaFormato->findText(formato, Qt::MatchExactly | Qt::MatchCaseSensitive);
        ui->stampaFormato->setCurrentIndex(keep >= 0 ? keep : 0);
    } catch (const Korvex2Exception &) {
        return;
    }
    if (ui->listViewFotoPrint->selectionModel()->selectedRows(0).isEmpty())
        return;
    OrdiniLocal::StampaLocal stampa;
    try {
        stampa = ordiniLocal.GetStampaByFormatoCarta(idByName(stampaFormatiMap, ui->stampaFormato->currentText()),
                                                     idByName(stampaCarteMap, ui->stampaCarta->currentText()));
    } catch (const Korvex2Exception &e) {
        plainWarning(this, tr("Modifca Proprietà Stampe"), messageOf(e), QMessageBox::Critical);
        return;
    }
    applyStampaToSelected(stampa);
}

void ArticoloStampaFotograficaComposer::on_stampaQta_valueChanged(int value)
{
    const QModelIndexList rows = ui->listViewFotoPrint->selectionModel()->selectedRows(0);
    if (rows.isEmpty())
        return;
    const QList<OrdiniLocal::OrdineRigaStampaLocal> all = fotoPrintModel->stampe();
    for (const QModelIndex &index : rows) {
        OrdiniLocal::OrdineRigaStampaLocal riga = all.at(index.row());
        riga.Qta = value;
        try {
            fotoPrintModel->editStampa(riga, index);
        } catch (const Korvex2Exception &) {
            // The row is in place; only the product cache could not be read.
        }
    }
    on_selectedFilesDataChanged();
}

// ---------------------------------------------------------------------------------------------
// The photo editor

void ArticoloStampaFotograficaComposer::openPhotoEditor(const QModelIndex &index)
{
    if (!index.isValid() || index.model() != fotoPrintModel || index.row() >= fotoPrintModel->rowCount())
        return;
    const WaitCursor wait(this);
    QCoreApplication::processEvents();
    std::unique_ptr<ArticoloStampaFotograficaFotoEditor> editor;
    try {
        editor = std::make_unique<ArticoloStampaFotograficaFotoEditor>(fotoPrintModel->stampe().at(index.row()),
                                                                        nullptr);
    } catch (const Korvex2Exception &e) {
        plainWarning(this, tr("Modifica stampa"), messageOf(e));
        return;
    }
    editor->setWindowFlags(Qt::Dialog | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint
                           | Qt::WindowCloseButtonHint);
    connect(editor.get(), SIGNAL(dataChanged(OrdiniLocal::OrdineRigaStampaLocal,QPixmap)), this,
            SLOT(on_editorDataChanged(OrdiniLocal::OrdineRigaStampaLocal,QPixmap)));
    editor->exec();
}

void ArticoloStampaFotograficaComposer::on_listViewFotoPrint_doubleClicked(const QModelIndex &index)
{
    openPhotoEditor(index);
}

void ArticoloStampaFotograficaComposer::on_actionPhotoEditor_triggered()
{
    const QModelIndex current = ui->listViewFotoPrint->currentIndex();
    ui->listViewFotoPrint->clearSelection();
    if (!current.isValid())
        return;
    ui->listViewFotoPrint->setCurrentIndex(current);
    openPhotoEditor(current);
}

void ArticoloStampaFotograficaComposer::on_toolButtonPhotoEditor_clicked()
{
    on_actionPhotoEditor_triggered();
}

void ArticoloStampaFotograficaComposer::on_editorDataChanged(OrdiniLocal::OrdineRigaStampaLocal riga, QPixmap thumb)
{
    Q_UNUSED(thumb)
    const QModelIndex current = ui->listViewFotoPrint->selectionModel()->currentIndex();
    if (!current.isValid())
        return;
    try {
        fotoPrintModel->editStampa(riga, current);
    } catch (const Korvex2Exception &e) {
        plainWarning(this, tr("Modifica stampa"), messageOf(e));
    }
    fotoPrintModel->loadThumbs(QSize(-1, -1), {fotoPrintModel->stampe().at(current.row())});
    on_selectedFilesDataChanged();
    // The panel shows what the selected prints hold now.
    on_selectedFilesSelectionChanged();
}

// ---------------------------------------------------------------------------------------------
// Bulk print settings

void ArticoloStampaFotograficaComposer::on_toolButtonSelectedFilesCangeStampaSettings_clicked()
{
    const QModelIndexList rows = ui->listViewFotoPrint->selectionModel()->selectedRows(0);
    const QList<OrdiniLocal::OrdineRigaStampaLocal> all = fotoPrintModel->stampe();
    QList<OrdiniLocal::OrdineRigaStampaLocal> selected;
    for (const QModelIndex &index : rows)
        selected << all.at(index.row());
    const QMap<QString, QString> common = getCommonStampaProperties(selected);

    const QString failureTitle = tr("Modifica impostazioni di stampa");
    const QString failureText = tr("Impossibile modificare le impostazioni di stampa a causa di un errore.");
    std::unique_ptr<ArticoloStampaFotograficaItemSettings> dialog;
    try {
        dialog = std::make_unique<ArticoloStampaFotograficaItemSettings>(this);
    } catch (const Korvex2Exception &) {
        // Without the catalogue's lists there is nothing to choose from: no dialog, no change.
        QMessageBox::warning(this, failureTitle, failureText, QMessageBox::Ok);
        return;
    }
    dialog->setCarta(common.value(QStringLiteral("CartaDesc")));
    dialog->setFormato(common.value(QStringLiteral("FormatoDesc")));
    dialog->setQta(common.value(QStringLiteral("Qta")).toInt(nullptr, 10));
    dialog->setWindowFlags(Qt::Tool);
    dialog->setMinimumSize(dialog->size());
    dialog->setMaximumSize(dialog->size());

    if (dialog->exec() == QDialog::Accepted) {
        try {
            const OrdiniLocal::OrdineRigaStampaLocal settings = dialog->getCurrentSettings();
            // Every print gets the one product: read once, at the first print in crop mode.
            OrdiniLocal::StampaLocal product;
            bool productRead = false;
            QMap<int, QSize> formatOf; // the old products' format sizes
            for (const QModelIndex &index : rows) {
                OrdiniLocal::OrdineRigaStampaLocal riga = all.at(index.row());
                const int oldIdStampa = riga.IdStampa;
                riga.CartaDesc = settings.CartaDesc;
                riga.FormatoDesc = settings.FormatoDesc;
                riga.IdStampa = settings.IdStampa;
                riga.Qta = settings.Qta;
                riga.Codice = settings.Codice;
                riga.Descrizione = settings.Descrizione;
                riga.Prezzo = settings.Prezzo;
                if (riga.Transformation.Type == 2) {
                    if (!productRead) {
                        product = ordiniLocal.StampaLocalFromDb(riga.IdStampa);
                        productRead = true;
                    }
                    // Only a new format asks for a new crop: one chosen for the same format
                    // stays, whatever else changes.
                    const QSize oldFormat = formatSizeOf(ordiniLocal, oldIdStampa, formatOf);
                    if (oldFormat.isEmpty() || oldFormat != QSize(product.formato.colonna3, product.formato.colonna4))
                        riga.Transformation.CropRect = recalculateCropArea(riga, product);
                }
                fotoPrintModel->editStampa(riga, index);
            }
        } catch (...) {
            QMessageBox::warning(this, failureTitle, failureText, QMessageBox::Ok);
        }
    }
    dialog.reset();
    on_selectedFilesDataChanged();
    // The panel shows what the selected prints hold now.
    on_selectedFilesSelectionChanged();
}

void ArticoloStampaFotograficaComposer::on_actionSelectedFilesCangeStampaSettings_triggered()
{
    on_toolButtonSelectedFilesCangeStampaSettings_clicked();
}
