#pragma once

#include <QDialog>
#include <QEvent>

class Ordine;
class QHeaderView;
class QModelIndex;
class RigheOrdineTableModel;

namespace Ui {
class OrdineDetails;
}

// Read-only details of one order already sent: number, date, rows, end customer, notes,
// state, shipping and total, as the orders service returned the order. A double click on a
// file or print row opens that row's details. The order stays the caller's, who keeps it
// alive while the window is open.
class OrdineDetails : public QDialog
{
    Q_OBJECT

public:
    explicit OrdineDetails(QWidget *parent = nullptr);
    OrdineDetails(Ordine *ordine, QWidget *parent = nullptr);
    ~OrdineDetails() override;

    void setOrdine(Ordine *ordine);
    void setReadOnly(bool readOnly);
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void on_toolButtonClose_clicked();
    void on_toolButtonOrderStatusInfo_clicked();
    void on_tableViewRighe_doubleClicked(const QModelIndex &index);
    void on_actionDettagli_triggered();

private:
    // What the event filter saw last on the rows table's viewport (a copy of the two facts
    // read later, never the event itself).
    struct ViewportEvent
    {
        QEvent::Type type = QEvent::None;
        Qt::MouseButton button = Qt::NoButton;
    };

    void initUi();
    void updateUi();

    Ui::OrdineDetails *ui;
    Ordine *ordine = nullptr;
    RigheOrdineTableModel *righeModel = nullptr;
    QHeaderView *headerView = nullptr;
    ViewportEvent lastViewportEvent;
    // The state legend's place markers are filled once, by the first order shown.
    bool legendFilled = false;
};
