#include "qlistviewfileselection.h"

#include <QAccessible>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>

#include "filebrowseraccessible.h"

QListViewFileSelection::QListViewFileSelection(QWidget *parent)
    : QListView(parent)
{
    // A screen reader reads every file of the folder shown (FileBrowserAccessible).
    static const bool readable = [] {
        QAccessible::installFactory(&FileBrowserAccessible::factory);
        return true;
    }();
    Q_UNUSED(readable)
}

void QListViewFileSelection::mousePressEvent(QMouseEvent *event)
{
    FileViewDrag::press(m_drag, event);
    QListView::mousePressEvent(event);
}

void QListViewFileSelection::mouseReleaseEvent(QMouseEvent *event)
{
    FileViewDrag::release(m_drag);
    QListView::mouseReleaseEvent(event);
}

void QListViewFileSelection::mouseMoveEvent(QMouseEvent *event)
{
    if (FileViewDrag::move(m_drag, this, !selectedIndexes().isEmpty(), event, m_drag.addOperation)
        == FileViewDrag::MoveOutcome::HandOn)
        QListView::mouseMoveEvent(event);
}

void QListViewFileSelection::dragEnterEvent(QDragEnterEvent *event)
{
    // Files from outside are left to the view's own rules on entering.
    if (FileViewDrag::payloadMatches(event->mimeData(), m_drag.removeOperation))
        event->acceptProposedAction();
    else
        QListView::dragEnterEvent(event);
}

void QListViewFileSelection::dragMoveEvent(QDragMoveEvent *event)
{
    if (FileViewDrag::payloadMatches(event->mimeData(), m_drag.removeOperation) || event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        QListView::dragMoveEvent(event);
}

void QListViewFileSelection::dropEvent(QDropEvent *event)
{
    const QMimeData *data = event->mimeData();
    if (data->hasUrls()) {
        QListView::dropEvent(event);
    } else if (FileViewDrag::payloadMatches(data, m_drag.removeOperation)) {
        emit dropFromSelectedFiles();
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}
