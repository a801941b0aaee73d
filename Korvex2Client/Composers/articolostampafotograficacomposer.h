#pragma once

#include <QDialog>
#include <QEvent>
#include <QFileInfo>
#include <QList>
#include <QMap>
#include <QPalette>
#include <QPixmap>
#include <QString>

#include "editedorderwriter.h"
#include "ordinilocal.h"

class ArticoloStampaFotograficaFileSelectionModel;
class ArticoloStampaFotograficaFotoPrintModel;
class OrdineLocalDetailsWidget;
class QAbstractItemView;
class QFileSystemModel;
class QModelIndex;
class lineEditFiltraEventFilter;
class selectedFilesEventFilter;

namespace Ui {
class ArticoloStampaFotograficaComposer;
}

// The dialog in which the customer composes a photo print order: a folder tree and a file
// browser with thumbnails on the left, the prints of the order on the right, the order's
// summary on the second page. It edits its own copy of the order and reaches the rest of the
// program only through the order file it writes and the upload queue.
class ArticoloStampaFotograficaComposer : public QDialog
{
    Q_OBJECT

public:
    ArticoloStampaFotograficaComposer(OrdiniLocal::OrdineLocal &ordine, QWidget *parent = nullptr);
    ~ArticoloStampaFotograficaComposer() override;

    OrdiniLocal::OrdineLocal &getOrdine();
    void done(int result) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    // Whether a save is under way (the window waits for the write to end).
    bool isSaving() const;

    QRectF recalculateCropArea(OrdiniLocal::OrdineRigaStampaLocal riga);
    // The same for a product already read; an invalid image size is read as above.
    QRectF recalculateCropArea(const OrdiniLocal::OrdineRigaStampaLocal &riga, const OrdiniLocal::StampaLocal &stampa,
                               QSize image = QSize());

public slots:
    void ordineToForm(bool isRefresh = false);
    void formToOrdine();
    void refreshOrdine();
    void setRootPath(QString path = QString());

    void addStampaItem(OrdiniLocal::OrdineRigaStampaLocal riga);
    void on_selectedFilesDataChanged();
    void dropFromFileSelection();
    void dropFromFileSystem(QList<QFileInfo> files, bool showWarningForInvalidFiles = true);
    void dropFromSelectedFiles();

    // Missing files and removal of prints.
    void showFilesNotFoundAlert();
    bool changeFile(int index, QString newFilePath = QString(), bool batchChangeCheck = true);
    void removeAt(int index);

private slots:
    // Pages, navigation and closing.
    void on_pages_currentChanged(int index);
    void on_toolButtonAvanti_clicked();
    void on_toolButtonIndietro_clicked();
    void on_toolButtonClose_clicked();
    void on_thumbSizeSlider_valueChanged(int value);

    // Saving.
    void on_toolButtonSalva_clicked();
    void on_toolButtonUpload_clicked();
    void on_clienteFinale_editingFinished();
    void onOrdineWritten(EditedOrderWriter::Outcome outcome, const OrdiniLocal::OrdineLocal &written,
                         const QString &error);

    // Folder tree and file browser.
    void setDirSelectionRootIndex(const QModelIndex &index);
    void setFileSelectionRootIndex(const QModelIndex &index);
    void on_treeViewDirSelection_selectionChanged(const QModelIndex &current, const QModelIndex &previous);
    void on_toolButtonChangePath_clicked();
    void on_lineEditCurrentPath_returnPressed();
    void on_lineEditFiltra_returnPressed();
    void on_lineEditFiltra_textChanged(const QString &text);
    void on_lineEditFiltra_focusIn();
    void on_lineEditFiltra_lostFocus();
    void fileSelectionSwitchLayout();
    void fileSelectionSetListModeLayout();
    void fileSelectionSetIconModeLayout();
    void on_fileSelectionSelectionChanged();
    void on_fileSelectionVerticalScrollBarValueChanged(int value);
    void on_actionFileSelectionSelectAll_triggered();
    void on_listViewFileSelection_doubleClicked(const QModelIndex &index);
    void on_tableViewFileSelection_doubleClicked(const QModelIndex &index);

    // Adding prints.
    void on_actionFileSelectionAppendAll_triggered();
    void on_toolButtonAddAll_clicked();
    void on_actionFileSelectionAppendSelected_triggered();
    void on_toolButtonAddSelected_clicked();

    // Default print settings.
    void on_defaultCarta_activated(const QString &text);
    void on_defaultFormato_activated(const QString &text);

