#pragma once

#include <QDialog>
#include <QFileInfo>
#include <QList>
#include <QPalette>

#include "editedorderwriter.h"
#include "ordinilocal.h"
#include "selectedfileseventfilter.h"

class ArticoloInvioFileItemModel;
class QAbstractItemView;
class QFileSystemModel;
class QItemSelection;
class QModelIndex;
class QTimer;
class OrdineLocalDetailsWidget;
class lineEditFiltraEventFilter;

namespace Ui {
class ArticoloInvioFileComposer;
}

// The dialog that composes or edits a file-sending order: page 0 picks the files (folder
// tree, file browser, list of files to send), page 1 is the order summary. It works on its own
// copy of the order and reaches the rest of the program only through the order file and the
// upload queue, written by one EditedOrderWriter: a save that fails never closes the dialog.
class ArticoloInvioFileComposer : public QDialog
{
    Q_OBJECT

public:
    ArticoloInvioFileComposer(OrdiniLocal::OrdineLocal &ordine, QWidget *parent = nullptr);
    ~ArticoloInvioFileComposer() override;

    OrdiniLocal::OrdineLocal &getOrdine();
    void ordineToForm();
    void formToOrdine();
    void refreshOrdine();
    // Starts writing the order (the dialog closes with closeCode once it is written, -1 keeps
    // it open); false when a write is already under way.
    bool saveOrdine(bool avviaInvio, int closeCode = -1);

    bool eventFilter(QObject *watched, QEvent *event) override;

    // Gives the row a new file (asked in a file dialog when path is empty); true when the row
    // took it.
    bool changeFile(const QModelIndex &index, const QString &path, bool autoReplace);
    void changeFileBatch(const QString &oldFolder, const QString &newFolder);

public slots:
    void done(int result) override;
    void setRootPath(const QString &path);

private slots:
    void on_pages_currentChanged(int index);
    void on_toolButtonClose_clicked();
    void on_toolButtonIndietro_clicked();
    void on_toolButtonAvanti_clicked();
    void on_toolButtonSalva_clicked();
    void on_toolButtonUpload_clicked();

    void setDirSelectionRootIndex(const QModelIndex &index);
    void setFileSelectionRootIndex(const QModelIndex &index);
    void on_toolButtonChangePath_clicked();
    void on_lineEditCurrentPath_returnPressed();
    void on_lineEditFiltra_returnPressed();
    void on_lineEditFiltra_textChanged(const QString &text);

    void fileSelectionSwitchLayout();
    void fileSelectionSetListModeLayout();
    void fileSelectionSetIconModeLayout();
    void selectedFilesSwitchLayout();
    void selectedFilesSetListModeLayout();
    void selectedFilesSetIconModeLayout();

    void on_fileSelectionSelectionChanged();
    void on_selectedFilesSelectionChanged();
    void on_selectedFilesDataChanged();

    void on_actionFileSelectionSelectAll_triggered();
    void on_toolButtonSelectAll_clicked();
    void on_actionFileSelectionAppendAll_triggered();
    void on_toolButtonAddAll_clicked();
    void on_actionFileSelectionAppendSelected_triggered();
    void on_toolButtonAddSelected_clicked();
    void on_listViewFileSelection_doubleClicked(const QModelIndex &index);
    void on_tableViewFileSelection_doubleClicked(const QModelIndex &index);
    void on_actionSelectedFilesSelectAll_triggered();
    void on_toolButtonSelectedFilesSelectAll_clicked();
    void on_toolButtonRemove_clicked();
    void on_actionSelectedFilesRemove_triggered();
    void removeSelected();
    void on_toolButtonRemoveAll_clicked();
    void on_actionSelectedFilesRemoveAll_triggered();

    void showFilesNotFoundAlert();
    void on_toolButtonRemoveInvalid_clicked();
    void on_actionRemoveInvalid_triggered();
    void on_listViewSelectedFiles_doubleClicked(const QModelIndex &index);
    void on_tableViewSelectedFiles_doubleClicked(const QModelIndex &index);
    void on_toolButtonSelectedFilesChange_clicked();
    void on_actionSelectedFilesChange_triggered();

    void dropFromSelectedFiles();
    void dropFromFileSelection();
    void dropFromFileSystem(QList<QFileInfo> files);

private:
    // Connected by the set-up, not by name: no widget of the form has these signals.
    void on_treeViewDirSelection_selectionChanged(const QModelIndex &current, const QModelIndex &previous);
    void on_lineEditFiltra_focusIn();
    void on_lineEditFiltra_lostFocus();

    void initSwitchLayoutButtons();
    void initLineEditFiltra();
    void initDirSelection();
    void updateCounters();
    void scheduleCounters();
    // The commands that act on the selected files of the list, as the selection stands.
    void updateSelectionControls();
    void onWriteFinished(EditedOrderWriter::Outcome outcome, const OrdiniLocal::OrdineLocal &written,
                         const QString &error);
    bool confirmEmptyClienteFinale();
    QAbstractItemView *visibleFileSelectionView() const;
    QAbstractItemView *visibleSelectedFilesView() const;
    void appendSelectedFiles();

    Ui::ArticoloInvioFileComposer *ui = nullptr;
    QFileSystemModel *dirModel = nullptr;
    QFileSystemModel *fileModel = nullptr;
    selectedFilesEventFilter *selectedFilesFilter = nullptr;
    ArticoloInvioFileItemModel *filesModel = nullptr;
    QString filterHint;
    lineEditFiltraEventFilter *filterFocusFilter = nullptr;
    QPalette filterHintPalette;
    OrdiniLocal::OrdineLocal ordine;
    OrdineLocalDetailsWidget *detailsWidget = nullptr;
    bool saved = false;
    ViewEventRecord lastViewportEvent;

    EditedOrderWriter *m_writer = nullptr;
    QTimer *m_countersTimer = nullptr;
    bool m_startAfterSave = false;
    int m_closeAfterSave = -1;
};
