#pragma once

#include <QWidget>

#include <memory>

#include "ordinilocal.h"

namespace Ui {
class OrdineUploadItemWidget;
}

// One local order as a card in a list: kind icon, date, end customer, number of files, price,
// and buttons that emit requests with the order's Uuid (the owner of the list acts on them).
// The card shows the order as it was when the card was built.
class OrdineUploadItemWidget : public QWidget
{
    Q_OBJECT

public:
    OrdineUploadItemWidget(OrdiniLocal::OrdineLocal &ordine, QWidget *parent = nullptr);
    ~OrdineUploadItemWidget() override;

    OrdiniLocal::OrdineLocal Ordine() const;
    void showDetails();
    int getOrdineNumFiles();
    void setIcon();

    // True while one of the card's own handlers, or its details window, is running: the owner
    // must not destroy the card meanwhile.
    bool isBusy() const { return m_busy > 0; }

signals:
    void stopOrderRequest(QString uuid);
    void uploadOrderRequest(QString uuid);
    void editOrderRequest(QString uuid);
    void removeOrderRequest(QString uuid);

private slots:
    void on_toolButtonRemove_clicked();
    void on_toolButtonDetails_clicked();
    void onStopOrderRequest(QString uuid);
    void onUploadOrderRequest(QString uuid);
    void onEditOrderRequest(QString uuid);
    void onRemoveOrderRequest(QString uuid);
    void on_toolButtonAnnulla_clicked();
    void on_toolButtonUpload_clicked();
    void on_toolButtonEdit_clicked();

private:
    class Busy;

    std::unique_ptr<Ui::OrdineUploadItemWidget> ui;
    OrdiniLocal::OrdineLocal ordine;
    int m_busy = 0;
};
