#include "qlistviewselectedfiles.h"

#include <QDebug>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMetaType>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

QListViewSelectedFiles::QListViewSelectedFiles(QWidget *parent)
    : QListView(parent)
{
    qRegisterMetaType<QFileInfo>("QFileInfo");
    qRegisterMetaType<QList<QFileInfo>>("QList<QFileInfo>");
}

void QListViewSelectedFiles::mousePressEvent(QMouseEvent *event)
{
    FileViewDrag::press(m_drag, event);
    QListView::mousePressEvent(event);
}

void QListViewSelectedFiles::mouseReleaseEvent(QMouseEvent *event)
{
    FileViewDrag::release(m_drag);
    QListView::mouseReleaseEvent(event);
}

void QListViewSelectedFiles::mouseMoveEvent(QMouseEvent *event)
{
    if (FileViewDrag::move(m_drag, this, !selectedIndexes().isEmpty(), event, m_drag.removeOperation)
        == FileViewDrag::MoveOutcome::HandOn)
        QListView::mouseMoveEvent(event);
}

void QListViewSelectedFiles::dragEnterEvent(QDragEnterEvent *event)
{
    if (FileViewDrag::payloadMatches(event->mimeData(), m_drag.addOperation) || event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        QListView::dragEnterEvent(event);
}

void QListViewSelectedFiles::dragMoveEvent(QDragMoveEvent *event)
{
    if (FileViewDrag::payloadMatches(event->mimeData(), m_drag.addOperation) || event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        QListView::dragMoveEvent(event);
}

void QListViewSelectedFiles::dropEvent(QDropEvent *event)
{
    const QMimeData *data = event->mimeData();
    if (data->hasUrls()) {
        qDebug().noquote() << objectName() + QStringLiteral(": DROP FROM FILE SYSTEM");
        QList<QFileInfo> files;
        const QList<QUrl> urls = data->urls();
        files.reserve(urls.size());
        for (const QUrl &url : urls)
            files.append(QFileInfo(url.toLocalFile()));
        emit dropFromFileSystem(files);
        event->acceptProposedAction();
    } else if (FileViewDrag::payloadMatches(data, m_drag.addOperation)) {
        qDebug().noquote() << objectName() + QStringLiteral(": DROP FROM FILE SELECTION");
        emit dropFromFileSelection();
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}
