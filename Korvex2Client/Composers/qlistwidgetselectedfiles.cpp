#include "qlistwidgetselectedfiles.h"

#include <QDebug>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>

QListWidgetSelectedFiles::QListWidgetSelectedFiles(QWidget *parent)
    : QListWidget(parent)
{
}

void QListWidgetSelectedFiles::mousePressEvent(QMouseEvent *event)
{
    FileViewDrag::press(m_drag, event);
    QListWidget::mousePressEvent(event);
}

void QListWidgetSelectedFiles::mouseReleaseEvent(QMouseEvent *event)
{
    FileViewDrag::release(m_drag);
    QListWidget::mouseReleaseEvent(event);
}

void QListWidgetSelectedFiles::mouseMoveEvent(QMouseEvent *event)
{
    if (FileViewDrag::move(m_drag, this, !selectedIndexes().isEmpty(), event, m_drag.removeOperation)
        == FileViewDrag::MoveOutcome::HandOn)
        QListWidget::mouseMoveEvent(event);
}

void QListWidgetSelectedFiles::dragEnterEvent(QDragEnterEvent *event)
{
    if (FileViewDrag::payloadMatches(event->mimeData(), m_drag.addOperation) || event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        QListWidget::dragEnterEvent(event);
}

void QListWidgetSelectedFiles::dragMoveEvent(QDragMoveEvent *event)
{
    if (FileViewDrag::payloadMatches(event->mimeData(), m_drag.addOperation) || event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        QListWidget::dragMoveEvent(event);
}

void QListWidgetSelectedFiles::dropEvent(QDropEvent *event)
{
    const QMimeData *data = event->mimeData();
    if (data->hasUrls()) {
        qDebug().noquote() << objectName() + QStringLiteral(": DROP FROM FILE SYSTEM");
        emit dropFromFileSystem(data);
        event->acceptProposedAction();
    } else if (FileViewDrag::payloadMatches(data, m_drag.addOperation)) {
        emit dropFromFileSelection();
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}