    // Removal and replacement of prints, missing files.
    void on_toolButtonRemove_clicked();
    void on_toolButtonRemoveAll_clicked();
    void on_toolButtonRemoveInvalid_clicked();
    void on_toolButtonSelectedFilesChange_clicked();
    void on_toolButtonSelectedFilesSelectAll_clicked();
    void on_actionSelectedFilesSelectAll_triggered();
    void on_actionSelectedFilesRemove_triggered();
    void on_actionSelectedFilesRemoveAll_triggered();
    void on_actionSelectedFilesChange_triggered();
    void on_actionRemoveInvalid_triggered();

    // The panel of the selected prints, the photo editor and the bulk settings.
    void on_selectedFilesSelectionChanged();
    void on_stampaCarta_activated(const QString &text);
    void on_stampaFormato_activated(const QString &text);
    void on_stampaQta_valueChanged(int value);
    void on_listViewFotoPrint_doubleClicked(const QModelIndex &index);
    void on_toolButtonPhotoEditor_clicked();
    void on_actionPhotoEditor_triggered();
    void on_editorDataChanged(OrdiniLocal::OrdineRigaStampaLocal riga, QPixmap thumb);
    void on_toolButtonSelectedFilesCangeStampaSettings_clicked();
    void on_actionSelectedFilesCangeStampaSettings_triggered();

public:
    // What the given prints share: "FormatoDesc", "CartaDesc" and "Qta", "" where they
    // differ; no key at all for no prints.
    QMap<QString, QString> getCommonStampaProperties(
        const QList<OrdiniLocal::OrdineRigaStampaLocal> &righe = QList<OrdiniLocal::OrdineRigaStampaLocal>());
    void updateStampaProperties(
        const QList<OrdiniLocal::OrdineRigaStampaLocal> &righe = QList<OrdiniLocal::OrdineRigaStampaLocal>());
    void removeSelected();

private:
    // Set-up.
    void initSwitchLayoutButtons();
    void initLineEditFiltra();
    void initDirSelection();
    void initPalettes();

    // Default print settings and the catalogue choice lists.
    void fillDefaultFormati(const QList<OrdiniLocal::FormatoLocal> &formati);
    void fillDefaultCarte(const QList<OrdiniLocal::CartaLocal> &carte);
    void fillFormati(const QList<OrdiniLocal::FormatoLocal> &formati);
    void fillCarte(const QList<OrdiniLocal::CartaLocal> &carte);
    static int idByName(const QMap<int, QString> &map, const QString &text);
    void recomputeDefaultStampa();
    OrdiniLocal::StampaLocal emptyStampa();

    // Adding prints.
    void addStampaItemFromFileInfo(const QFileInfo &file);
    // The print product of a batch of new prints, read from the catalogue once per batch.
    const OrdiniLocal::StampaLocal &batchStampa(int idStampa);
    void endOfBatch();
    QAbstractItemView *fileSelectionView() const;

    // The panel: applies a product to the selected prints; a crop is centred anew only where
    // the format changes (another width or height).
    void applyStampaToSelected(const OrdiniLocal::StampaLocal &stampa);
    void openPhotoEditor(const QModelIndex &index);

    void saveOrdine(bool send, int closeResult);
    void closeWithoutQuestion(int result);

    struct ViewEvent
    {
        QEvent::Type type = QEvent::None;
        Qt::MouseButton button = Qt::NoButton;
    };

    Ui::ArticoloStampaFotograficaComposer *ui;
    ArticoloStampaFotograficaFotoPrintModel *fotoPrintModel = nullptr;
    QFileSystemModel *dirModel = nullptr;
    ArticoloStampaFotograficaFileSelectionModel *fileSelectionModel = nullptr;
    selectedFilesEventFilter *selectedFilesFilter = nullptr;
    QString filterHintText;
    lineEditFiltraEventFilter *lineEditFiltraFilter = nullptr;
    QPalette filterHintPalette;
    OrdiniLocal::OrdineLocal ordine;
    OrdineLocalDetailsWidget *detailsWidget = nullptr;
    bool saved = true;
    ViewEvent lastViewEvent;
    OrdiniLocal ordiniLocal;
    bool filesNotFoundAlertShown = false;

    QMap<int, QString> defaultCarteMap;
    QMap<int, QString> defaultFormatiMap;
    QMap<int, QString> stampaCarteMap;
    QMap<int, QString> stampaFormatiMap;
    OrdiniLocal::StampaLocal defaultStampa;
    QMap<QString, int> transformationTypes;
    // Products read during the batch of additions under way; emptied at its start and end.
    QMap<int, OrdiniLocal::StampaLocal> batchStampe;

    // The one write of the order at a time; the dialog closes with closeResult once it is done.
    EditedOrderWriter *writer = nullptr;
    bool existingOrder = false;
    bool sendAfterSave = false;
    int closeResult = 0;

    // The paper whose formats the panel's format list holds; 0 = the list of set-up.
    int panelFormatiCarta = 0;
};
