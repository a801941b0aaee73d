#pragma once

#include <QFileInfo>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QSet>

#include <memory>

#include "korvex2.h"

class LoginDialog;
class QThread;
class UpdatesWaitingDialog;
class UpdatesWatcher;
class QDialog;
class QListWidgetItem;

namespace Ui {
class MainWindow;
}

// The program's home window: banner, articles, upload strip and the row of commands.
// It owns the customer's login and logout and creates the one upload queue.
class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Rebuilds the list of articles from the database at dbPath.
    void loadArticoli();
    // The settings or the local database could not be loaded: the window has told the
    // customer and the program ends with exit code -1.
    bool startFailed() const;

private slots:
    void on_toolButtonEsci_clicked();
    void on_toolButtonCreaDb_clicked();
    void on_toolButtonInfo_clicked();
    void onLoginSucceded();
    void onLoginCancelled();
    void loginRequest();
    void on_toolButtonLogin_clicked();
    void on_toolButtonLogout_clicked();
    void onUploadGlobalFileProgress(qint64 current, qint64 total);
    void onUploadOrderTerminated(int total);
    void showUploadingWidget(bool marque = false);
    void onStartProcessingQueue();
    void hideUploadingWidget();
    void finishProcessQueue();
    void on_toolButtonUploadsStop_clicked();
    void on_toolButtonUploadsStart_clicked();
    void onOrderUploadError(const QString &message);
    void onFilesNotFound(const QString &uuid, const QList<QFileInfo> &files);
    // Order files that the queue cannot read or could not remove after sending: told once
    // per file in the program's life.
    void onUnreadableOrderFiles(const QMap<QString, QString> &reasons);
    void onOrderFileNotRemoved(const QString &uuid, const QString &filePath, const QString &reason);
    void setCustomLayout();
    void on_pushButtonBanner_clicked();
    // Settings window and update check.
    void on_toolButtonImpostazioni_clicked();
    void onNewUpdatesAvailable(korvex2__IdComponenteType type);
    void checkForUpdatesCancel();
    void closeUpdatesWaitingDialog();
    void onUpdatesRequestTerminated();
    void onUpdatesErrorOccurred(const QString &code, const QString &message);
    void on_toolButtonUploadsDetails_clicked();
    // Opens the composer of the clicked article on a new order.
    void on_listWidgetArticoli_itemClicked(QListWidgetItem *item);
    // The order manager window.
    void on_toolButtonOrdini_clicked();
    void onGestioneOrdiniClosed();

private:
    void clearArticoli();
    void initOrdineUpload();
    void openPaymentPage();
    void checkForUpdates();
    // Runs a new waiting dialog modally until the check answers or is cancelled; the
    // dialog starts threadToStart, if given.
    void waitForUpdatesCheck(QThread *threadToStart);
    void releaseUpdatesCheck();
    // The upload queue window, modal; nothing when a window showing the queue is open.
    void openQueueWindow();
    // Shows a composer as a window of its own while the main window hides.
    void showComposer(QDialog *composer);

    std::unique_ptr<Ui::MainWindow> ui;
    QList<int> articoliIds;
    QString articoliTable;
    QString configTable;
    QString layoutTable;
    QString dbPath;
    QString bannerUrl;
    // The login dialog while it is shown.
    QPointer<LoginDialog> loginDialog;
    bool queueWindowOpen = false;
    bool queueStarted = false;
    bool m_startFailed = false;
    QSet<QString> m_unreadableTold;
    QSet<QString> m_notRemovedTold;
    // The update check: its thread and watcher until the next check or the window's end,
    // and its waiting dialog while it is shown.
    QThread *updatesThread = nullptr;
    UpdatesWatcher *updatesWatcher = nullptr;
    QPointer<UpdatesWaitingDialog> updatesWaitingDialog;
    int pendingUpdateQueries = 0;
    // A new program has been started and this one is ending: nothing more is sent.
    bool programReplaced = false;
};
