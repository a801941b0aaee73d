#include "articoloinviofilecomposer.h"

#include <QApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "articoloinviofileitemmodel.h"
#include "korvexglobals.h"
#include "lineeditfiltraeventfilter.h"
#include "ordinelocaldetailswidget.h"
#include "ordineupload.h"
#include "ui_articoloinviofilecomposer.h"
#include "utente.h"

ArticoloInvioFileComposer::ArticoloInvioFileComposer(OrdiniLocal::OrdineLocal &ordine, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ArticoloInvioFileComposer)
{
    ui->setupUi(this);
    setStyleSheet(styleSheet() + KorvexGlobals::QToolButtonStyleSheet + KorvexGlobals::QToolButtonFocusStyleSheet);

    saved = true;
    this->ordine = ordine;

    m_writer = new EditedOrderWriter(nullptr, this);
    connect(m_writer, &EditedOrderWriter::finished, this, &ArticoloInvioFileComposer::onWriteFinished);
    // The counters and the commands that depend on the list follow it once per batch of
    // changes, so that adding thousands of files stays quick.
    m_countersTimer = new QTimer(this);
    m_countersTimer->setSingleShot(true);
    m_countersTimer->setInterval(0);
    connect(m_countersTimer, &QTimer::timeout, this, &ArticoloInvioFileComposer::updateCounters);

    detailsWidget = new OrdineLocalDetailsWidget(ordine, ui->frameDetails);
    auto *detailsLayout = new QVBoxLayout(ui->frameDetails);
    detailsLayout->setContentsMargins(0, 0, 0, 0);
    detailsLayout->addWidget(detailsWidget);

    ui->pages->setCurrentIndex(0);
    ui->toolButtonIndietro->hide();
    ui->toolButtonSalva->hide();
    ui->toolButtonUpload->hide();
    ui->toolButtonAvanti->setEnabled(false);
    ui->toolButtonRemoveInvalid->hide();
    ui->toolButtonSelectedFilesChange->hide();
    if (!KorvexGlobals::utente)
        ui->toolButtonUpload->setEnabled(false);

    initSwitchLayoutButtons();
    initLineEditFiltra();
    initDirSelection();

    ordineToForm();

    if (!filesModel->invalidFilesList().isEmpty())
        QTimer::singleShot(1, this, &ArticoloInvioFileComposer::showFilesNotFoundAlert);
}

ArticoloInvioFileComposer::~ArticoloInvioFileComposer()
{
    delete ui;
    delete filesModel;
    delete detailsWidget;
    delete filterFocusFilter;
    delete selectedFilesFilter;
    delete dirModel;
    delete fileModel;
}

OrdiniLocal::OrdineLocal &ArticoloInvioFileComposer::getOrdine()
{
    return ordine;
}

// ---------------------------------------------------------------------------------------------
// Set-up

void ArticoloInvioFileComposer::initSwitchLayoutButtons()
{
    ui->toolButtonFileSelectionChangeLayout->addAction(ui->actionFileSelectionIconMode);
    ui->toolButtonFileSelectionChangeLayout->addAction(ui->actionFileSelectionDetailsMode);
    ui->actionFileSelectionIconMode->setChecked(true);
    ui->actionFileSelectionDetailsMode->setChecked(false);
    connect(ui->actionFileSelectionIconMode, &QAction::triggered, this,
            &ArticoloInvioFileComposer::fileSelectionSetIconModeLayout);
    connect(ui->actionFileSelectionDetailsMode, &QAction::triggered, this,
            &ArticoloInvioFileComposer::fileSelectionSetListModeLayout);
    connect(ui->toolButtonFileSelectionChangeLayout, &QToolButton::clicked, this,
            &ArticoloInvioFileComposer::fileSelectionSwitchLayout);

    ui->toolButtonSelectedFilesChangeLayout->addAction(ui->actionSelectedFilesIconMode);
    ui->toolButtonSelectedFilesChangeLayout->addAction(ui->actionSelectedFilesDetailsMode);
    connect(ui->actionSelectedFilesIconMode, &QAction::triggered, this,
            &ArticoloInvioFileComposer::selectedFilesSetIconModeLayout);
    connect(ui->actionSelectedFilesDetailsMode, &QAction::triggered, this,
            &ArticoloInvioFileComposer::selectedFilesSetListModeLayout);
    connect(ui->toolButtonSelectedFilesChangeLayout, &QToolButton::clicked, this,
            &ArticoloInvioFileComposer::selectedFilesSwitchLayout);
    ui->actionSelectedFilesIconMode->setChecked(true);
    ui->actionSelectedFilesDetailsMode->setChecked(false);
}

void ArticoloInvioFileComposer::initLineEditFiltra()
{
    filterHint = tr("Filtra file ...");
    filterHintPalette = QPalette();
    filterHintPalette.setColor(QPalette::All, QPalette::Text, QColor(125, 145, 145));

    QFont font = ui->lineEditFiltra->font();
    font.setItalic(true);
    ui->lineEditFiltra->setFont(font);

    filterFocusFilter = new lineEditFiltraEventFilter;
    ui->lineEditFiltra->installEventFilter(filterFocusFilter);
    connect(filterFocusFilter, &lineEditFiltraEventFilter::focusIn, this, &ArticoloInvioFileComposer::on_lineEditFiltra_focusIn);
}

