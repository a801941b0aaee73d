#include "lineeditfiltraeventfilter.h"

#include <QEvent>

lineEditFiltraEventFilter::lineEditFiltraEventFilter()
    : QObject(nullptr)
{
}

bool lineEditFiltraEventFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        emit focusIn();
        return false;
    }
    return QObject::eventFilter(watched, event);
}
