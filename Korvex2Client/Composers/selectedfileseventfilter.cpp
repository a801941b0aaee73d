#include "selectedfileseventfilter.h"

#include <QEvent>
#include <QKeyEvent>

selectedFilesEventFilter::selectedFilesEventFilter()
    : QObject(nullptr)
{
}

bool selectedFilesEventFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        emit cancelKeyPressed();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
