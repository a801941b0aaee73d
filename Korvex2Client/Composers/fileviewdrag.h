#pragma once

#include <QPoint>
#include <QString>

class QAbstractItemView;
class QMimeData;
class QMouseEvent;

// The drag gesture shared by the composers' file views. A drag carries no file names, only
// which operation it is ("ADD_FILES" from the file browser, "REMOVE_FILES" from the chosen
// files) as the dynamic property "Operation" of a format-less QMimeData: the view that takes
// the drop tells its host, which acts on the selection of the view the drag came from.
struct FileViewDragState
{
    QString addOperation = QStringLiteral("ADD_FILES");
    QString removeOperation = QStringLiteral("REMOVE_FILES");
    // Where the left button went down, in viewport pixels; (0,0) means none.
    QPoint dragStartPosition;
    // Set once the current press-and-move gesture may no longer start a drag; cleared on release.
    bool dragSuppressed = false;
};

namespace FileViewDrag {

// What the view does with a mouse move after the gesture has looked at it.
enum class MoveOutcome {
    HandOn,  // give the event to the inherited handler
    Swallow, // the event is used up (no drag yet, no selection change)
    Dragged, // a drag ran and has ended; the event is used up
};

void press(FileViewDragState &state, const QMouseEvent *event);
// hasSelection: the view's selectedIndexes() is not empty (the call is protected in the view).
MoveOutcome move(FileViewDragState &state, QAbstractItemView *view, bool hasSelection,
                 const QMouseEvent *event, const QString &outgoingOperation);
void release(FileViewDragState &state);

// True when the payload began in one of the file views with exactly this operation.
bool payloadMatches(const QMimeData *data, const QString &operation);

} // namespace FileViewDrag
