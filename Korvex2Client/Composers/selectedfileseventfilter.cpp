#include "selectedfileseventfilter.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>

void ViewEventRecord::record(const QEvent *event)
{
    type = event->type();
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        button = static_cast<const QMouseEvent *>(event)->button();
        break;
    default:
        button = Qt::NoButton;
        break;
    }
}

selectedFilesEventFilter::selectedFilesEventFilter()
    : QObject(nullptr)
{
}

bool selectedFilesEventFilter::eventFilter(QObject *watched, QEvent *event)
{
    lastEvent.record(event);
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        emit cancelKeyPressed();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
