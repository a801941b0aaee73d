#pragma once

#include <QTableView>

// A table view that starts a drag of its selected rows by itself: the first move with the left
// button after a press on an item, once it lies the drag distance from the item area's corner.
// Its drags carry "DROP_DATA", which no view of the program takes.
class ArticoloInvioFileComposerTableView : public QTableView
{
    Q_OBJECT

public:
    explicit ArticoloInvioFileComposerTableView(QWidget *parent = nullptr);

private slots:
    void onItemClicked(const QModelIndex &index);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false;
};