void ArticoloInvioFileComposer::initDirSelection()
{
    dirModel = new QFileSystemModel(this);
    dirModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    dirModel->setReadOnly(true);
    dirModel->setRootPath(QDir::currentPath());
    ui->treeViewDirSelection->setModel(dirModel);
    ui->treeViewDirSelection->setColumnWidth(0, 220);

    fileModel = new QFileSystemModel(this);
    fileModel->setFilter(QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    fileModel->setReadOnly(true);
    fileModel->setNameFilterDisables(false);

    for (QAbstractItemView *view :
         {static_cast<QAbstractItemView *>(ui->listViewFileSelection), static_cast<QAbstractItemView *>(ui->tableViewFileSelection)}) {
        view->setModel(fileModel);
        view->setAcceptDrops(true);
        view->viewport()->installEventFilter(this);
        connect(view->selectionModel(), SIGNAL(selectionChanged(QItemSelection, QItemSelection)), this,
                SLOT(on_fileSelectionSelectionChanged()));
        view->addAction(ui->actionFileSelectionSelectAll);
        view->addAction(ui->actionFileSelectionAppendAll);
        view->addAction(ui->actionFileSelectionAppendSelected);
        connect(view, SIGNAL(dropFromSelectedFiles()), this, SLOT(dropFromSelectedFiles()));
    }
    ui->tableViewFileSelection->hide();

    filesModel = new ArticoloInvioFileItemModel(this);
    connect(filesModel, SIGNAL(dataChanged(QModelIndex, QModelIndex)), this, SLOT(on_selectedFilesDataChanged()));
    // Removals and resets change the counts as well, also when the list becomes empty.
    connect(filesModel, SIGNAL(rowsRemoved(QModelIndex, int, int)), this, SLOT(on_selectedFilesDataChanged()));
    connect(filesModel, SIGNAL(modelReset()), this, SLOT(on_selectedFilesDataChanged()));

    selectedFilesFilter = new selectedFilesEventFilter;
    connect(selectedFilesFilter, SIGNAL(cancelKeyPressed()), this, SLOT(on_toolButtonRemove_clicked()));

    for (QAbstractItemView *view :
         {static_cast<QAbstractItemView *>(ui->listViewSelectedFiles), static_cast<QAbstractItemView *>(ui->tableViewSelectedFiles)}) {
        view->addAction(ui->actionSelectedFilesRemove);
        view->addAction(ui->actionSelectedFilesRemoveAll);
        view->addAction(ui->actionSelectedFilesSelectAll);
        view->addAction(ui->actionSelectedFilesChange);
        view->addAction(ui->actionRemoveInvalid);
        view->setModel(filesModel);
        view->setDragEnabled(true);
        view->setAcceptDrops(true);
        connect(view->selectionModel(), SIGNAL(selectionChanged(QItemSelection, QItemSelection)), this,
                SLOT(on_selectedFilesSelectionChanged()));
        view->installEventFilter(selectedFilesFilter);
        // The double clicks arrive at the item area: the filter records their button there.
        view->viewport()->installEventFilter(selectedFilesFilter);
        connect(view, SIGNAL(dropFromFileSelection()), this, SLOT(dropFromFileSelection()));
        connect(view, SIGNAL(dropFromFileSystem(QList<QFileInfo>)), this, SLOT(dropFromFileSystem(QList<QFileInfo>)));
    }
    // Every item of the icon view takes one cell of its grid: laying out thousands of rows
    // need not measure each one.
    ui->listViewSelectedFiles->setUniformItemSizes(true);
    ui->tableViewSelectedFiles->hide();
    ui->tableViewSelectedFiles->setColumnWidth(0, 250);
    ui->tableViewSelectedFiles->setColumnWidth(1, 300);

    // The desktop, or the home folder where there is none.
    QString start = QStandardPaths::standardLocations(QStandardPaths::DesktopLocation).value(0);
    if (start.isEmpty() || !QFileInfo(start).isDir())
        start = QDir::homePath();
    setDirSelectionRootIndex(dirModel->index(start));

    connect(ui->treeViewDirSelection->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &ArticoloInvioFileComposer::on_treeViewDirSelection_selectionChanged);
}

// ---------------------------------------------------------------------------------------------
// Order and form

void ArticoloInvioFileComposer::ordineToForm()
{
    detailsWidget->setOrdine(ordine);
    if (!ordine.righeFile.isEmpty()) {
        QList<QFileInfo> files;
        files.reserve(ordine.righeFile.size());
        for (const OrdiniLocal::OrdineRigaFileLocal &riga : qAsConst(ordine.righeFile))
            files.append(QFileInfo(riga.FilePath));
        filesModel->setFileList(files);
    }
}

void ArticoloInvioFileComposer::formToOrdine()
{
    ordine.Attivo = true;
    ordine.Utente = KorvexGlobals::utente ? KorvexGlobals::utente->Getid() : 0;
    ordine.ClienteFinale = detailsWidget->clienteFinale();
    ordine.Priorita = -1;
    if (ordine.Data.isNull())
        ordine.Data = QDateTime::currentDateTime();
    ordine.DataUltimaModifica = QDateTime::currentDateTime();
    ordine.Inviato = false;
    ordine.Note = detailsWidget->note();

    const QList<OrdiniLocal::OrdineRigaFileLocal> oldRows = ordine.righeFile;
    ordine.righeFile.clear();
    if (!filesModel || filesModel->rowCount() < 1)
        return;
    const QList<QFileInfo> files = filesModel->fileList();
    for (const QFileInfo &file : files) {
        OrdiniLocal::OrdineRigaFileLocal riga;
        riga.WsFileId = QString();
        riga.Codice = QStringLiteral("artfile");
        riga.Descrizione = tr("Invio File") + QLatin1Char(' ') + file.fileName();
        riga.TipoRiga = 1;
        riga.FilePath = file.absoluteFilePath();
        riga.FileSize = qint64(ArticoloInvioFileItemModel::onDisk(file).size);
        riga.Inviata = false;
        // An unchanged file keeps what the laboratory already has of it; the last match wins.
        for (const OrdiniLocal::OrdineRigaFileLocal &old : oldRows) {
            if (old.TipoRiga == 1 && old.FilePath == riga.FilePath && old.FileSize == riga.FileSize) {
                riga.WsFileId = old.WsFileId;
                riga.Inviata = old.Inviata;
            }
        }
        ordine.righeFile.append(riga);
    }
}

void ArticoloInvioFileComposer::refreshOrdine()
{
    formToOrdine();
    ordineToForm();
}

bool ArticoloInvioFileComposer::saveOrdine(bool avviaInvio, int closeCode)
{
    if (m_writer->isBusy())
        return false;
    ordine.DataUltimaModifica = QDateTime::currentDateTime();
    m_startAfterSave = avviaInvio;
    m_closeAfterSave = closeCode;
    ui->frameBottom->setEnabled(false);
    // A new order has no Uuid yet; once written it has one, and later saves go over its file.
    const bool existing = !ordine.Uuid.isEmpty();
    if (!m_writer->write(ordine, existing)) {
        ui->frameBottom->setEnabled(true);
        return false;
    }
    return true;
}

void ArticoloInvioFileComposer::onWriteFinished(EditedOrderWriter::Outcome outcome,
                                                const OrdiniLocal::OrdineLocal &written, const QString &error)
{
    ui->frameBottom->setEnabled(true);
    const int closeCode = m_closeAfterSave;
    m_closeAfterSave = -1;
    switch (outcome) {
    case EditedOrderWriter::Saved:
        ordine = written;
        saved = true;
        if (m_startAfterSave && KorvexGlobals::ordineUpload && !KorvexGlobals::ordineUpload->processingUploads())
            KorvexGlobals::ordineUpload->startUpload();
        if (closeCode >= 0)
            QDialog::done(closeCode);
        break;
    case EditedOrderWriter::SentMeanwhile:
        QMessageBox::information(this, tr("Ordine già inviato"),
                                 tr("L'ordine è stato inviato al laboratorio mentre lo modificavi: "
                                    "le modifiche non sono state salvate."));
        saved = true;
        QDialog::done(closeCode >= 0 ? closeCode : int(QDialog::Rejected));
        break;
    case EditedOrderWriter::RemovedMeanwhile:
        QMessageBox::information(this, tr("Ordine eliminato"),
                                 tr("L'ordine non esiste più su questo computer: è stato eliminato mentre lo "
                                    "modificavi. Le modifiche non sono state salvate."));
        saved = true;
        QDialog::done(closeCode >= 0 ? closeCode : int(QDialog::Rejected));
        break;
    case EditedOrderWriter::Failed:
        QMessageBox::warning(this, tr("Salva Ordine"),
                             tr("Impossibile salvare l'ordine.") + QStringLiteral("\r\n\r\n") + error);
        break;
    }
    m_startAfterSave = false;
}

bool ArticoloInvioFileComposer::confirmEmptyClienteFinale()
{
    if (!detailsWidget->clienteFinale().isEmpty())
        return true;
    return QMessageBox::question(this, tr("Salva Ordine"),
                                 tr("Non hai specificato il cliente finale, vuoi continuare ugualmente?"),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
           == QMessageBox::Yes;
}

// ---------------------------------------------------------------------------------------------
// Pages and closing

void ArticoloInvioFileComposer::on_pages_currentChanged(int index)
{
    if (index < 0)
        return;
    formToOrdine();
    if (index == 1) {
        ordineToForm();
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

void ArticoloInvioFileComposer::on_toolButtonClose_clicked()
{
    reject();
}

void ArticoloInvioFileComposer::on_toolButtonIndietro_clicked()
{
    if (ui->pages->currentIndex() > 0)
        ui->pages->setCurrentIndex(ui->pages->currentIndex() - 1);
}

void ArticoloInvioFileComposer::on_toolButtonAvanti_clicked()
{
    if (!filesModel->invalidFilesList().isEmpty()) {
        QMessageBox::warning(this, tr("Impossibile continuare"),
                             tr("Impossibile continuare se non vengono prima sostituiti o rimossi i file non trovati"),
                             QMessageBox::Ok);
        ui->pages->setCurrentIndex(0);
        return;
    }
    if (filesModel->rowCount() < 1)
        return;
    if (ui->pages->currentIndex() < ui->pages->count() - 1)
        ui->pages->setCurrentIndex(ui->pages->currentIndex() + 1);
}

void ArticoloInvioFileComposer::on_toolButtonSalva_clicked()
{
    if (m_writer->isBusy() || !confirmEmptyClienteFinale())
        return;
    formToOrdine();
    ordineToForm();
    ordine.Attivo = false;
    saveOrdine(false, QDialog::Accepted);
}

void ArticoloInvioFileComposer::on_toolButtonUpload_clicked()
{
    if (!KorvexGlobals::utente) {
        on_toolButtonSalva_clicked();
        return;
    }
    if (m_writer->isBusy() || !confirmEmptyClienteFinale())
        return;
    formToOrdine();
    ordineToForm();
    ordine.Attivo = true;
    saveOrdine(true, QDialog::Accepted);
}

void ArticoloInvioFileComposer::done(int result)
{
    // Closing waits for a write under way: its outcome decides.
    if (m_writer->isBusy())
        return;
    if (!saved && result == QDialog::Rejected) {
        QMessageBox box(QMessageBox::Question, tr("Chiudi"),
                        tr("L'ordine non è stato ancora salvato, se si procede con la chiusura si perderanno tutti i "
                           "progressi.\r\nDesideri salvare l'ordine corrente?"),
                        QMessageBox::NoButton, this);
        QPushButton *salva = box.addButton(tr("Salva e chiudi"), QMessageBox::ActionRole);
        QPushButton *chiudi = box.addButton(tr("Chiudi senza salvare"), QMessageBox::ActionRole);
        QPushButton *annulla = box.addButton(tr("Annulla"), QMessageBox::ActionRole);
        box.setDefaultButton(annulla);
        box.exec();
        if (box.clickedButton() == salva) {
            formToOrdine();
            ordineToForm();
            ordine.Attivo = false;
            saveOrdine(false, QDialog::Rejected);
        } else if (box.clickedButton() == chiudi) {
            QDialog::done(QDialog::Rejected);
        }
        return;
    }
    QDialog::done(result);
}

bool ArticoloInvioFileComposer::eventFilter(QObject *watched, QEvent *event)
{
    lastViewportEvent.record(event);
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Folder tree and file browser

QAbstractItemView *ArticoloInvioFileComposer::visibleFileSelectionView() const
{
    if (!ui->tableViewFileSelection->isHidden())
        return ui->tableViewFileSelection;
    return ui->listViewFileSelection;
}

QAbstractItemView *ArticoloInvioFileComposer::visibleSelectedFilesView() const
{
    if (!ui->tableViewSelectedFiles->isHidden())
        return ui->tableViewSelectedFiles;
    return ui->listViewSelectedFiles;
}

void ArticoloInvioFileComposer::setRootPath(const QString &path)
{
    setDirSelectionRootIndex(dirModel->index(path));
}

void ArticoloInvioFileComposer::setDirSelectionRootIndex(const QModelIndex &index)
{
    QModelIndex folder = index.sibling(index.row(), 0);
    if (!dirModel->isDir(folder))
        folder = folder.parent();
    if (!folder.isValid() || !dirModel->isDir(folder))
        return;
    const QString path = dirModel->filePath(folder);
    ui->lineEditCurrentPath->setText(path);
    ui->treeViewDirSelection->setCurrentIndex(folder);
    setFileSelectionRootIndex(fileModel->setRootPath(path));
}

void ArticoloInvioFileComposer::setFileSelectionRootIndex(const QModelIndex &index)
{
    QModelIndex folder = index.sibling(index.row(), 0);
    if (!fileModel->isDir(folder))
        folder = folder.parent();
    if (!folder.isValid() || !fileModel->isDir(folder))
        return;
    for (QAbstractItemView *view :
         {static_cast<QAbstractItemView *>(ui->listViewFileSelection), static_cast<QAbstractItemView *>(ui->tableViewFileSelection)}) {
        if (view->rootIndex() != folder)
            view->setRootIndex(folder);
    }
}

void ArticoloInvioFileComposer::on_treeViewDirSelection_selectionChanged(const QModelIndex &current,
                                                                         const QModelIndex &previous)
{
    Q_UNUSED(previous)
    fileModel->setNameFilters(QStringList());
    ui->lineEditFiltra->setText(QString());
    on_lineEditFiltra_lostFocus();
    setDirSelectionRootIndex(current);
}

void ArticoloInvioFileComposer::on_toolButtonChangePath_clicked()
{
    const QString typed = ui->lineEditCurrentPath->text();
    const QFileInfo folder(typed);
    if (!typed.isEmpty() && folder.exists() && folder.isDir()) {
        setDirSelectionRootIndex(dirModel->index(folder.absoluteFilePath()));
        return;
    }
    QMessageBox::critical(this, tr("Esplora risorse"),
                          tr("Impossibile trovare '%1', verificare che il percorso sia corretto e riprovare.").arg(typed),
                          QMessageBox::Ok);
}

void ArticoloInvioFileComposer::on_lineEditCurrentPath_returnPressed()
{
    on_toolButtonChangePath_clicked();
}

void ArticoloInvioFileComposer::on_lineEditFiltra_focusIn()
{
    if (ui->lineEditFiltra->text() != filterHint)
        return;
    ui->lineEditFiltra->setText(QString());
    ui->lineEditFiltra->setPalette(QPalette());
    QFont font = ui->lineEditFiltra->font();
    font.setItalic(false);
    ui->lineEditFiltra->setFont(font);
}

void ArticoloInvioFileComposer::on_lineEditFiltra_lostFocus()
{
    if (!ui->lineEditFiltra->text().isEmpty())
        return;
    ui->lineEditFiltra->setText(filterHint);
    ui->lineEditFiltra->setPalette(filterHintPalette);
    QFont font = ui->lineEditFiltra->font();
    font.setItalic(true);
    ui->lineEditFiltra->setFont(font);
}

void ArticoloInvioFileComposer::on_lineEditFiltra_returnPressed()
{
    on_lineEditFiltra_textChanged(ui->lineEditFiltra->text());
}

void ArticoloInvioFileComposer::on_lineEditFiltra_textChanged(const QString &text)
{
    if (!fileModel)
        return;
    QStringList filters;
    if (!text.isEmpty() && text != filterHint) {
        QString filter = text;
        if (!filter.endsWith(QLatin1Char('*')))
            filter.append(QLatin1Char('*'));
        if (!filter.startsWith(QLatin1Char('*')))
            filter.prepend(QLatin1Char('*'));
        filters << filter;
    }
    fileModel->setNameFilters(filters);
    setDirSelectionRootIndex(ui->treeViewDirSelection->currentIndex());
}

// ---------------------------------------------------------------------------------------------
// Layout switches

void ArticoloInvioFileComposer::fileSelectionSetListModeLayout()
{
    ui->actionFileSelectionIconMode->setChecked(false);
    ui->actionFileSelectionDetailsMode->setChecked(true);
    ui->toolButtonFileSelectionChangeLayout->setIcon(ui->actionFileSelectionDetailsMode->icon());
    ui->listViewFileSelection->clearSelection();
    ui->tableViewFileSelection->clearSelection();
    const int tree = ui->treeViewDirSelection->width();
    const int icons = ui->listViewFileSelection->width();
    ui->splitter->setSizes({tree, icons, icons});
    ui->tableViewFileSelection->show();
    ui->listViewFileSelection->hide();
    on_fileSelectionSelectionChanged();
}

void ArticoloInvioFileComposer::fileSelectionSetIconModeLayout()
{
    ui->actionFileSelectionIconMode->setChecked(true);
    ui->actionFileSelectionDetailsMode->setChecked(false);
    ui->toolButtonFileSelectionChangeLayout->setIcon(ui->actionFileSelectionIconMode->icon());
    ui->listViewFileSelection->clearSelection();
    ui->tableViewFileSelection->clearSelection();
    const int tree = ui->treeViewDirSelection->width();
    const int details = ui->tableViewFileSelection->width();
    ui->splitter->setSizes({tree, details, details});
    ui->listViewFileSelection->show();
    ui->tableViewFileSelection->hide();
    on_fileSelectionSelectionChanged();
}

void ArticoloInvioFileComposer::fileSelectionSwitchLayout()
{
    if (ui->actionFileSelectionIconMode->isChecked())
        fileSelectionSetListModeLayout();
    else
        fileSelectionSetIconModeLayout();
}

void ArticoloInvioFileComposer::selectedFilesSetListModeLayout()
{
    ui->actionSelectedFilesIconMode->setChecked(false);
    ui->actionSelectedFilesDetailsMode->setChecked(true);
    ui->toolButtonSelectedFilesChangeLayout->setIcon(ui->actionSelectedFilesDetailsMode->icon());
    ui->listViewSelectedFiles->clearSelection();
    ui->tableViewSelectedFiles->clearSelection();
    ui->tableViewSelectedFiles->setGeometry(ui->listViewSelectedFiles->geometry());
    ui->tableViewSelectedFiles->show();
    ui->listViewSelectedFiles->hide();
    on_selectedFilesSelectionChanged();
}

void ArticoloInvioFileComposer::selectedFilesSetIconModeLayout()
{
    ui->actionSelectedFilesIconMode->setChecked(true);
    ui->actionSelectedFilesDetailsMode->setChecked(false);
    ui->toolButtonSelectedFilesChangeLayout->setIcon(ui->actionSelectedFilesIconMode->icon());
    ui->listViewSelectedFiles->clearSelection();
    ui->tableViewSelectedFiles->clearSelection();
    ui->listViewSelectedFiles->setGeometry(ui->tableViewSelectedFiles->geometry());
    ui->listViewSelectedFiles->show();
    ui->tableViewSelectedFiles->hide();
    on_selectedFilesSelectionChanged();
}

void ArticoloInvioFileComposer::selectedFilesSwitchLayout()
{
    if (ui->actionSelectedFilesIconMode->isChecked())
        selectedFilesSetListModeLayout();
    else
        selectedFilesSetIconModeLayout();
}

// ---------------------------------------------------------------------------------------------
// Selections and counters

void ArticoloInvioFileComposer::on_fileSelectionSelectionChanged()
{
    const bool any = visibleFileSelectionView()->selectionModel()->hasSelection();
    ui->toolButtonAddSelected->setEnabled(any);
    ui->actionFileSelectionAppendSelected->setEnabled(any);
}

void ArticoloInvioFileComposer::on_selectedFilesSelectionChanged()
{
    updateSelectionControls();
    // A file may have gone since the list last changed: the row the customer picks shows
    // broken, and the commands for missing files follow what the disk says now.
    scheduleCounters();
}

void ArticoloInvioFileComposer::updateSelectionControls()
{
    const QModelIndexList rows = visibleSelectedFilesView()->selectionModel()->selectedRows(0);
    ui->toolButtonSelectedFilesChange->setEnabled(false);
    ui->actionSelectedFilesChange->setEnabled(false);
    const bool any = !rows.isEmpty();
    ui->actionSelectedFilesRemove->setEnabled(any);
    ui->toolButtonRemove->setEnabled(any);
    if (rows.size() == 1) {
        const QString path = filesModel->fileInfo(rows.first()).absoluteFilePath();
        const QList<QFileInfo> invalid = filesModel->invalidFilesList();
        if (std::any_of(invalid.begin(), invalid.end(),
                        [&path](const QFileInfo &file) { return file.absoluteFilePath() == path; })) {
            ui->toolButtonSelectedFilesChange->setEnabled(true);
            ui->actionSelectedFilesChange->setEnabled(true);
        }
    }
}

void ArticoloInvioFileComposer::on_selectedFilesDataChanged()
{
    saved = false;
    scheduleCounters();
}

void ArticoloInvioFileComposer::scheduleCounters()
{
    if (!m_countersTimer->isActive())
        m_countersTimer->start();
}

void ArticoloInvioFileComposer::updateCounters()
{

    const int n = filesModel->rowCount();
    quint64 total = 0;
    int invalid = 0;
    filesModel->status(&total, &invalid);
    ui->labelSelectedFiles->setText(tr("File da inviare (%1)").arg(n));
    ui->labelDimTotale->setText(tr("Dimensione totale: %1").arg(filesModel->fileSizeToString(total)));
    ui->toolButtonRemoveInvalid->hide();
    ui->toolButtonSelectedFilesChange->hide();
    ui->actionSelectedFilesChange->setVisible(false);
    ui->actionRemoveInvalid->setVisible(false);
    const bool any = n >= 1;
    ui->toolButtonAvanti->setEnabled(any);
    ui->toolButtonRemoveAll->setEnabled(any);
    ui->toolButtonSelectedFilesSelectAll->setEnabled(any);
    ui->actionSelectedFilesSelectAll->setEnabled(any);
    ui->actionSelectedFilesRemoveAll->setEnabled(any);
    if (any && invalid > 0) {
        ui->toolButtonRemoveInvalid->show();
        ui->toolButtonSelectedFilesChange->show();
        ui->actionSelectedFilesChange->setVisible(true);
        ui->actionRemoveInvalid->setVisible(true);
    }
    // A reset of the list clears the views' selections without telling them.
    updateSelectionControls();
}

// ---------------------------------------------------------------------------------------------
// Adding, selecting, removing

void ArticoloInvioFileComposer::on_actionFileSelectionSelectAll_triggered()
{
    ui->listViewFileSelection->selectAll();
    ui->tableViewFileSelection->selectAll();
}

void ArticoloInvioFileComposer::on_toolButtonSelectAll_clicked()
{
    on_actionFileSelectionSelectAll_triggered();
}

void ArticoloInvioFileComposer::on_actionFileSelectionAppendAll_triggered()
{
    QAbstractItemView *view = visibleFileSelectionView();
    view->selectAll();
    const QModelIndexList indexes = view->selectionModel()->selectedIndexes();
    view->clearSelection();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QList<QFileInfo> files;
    files.reserve(indexes.size());
    // The browser's own record of each file, once: the other columns of its row name the
    // same file again.
    for (const QModelIndex &index : indexes) {
        if (index.column() == 0)
            files.append(fileModel->fileInfo(index));
    }
    filesModel->addFiles(files);
    QApplication::restoreOverrideCursor();
}

void ArticoloInvioFileComposer::on_toolButtonAddAll_clicked()
{
    on_actionFileSelectionAppendAll_triggered();
}

void ArticoloInvioFileComposer::appendSelectedFiles()
{
    const QModelIndexList indexes = visibleFileSelectionView()->selectionModel()->selectedIndexes();
    QList<QFileInfo> files;
    files.reserve(indexes.size());
    for (const QModelIndex &index : indexes) {
        const QString path = fileModel->filePath(index);
        qDebug().noquote() << QStringLiteral("ADDING FILE FROM FILESELECTION: ") + path;
        files.append(QFileInfo(path));
    }
    filesModel->addFiles(files);
}

void ArticoloInvioFileComposer::on_actionFileSelectionAppendSelected_triggered()
{
    appendSelectedFiles();
}

void ArticoloInvioFileComposer::on_toolButtonAddSelected_clicked()
{
    appendSelectedFiles();
}

void ArticoloInvioFileComposer::on_listViewFileSelection_doubleClicked(const QModelIndex &index)
{
    Q_UNUSED(index)
    if (lastViewportEvent.isNonLeftDoubleClick())
        return;
    lastViewportEvent.clear();
    appendSelectedFiles();
}

void ArticoloInvioFileComposer::on_tableViewFileSelection_doubleClicked(const QModelIndex &index)
{
    on_listViewFileSelection_doubleClicked(index);
}

void ArticoloInvioFileComposer::on_actionSelectedFilesSelectAll_triggered()
{
    if (!ui->listViewSelectedFiles->isHidden())
        ui->listViewSelectedFiles->selectAll();
    else if (!ui->tableViewSelectedFiles->isHidden())
        ui->tableViewSelectedFiles->selectAll();
}

void ArticoloInvioFileComposer::on_toolButtonSelectedFilesSelectAll_clicked()
{
    on_actionSelectedFilesSelectAll_triggered();
}

void ArticoloInvioFileComposer::on_toolButtonRemove_clicked()
{
    if (visibleSelectedFilesView()->selectionModel()->selectedIndexes().isEmpty())
        return;
    if (QMessageBox::question(this, tr("Elimina File"), tr("Desideri eliminare i file selezionati?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::No)
        removeSelected();
}

void ArticoloInvioFileComposer::on_actionSelectedFilesRemove_triggered()
{
    on_toolButtonRemove_clicked();
}

void ArticoloInvioFileComposer::removeSelected()
{
    QAbstractItemView *view = visibleSelectedFilesView();
    // The selected rows as runs of neighbours, each removed in one call from the last run up,
    // so that the rows of the runs still to come keep their numbers: a selection of thousands
    // of rows is one or a few removals, not one per row.
    QVector<int> rows;
    const QItemSelection selection = view->selectionModel()->selection();
    for (const QItemSelectionRange &range : selection) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    int end = rows.size();
    while (end > 0) {
        int first = end - 1;
        while (first > 0 && rows.at(first - 1) == rows.at(first) - 1)
            --first;
        filesModel->removeRows(rows.at(first), rows.at(end - 1) - rows.at(first) + 1);
        end = first;
    }
    filesModel->ResetModel();
}

void ArticoloInvioFileComposer::on_toolButtonRemoveAll_clicked()
{
    if (filesModel->rowCount() < 1)
        return;
    if (QMessageBox::question(this, tr("Rimuovi tutti"), tr("Verranno rimossi tutti gli elementi dalla lista. Continuare?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes)
        filesModel->removeRows(0, filesModel->rowCount());
}

void ArticoloInvioFileComposer::on_actionSelectedFilesRemoveAll_triggered()
{
    on_toolButtonRemoveAll_clicked();
}

// ---------------------------------------------------------------------------------------------
// Missing files

void ArticoloInvioFileComposer::showFilesNotFoundAlert()
{
    update();
    QMessageBox box(QMessageBox::Warning, tr("File non trovati"),
                    tr("<h3>Attenzione, uno o più file non sono stati trovati!</h3>Puoi scegliere di rimuovere "
                       "direttamente i file non trovati oppure continuare con la modifica per sostituirli manualmente"),
                    QMessageBox::NoButton, this);
    QPushButton *continua = box.addButton(tr("Continua"), QMessageBox::ActionRole);
    QPushButton *rimuovi = box.addButton(tr("Rimuovi file non trovati"), QMessageBox::ActionRole);
    QPushButton *chiudi = box.addButton(tr("Chiudi"), QMessageBox::ActionRole);
    box.setDefaultButton(continua);
    box.exec();
    if (box.clickedButton() == rimuovi) {
        on_toolButtonRemoveInvalid_clicked();
    } else if (box.clickedButton() == chiudi) {
        saved = true;
        close();
    }
}

void ArticoloInvioFileComposer::on_toolButtonRemoveInvalid_clicked()
{
    if (QMessageBox::question(this, tr("Elimina file non trovati"), tr("Desideri rimuovere tutti i file non trovati?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::No)
        return;
    const QList<QFileInfo> invalid = filesModel->invalidFilesList();
    for (const QFileInfo &file : invalid)
        filesModel->removeItem(file);
}

void ArticoloInvioFileComposer::on_actionRemoveInvalid_triggered()
{
    on_toolButtonRemoveInvalid_clicked();
}

bool ArticoloInvioFileComposer::changeFile(const QModelIndex &index, const QString &path, bool autoReplace)
{
    const QList<QFileInfo> missing = filesModel->invalidFilesList();
    const QFileInfo old = filesModel->fileInfo(index);
    const QString oldFolder = old.absolutePath();
    // By path: two files that do not exist are equal QFileInfos.
    const auto isOld = [&old](const QFileInfo &file) { return file.absoluteFilePath() == old.absoluteFilePath(); };
    if (!index.isValid() || std::none_of(missing.begin(), missing.end(), isOld))
        return false;

    QString chosen = path;
    if (chosen.isEmpty()) {
        const QString start = QFileInfo(oldFolder).isDir() ? old.absoluteFilePath() : QDir::homePath();
        // The first entry takes every file, also those without a dot in their name.
        chosen = QFileDialog::getOpenFileName(
            this, QStringLiteral("Seleziona un file"), start,
            tr("Tutti i file (*);;Immagini (*.png *.xpm *.jpg);;Photoshop (*.psd);;Archivi Compressi (*.zip *.rar *.7z)"));
    }
    if (chosen.isEmpty() || !QFile::exists(chosen))
        return false;

    const QFileInfo replacement(chosen);
    const QList<QFileInfo> files = filesModel->fileList();
    for (int row = 0; row < files.size(); ++row) {
        if (row != index.row() && files.at(row).absoluteFilePath() == replacement.absoluteFilePath()) {
            QMessageBox::warning(this, tr("File esistente"),
                                 tr("Il file <b>'%1'</b> è già presente nella lista di file da inviare, selezionane uno "
                                    "diverso")
                                     .arg(replacement.baseName().toHtmlEscaped()),
                                 QMessageBox::Ok);
            return false;
        }
    }

    if (!filesModel->setData(filesModel->index(index.row(), 0), replacement.absoluteFilePath(), Qt::EditRole))
        return false;

    setCursor(Qt::WaitCursor);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const QString newFolder = replacement.absolutePath();
    if (autoReplace) {
        for (const QFileInfo &other : missing) {
            if (isOld(other))
                continue;
            if (other.absolutePath() == oldFolder && QFileInfo::exists(newFolder + QLatin1Char('/') + other.fileName())) {
                if (QMessageBox::question(this, tr("Sostituzione automatica"),
                                          tr("Nella cartella del file che hai appena sostituito sono stati rilevati altri "
                                             "file attualmente marcati come non trovati. Provare ad effettuare una "
                                             "sostituzione automatica?"),
                                          QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
                    == QMessageBox::Yes)
                    changeFileBatch(oldFolder, newFolder);
                break;
            }
        }
    }
    unsetCursor();
    return true;
}

void ArticoloInvioFileComposer::changeFileBatch(const QString &oldFolder, const QString &newFolder)
{
    const QList<QFileInfo> missing = filesModel->invalidFilesList();
    for (QFileInfo file : missing) {
        const QString candidate = newFolder + QLatin1Char('/') + file.fileName();
        if (file.absolutePath() != oldFolder || !QFileInfo::exists(candidate))
            continue;
        const QModelIndex row = filesModel->index(file);
        if (row.isValid())
            changeFile(row, candidate, false);
    }
}

void ArticoloInvioFileComposer::on_listViewSelectedFiles_doubleClicked(const QModelIndex &index)
{
    if (selectedFilesFilter->lastEvent.isNonLeftDoubleClick())
        return;
    selectedFilesFilter->lastEvent.clear();
    if (!index.isValid())
        return;
    if (changeFile(index, QString(), true))
        on_selectedFilesSelectionChanged();
}

void ArticoloInvioFileComposer::on_tableViewSelectedFiles_doubleClicked(const QModelIndex &index)
{
    on_listViewSelectedFiles_doubleClicked(index);
}

void ArticoloInvioFileComposer::on_toolButtonSelectedFilesChange_clicked()
{
    const QModelIndex current = !ui->tableViewSelectedFiles->isHidden() ? ui->tableViewSelectedFiles->currentIndex()
                                                                         : ui->listViewSelectedFiles->currentIndex();
    on_listViewSelectedFiles_doubleClicked(current);
}

void ArticoloInvioFileComposer::on_actionSelectedFilesChange_triggered()
{
    on_toolButtonSelectedFilesChange_clicked();
}

// ---------------------------------------------------------------------------------------------
// Drops

void ArticoloInvioFileComposer::dropFromSelectedFiles()
{
    removeSelected();
}

void ArticoloInvioFileComposer::dropFromFileSelection()
{
    on_actionFileSelectionAppendSelected_triggered();
}

void ArticoloInvioFileComposer::dropFromFileSystem(QList<QFileInfo> files)
{
    filesModel->addFiles(files);
}
