#pragma once

#include <QEvent>
#include <QWidget>

#include <memory>

#include "ordinilocal.h"

class QHeaderView;
class QModelIndex;
class RigheOrdineLocalTableModel;

namespace Ui {
class OrdineLocalDetailsWidget;
}

// The summary of one local order: date, files to send and end customer, the end-customer and
// notes editors, the table of its rows with shipping and total, and the details of a row on a
// double click. It keeps a copy of the order and never changes the caller's record. It is the
// last page of the composers and the body of the local order details window.
class OrdineLocalDetailsWidget : public QWidget
{
    Q_OBJECT

public:
    OrdineLocalDetailsWidget(OrdiniLocal::OrdineLocal &ordine, QWidget *parent = nullptr);
    explicit OrdineLocalDetailsWidget(QWidget *parent = nullptr);
    ~OrdineLocalDetailsWidget() override;

    void setOrdine(OrdiniLocal::OrdineLocal &ordine);
    void setReadOnly(bool readOnly);
    // The editors' texts exactly as typed.
    QString clienteFinale() const;
    QString note() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private slots:
    void on_tableViewRighe_doubleClicked(const QModelIndex &index);
    void on_actionDettagli_triggered();

private:
    void initUi();
    void updateUi();

    struct ViewportEvent
    {
        QEvent::Type type = QEvent::None;
        Qt::MouseButton button = Qt::NoButton;
    };

    std::unique_ptr<Ui::OrdineLocalDetailsWidget> ui;
    OrdiniLocal::OrdineLocal ordine;
    RigheOrdineLocalTableModel *model = nullptr;
    QHeaderView *header = nullptr;
    ViewportEvent lastViewportEvent;
};
