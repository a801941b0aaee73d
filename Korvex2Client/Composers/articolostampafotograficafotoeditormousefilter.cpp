#include "articolostampafotograficafotoeditormousefilter.h"

#include <QEvent>
#include <QMouseEvent>

ArticoloStampaFotograficaFotoEditorMouseFilter::ArticoloStampaFotograficaFotoEditorMouseFilter(QObject *parent)
    : QObject(parent)
    , m_lastPos(0, 0)
{
}

bool ArticoloStampaFotograficaFotoEditorMouseFilter::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        m_lastPos = mouse->localPos().toPoint();
        return true;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->buttons() != Qt::LeftButton)
            return false;
        const QPoint position = mouse->localPos().toPoint();
        const QPoint step = position - m_lastPos;
        m_lastPos = position;
        emit cropMoved(step.x(), step.y());
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        const QPoint step = mouse->localPos().toPoint() - m_lastPos;
        emit cropMoved(step.x(), step.y());
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
