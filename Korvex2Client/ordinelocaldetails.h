#pragma once

#include <QDialog>

#include <memory>

#include "ordinilocal.h"

namespace Ui {
class OrdineLocalDetails;
}

// A local order shown read-only, with buttons that ask its opener to cancel its sending, send,
// edit or delete it. Each action button closes the window first, then emits its request with
// the order's Uuid; the window itself never acts on the order.
class OrdineLocalDetails : public QDialog
{
    Q_OBJECT

public:
    OrdineLocalDetails(OrdiniLocal::OrdineLocal &order, QWidget *parent = nullptr);
    ~OrdineLocalDetails() override;

signals:
    void annullaRequest(QString uuid);
    void uploadRequest(QString uuid);
    void editRequest(QString uuid);
    void removeRequest(QString uuid);

private slots:
    void on_toolButtonClose_clicked();
    void on_toolButtonRemove_clicked();
    void on_toolButtonAnnulla_clicked();
    void on_toolButtonUpload_clicked();
    void on_toolButtonEdit_clicked();

private:
    std::unique_ptr<Ui::OrdineLocalDetails> ui;
    OrdiniLocal::OrdineLocal ordineLocal;
};
