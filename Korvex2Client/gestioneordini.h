#pragma once

#include <QDialog>
#include <QEvent>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

#include <vector>

#include "ordinilocal.h"

class EditedOrderWriter;
class Ordine;
class OrdineTableModel;
class OrdineUploadDialog;
class OrdineUploadItemWidget;
class QDate;
class QListWidgetItem;
class QModelIndex;
class QSortFilterProxyModel;

namespace Ui {
class GestioneOrdini;
}

// All the customer's orders in one window: the upload queue, the orders saved and not yet
// queued ("Da Inviare", filtered by date and keywords, to send, edit or remove), and the orders
// already sent, searched on the orders service by date, state and end customer, with the
// details of one of them. Without a logged-in customer only the saved orders of nobody are
// shown.
class GestioneOrdini : public QDialog
{
    Q_OBJECT

public:
    explicit GestioneOrdini(QWidget *parent = nullptr);
    ~GestioneOrdini() override;

    bool eventFilter(QObject *watched, QEvent *event) override;

    bool filterByKeywords(OrdiniLocal::OrdineLocal &ordine);
    bool filterByDate(OrdiniLocal::OrdineLocal &ordine);
    Ordine *getSelectedOrdine();
    QList<OrdiniLocal::OrdineLocal> getSelectedOrdiniLocal();

    // A saved order is edited in the composer of its kind that OrdineUploadDialog's
    // setComposerOpener() registered; the composer saves and queues its result itself.

public slots:
    void on_listWidget_currentItemChanged(QListWidgetItem *current, QListWidgetItem *previous);
    void loadSavedOrders();
    void loadSendedOrders();
    void clearSavedOrders();
    void inviaOrdine(QString uuid, bool showQueue = true);
    void modificaOrdine(QString uuid);
    void rimuoviOrdine(QString uuid, bool ask = true);
    void onFilesNotFound();
    void on_pushButtonClose_clicked();
    void on_lineEditOrdiniSalvatiSearchKeywords_returnPressed();
    void on_dateEditOrdiniSalvatiDa_dateChanged(const QDate &date);
    void on_dateEditOrdiniSalvatiA_dateChanged(const QDate &date);
    void on_dateEditOrdiniInviatiDa_dateChanged(const QDate &date);
    void on_dateEditOrdiniInviatiA_dateChanged(const QDate &date);
    void on_lineEditOrdiniInviatiSearchKeywords_returnPressed();
    void on_comboBoxStato_currentIndexChanged(int index);
    void on_tableViewOrdiniInviati_doubleClicked(const QModelIndex &index);
    void on_actionOrdiniInviatiDettaglio_triggered();
    void on_listWidgetOrdiniUpload_itemDoubleClicked(QListWidgetItem *item);
    // Bound explicitly: the list has no signal of that name to bind it by.
    void onListWidgetOrdiniUploadSelectionChanged();
    void on_toolButtonOrderStatusInfo_clicked();
    void on_pushButtonCerca_clicked();
    void on_toolButtonUploadSelected_clicked();
    void on_toolButtonRemoveSelected_clicked();

private:
    struct ViewportEvent
    {
        QEvent::Type type = QEvent::None;
        Qt::MouseButton button = Qt::NoButton;
    };
    struct PendingSend
    {
        OrdiniLocal::OrdineLocal ordine;
        bool showQueue = false;
    };

    bool findSavedOrder(const QString &uuid, OrdiniLocal::OrdineLocal *ordine) const;
    OrdineUploadItemWidget *card(int row) const;
    // A right-button double click was the last thing seen on a watched viewport.
    bool lastWasOtherButtonDoubleClick() const;
    // Empties the sent-orders table and frees the orders it listed.
    void clearSentOrders();
    // The orders service's connection settings of the logged-in customer, written right
    // before a call (the upload worker writes them too).
    static void configureOrdersService();
    void sendNext();
    void onSendWritten(int outcome, const OrdiniLocal::OrdineLocal &ordine, const QString &error);
    // One box for the saved-order files that the last loads could not read, once the load
    // that found them has returned.
    void reportUnreadableOrders();

    Ui::GestioneOrdini *ui;
    OrdineUploadDialog *uploadDialog = nullptr;
    OrdineTableModel *ordineTableModel = nullptr;
    QSortFilterProxyModel *proxyModel = nullptr;
    ViewportEvent lastViewportEvent;

    // The orders the sent-orders table lists, owned here.
    std::vector<Ordine *> m_ordini;
    // Saved orders being sent one after another through the edited-order write.
    EditedOrderWriter *m_writer = nullptr;
    QList<PendingSend> m_pendingSends;
    bool m_showQueueAfterSend = false;
    // Unreadable order files (path -> reason): told once each time the saved-orders page is
    // entered, not at every reload of it.
    QSet<QString> m_unreadableTold;
    QMap<QString, QString> m_unreadableToTell;
};
