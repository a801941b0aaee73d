#include "fileviewdrag.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QVariant>

namespace FileViewDrag {

namespace {
const char *const operationProperty = "Operation";
}

void press(FileViewDragState &state, const QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        state.dragStartPosition = event->pos();
}

MoveOutcome move(FileViewDragState &state, QAbstractItemView *view, bool hasSelection,
                 const QMouseEvent *event, const QString &outgoingOperation)
{
    if (!(event->buttons() & Qt::LeftButton) || !hasSelection || state.dragSuppressed) {
        // A rubber band that began on empty space runs as usual and cannot turn into a drag
        // before the button is released, even once it has selected items.
        state.dragStartPosition = QPoint(0, 0);
        state.dragSuppressed = true;
        return MoveOutcome::HandOn;
    }
    if (state.dragStartPosition.isNull())
        return MoveOutcome::Swallow;
    if ((event->pos() - state.dragStartPosition).manhattanLength() < QApplication::startDragDistance())
        return MoveOutcome::Swallow;

    state.dragStartPosition = event->pos();
    auto *data = new QMimeData;
    data->setProperty(operationProperty, outgoingOperation);
    auto *drag = new QDrag(view);
    drag->setMimeData(data);
    drag->exec(Qt::MoveAction);
    return MoveOutcome::Dragged;
}

void release(FileViewDragState &state)
{
    state.dragSuppressed = false;
}

bool payloadMatches(const QMimeData *data, const QString &operation)
{
    if (!data)
        return false;
    const QVariant value = data->property(operationProperty);
    return value.isValid() && value.toString() == operation;
}

} // namespace FileViewDrag
