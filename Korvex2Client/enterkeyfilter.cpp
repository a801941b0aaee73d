#include "enterkeyfilter.h"

#include <QAbstractItemView>
#include <QKeyEvent>

EnterKeyFilter::EnterKeyFilter(QObject *parent)
    : QObject(parent)
{
}

bool EnterKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (!enter || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return QObject::eventFilter(watched, event);
    auto *view = qobject_cast<QAbstractItemView *>(watched);
    if (!view || !view->currentIndex().isValid())
        return QObject::eventFilter(watched, event);
    emit activated(view->currentIndex());
    return true;
}
