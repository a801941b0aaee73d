#pragma once

#include <QEvent>
#include <QObject>

// The type of an event and, for a mouse event, its button: what a window needs to know of an
// event after it was delivered (the event object itself is never kept).
struct ViewEventRecord
{
    QEvent::Type type = QEvent::None;
    Qt::MouseButton button = Qt::NoButton;

    void record(const QEvent *event);
    void clear() { *this = ViewEventRecord(); }
    bool isEmpty() const { return type == QEvent::None; }
    // A double click made with another button than the left one.
    bool isNonLeftDoubleClick() const { return type == QEvent::MouseButtonDblClick && button != Qt::LeftButton; }
};

// Installed on the chosen-files views: the Delete key becomes cancelKeyPressed(), which the
// composers connect to their remove command, and the view never sees the key. It keeps a
// record of the last event it received (installed on the views' viewports as well, it sees
// the double clicks).
class selectedFilesEventFilter : public QObject
{
    Q_OBJECT

public:
    selectedFilesEventFilter();

    // The last event received, empty at construction.
    ViewEventRecord lastEvent;

signals:
    void cancelKeyPressed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
