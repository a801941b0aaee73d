#pragma once

#include <QDialog>

#include <memory>

#include "ordinilocal.h"

class OrdineRigaStampa;

namespace Ui {
class RigheOrdineStampaLocalDetails;
}

// Read-only details of one print row of an order: of a local order (with its file as it
// is on disk now) or of an order already sent (as the orders service recorded it).
class RigheOrdineStampaLocalDetails : public QDialog
{
    Q_OBJECT

public:
    RigheOrdineStampaLocalDetails(OrdiniLocal::OrdineRigaStampaLocal &riga, QWidget *parent = nullptr);
    // The row is read only here; it stays the caller's.
    RigheOrdineStampaLocalDetails(OrdineRigaStampa *riga, QWidget *parent = nullptr);
    ~RigheOrdineStampaLocalDetails() override;

    void UpdateUi1();
    void UpdateUi2();
    QString fileSizeToString(unsigned long long size) const;

private slots:
    void on_toolButtonClose_clicked();

private:
    void init();

    std::unique_ptr<Ui::RigheOrdineStampaLocalDetails> ui;
    OrdiniLocal::OrdineRigaStampaLocal m_riga;
    OrdineRigaStampa *m_rigaInviata = nullptr;
};
