#pragma once

#include <QDialog>
#include <QEvent>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

#include "ordinilocal.h"

class OrdineUploadItemWidget;
class QListWidgetItem;
class QProgressBar;
class QTimer;

namespace Ui {
class OrdineUploadDialog;
}

// The upload queue as a list of order cards, with the progress of the order and of the file
// being sent, the number of queued orders and the buttons to start and stop the queue. From
// the cards the customer cancels the sending of an order or removes it; the window answers the
// queue's upload errors and missing files while it is open. It works on
// KorvexGlobals::ordineUpload, which must exist for the window's whole life, and rebuilds its
// cards from the queue on every change.
class OrdineUploadDialog : public QDialog
{
    Q_OBJECT

public:
    explicit OrdineUploadDialog(QWidget *parent = nullptr);
    ~OrdineUploadDialog() override;

    void setControlButtonsVisible(bool visible);
    void setHideButtonVisible(bool visible);
    void setAutoClose(bool autoClose);
    void selectFirst();
    // Opens the composer of the order's kind on the order as its file holds it; the composer
    // saves and (de)queues its result itself. False when the order is not shown or its kind
    // has no composer.
    bool modificaOrdine(QString uuid);

    bool eventFilter(QObject *watched, QEvent *event) override;

    // The composers, by order kind (1 files, 2 prints), for this window and the order manager:
    // each opener runs its composer modally
    // on the order, with parent as parent, and returns once it is closed. Until a kind has one,
    // an order of that kind with missing files can only have its sending cancelled.
    using ComposerOpener = std::function<void(const OrdiniLocal::OrdineLocal &ordine, QWidget *parent)>;
    static void setComposerOpener(int ordineType, ComposerOpener opener);
    static bool hasComposer(int ordineType);
    // The opener of that kind (empty when none); the order manager opens its saved orders
    // through the same ones.
    static ComposerOpener composerOpener(int ordineType);

signals:
    void filesNotFound();

public slots:
    void loadQueue();
    void clearQueue();
    void updateControls();
    void resetProgressBars(bool marquee);

private slots:
    void onQueueChanged(int queueSize);
    void onQueueFinished();
    void onStartProcessingQueue();
    void onOrderTerminated(int total);
    void onOrderProgress(qint64 byteTransferred, qint64 totalBytes);
    void onFileProgress(qint64 byteTransferred, qint64 totalBytes);
    void onOrderUploadError(QString message);
    void onOrderFilesNotFound(QString uuid, QList<QFileInfo> files);
    void onOrderCurrentProcessingFileChanged(QFileInfo file);
    void onStopOrderRequest(QString uuid);
    void onRemoveOrderRequest(QString uuid);

    void on_toolButtonStart_clicked();
    void on_toolButtonStop_clicked();
    void on_toolButtonHide_clicked();
    void on_listWidgetOrdiniUpload_itemSelectionChanged();
    void on_listWidgetOrdiniUpload_itemDoubleClicked(QListWidgetItem *item);

private:
    class Handling;
    struct ViewportEvent
    {
        QEvent::Type type = QEvent::None;
        Qt::MouseButton button = Qt::NoButton;
    };

    // The cards are rebuilt only while none of them, and none of this window's handlers that
    // reach them, is on the stack; until then the rebuild waits.
    void reloadWhenSafe();
    bool safeToReload() const;
    void reload();
    void showStartOrStop();
    void endStopping();
    OrdineUploadItemWidget *card(int row) const;
    // Marks the order's file inactive, changing nothing else in it.
    bool saveInactive(const QString &uuid, QString *error);
    static void setBarProgress(QProgressBar *bar, qint64 done, qint64 total);
    static QHash<int, ComposerOpener> &composerOpeners();

    std::unique_ptr<Ui::OrdineUploadDialog> ui;
    bool controlButtonsVisible = true;
    bool autoClose = true;
    ViewportEvent lastViewportEvent;

    int m_handling = 0;          // request handlers and details windows on the stack
    bool m_reloadPending = false;
    bool m_stopping = false;     // the stop button was pressed; the worker is ending
    bool m_selecting = false;
    QTimer *m_reloadTimer = nullptr;
};
