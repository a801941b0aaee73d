#include "qtableviewfileselection.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>

QTableViewFileSelection::QTableViewFileSelection(QWidget *parent)
    : QTableView(parent)
{
}

void QTableViewFileSelection::mousePressEvent(QMouseEvent *event)
{
    FileViewDrag::press(m_drag, event);
    QTableView::mousePressEvent(event);
}

void QTableViewFileSelection::mouseReleaseEvent(QMouseEvent *event)
{
    FileViewDrag::release(m_drag);
    QTableView::mouseReleaseEvent(event);
}

void QTableViewFileSelection::mouseMoveEvent(QMouseEvent *event)
{
    if (FileViewDrag::move(m_drag, this, !selectedIndexes().isEmpty(), event, m_drag.addOperation)
        == FileViewDrag::MoveOutcome::HandOn)
        QTableView::mouseMoveEvent(event);
}

void QTableViewFileSelection::dragEnterEvent(QDragEnterEvent *event)
{
    // Files from outside are left to the view's own rules on entering.
    if (FileViewDrag::payloadMatches(event->mimeData(), m_drag.removeOperation))
        event->acceptProposedAction();
    else
        QTableView::dragEnterEvent(event);
}

void QTableViewFileSelection::dragMoveEvent(QDragMoveEvent *event)
{
    if (FileViewDrag::payloadMatches(event->mimeData(), m_drag.removeOperation) || event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        QTableView::dragMoveEvent(event);
}

void QTableViewFileSelection::dropEvent(QDropEvent *event)
{
    const QMimeData *data = event->mimeData();
    if (data->hasUrls()) {
        QTableView::dropEvent(event);
    } else if (FileViewDrag::payloadMatches(data, m_drag.removeOperation)) {
        emit dropFromSelectedFiles();
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}
