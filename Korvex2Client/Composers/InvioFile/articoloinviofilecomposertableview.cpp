#include "articoloinviofilecomposertableview.h"

#include <QApplication>
#include <QDebug>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>

ArticoloInvioFileComposerTableView::ArticoloInvioFileComposerTableView(QWidget *parent)
    : QTableView(parent)
{
    m_pressed = false;
    connect(this, &QAbstractItemView::pressed, this, &ArticoloInvioFileComposerTableView::onItemClicked);
}

void ArticoloInvioFileComposerTableView::onItemClicked(const QModelIndex &)
{
    m_pressed = true;
}

void ArticoloInvioFileComposerTableView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || !m_pressed) {
        m_pressed = false;
        QAbstractItemView::mouseMoveEvent(event);
        return;
    }
    // Measured from the item area's corner, not from the press.
    const int length = event->pos().manhattanLength();
    if (!selectedIndexes().isEmpty() && length >= QApplication::startDragDistance()) {
        m_pressed = false;
        qDebug() << "START DRAG";
        auto *data = new QMimeData;
        data->setProperty("Operation", QStringLiteral("DROP_DATA"));
        auto *drag = new QDrag(this);
        drag->setMimeData(data);
        drag->exec(Qt::MoveAction);
        qDebug() << "END DRAG";
        return;
    }
    m_pressed = false;
    QAbstractItemView::mouseMoveEvent(event);
}
