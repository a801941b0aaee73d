#pragma once

#include <QDialog>

#include <memory>

#include "ordinilocal.h"

class OrdineRigaFile;

namespace Ui {
class RigheOrdineFileLocalDetails;
}

// Read-only details of one file row of an order: of a local order (with its file as it
// is on disk now) or of an order already sent (as the orders service recorded it).
class RigheOrdineFileLocalDetails : public QDialog
{
    Q_OBJECT

public:
    RigheOrdineFileLocalDetails(OrdiniLocal::OrdineRigaFileLocal &riga, QWidget *parent = nullptr);
    // The row is read only here; it stays the caller's.
    RigheOrdineFileLocalDetails(OrdineRigaFile *riga, QWidget *parent = nullptr);
    ~RigheOrdineFileLocalDetails() override;

    void UpdateUi1();
    void UpdateUi2();
    QString fileSizeToString(unsigned long long size) const;

private slots:
    void on_toolButtonClose_clicked();

private:
    void init();

    std::unique_ptr<Ui::RigheOrdineFileLocalDetails> ui;
    OrdiniLocal::OrdineRigaFileLocal m_riga;
    OrdineRigaFile *m_rigaInviata = nullptr;
};
