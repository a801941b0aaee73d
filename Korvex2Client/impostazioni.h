#pragma once

#include <QDialog>

#include "korvex2.h"

class QListWidgetItem;
class QMovie;
class QThread;
class UpdatesWatcher;
class Utente;

namespace Ui {
class Impostazioni;
}

// The settings window: the general options, the logged-in customer's account data and
// e-mail notifications, and an update check on demand with the installation of what it
// finds.
class Impostazioni final : public QDialog
{
    Q_OBJECT

public:
    explicit Impostazioni(QWidget *parent = nullptr);
    ~Impostazioni() override;

signals:
    // A catalogue update replaced the local database: whatever shows the catalogue
    // (banner, articles) is to be rebuilt.
    void catalogueUpdated();

private slots:
    void updateGeneralSettings();
    void onNewUpdatesAvailable(korvex2__IdComponenteType type);
    void onNewUpdatesRequestTerminated();
    void onUpdatesErrorOccurred(const QString &code, const QString &message);
    void on_pushButtonClose_clicked();
    void on_pushButtonSave_clicked();
    void on_listWidget_currentItemChanged(QListWidgetItem *current, QListWidgetItem *previous);
    void on_toolButtonCheckUpdates_clicked();
    void on_tbRecuperaPassword_clicked();
    void on_sliderJpegCompression_valueChanged(int value);
    void on_toolButtonUndoJpegQuality_clicked();

private:
    void utente2form(Utente *utente);
    void form2utente(Utente *utente);
    bool validateUtenteData();
    bool saveUtente();
    void checkForUpdates();
    void releaseUpdatesCheck();
    // One answer of the service came (or failed); true when it was the check's last.
    bool lastQueryAnswered();

    Ui::Impostazioni *ui;
    QThread *updatesThread = nullptr;
    UpdatesWatcher *updatesWatcher = nullptr;
    QMovie *loaderMovie = nullptr;
    bool updateFound = false;
    // Queries of the running check still to answer.
    int pendingQueries = 0;
};
