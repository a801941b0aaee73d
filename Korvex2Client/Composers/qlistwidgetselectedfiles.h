#pragma once

#include <QListWidget>

#include "fileviewdrag.h"

class QMimeData;

// A chosen-files view built on a list widget. Like the other chosen-files views its drags
// carry "REMOVE_FILES" and it takes "ADD_FILES" and files from outside the program; dropped
// files are passed on as the drop's own data.
class QListWidgetSelectedFiles : public QListWidget
{
    Q_OBJECT

public:
    explicit QListWidgetSelectedFiles(QWidget *parent = nullptr);

signals:
    void dropFromFileSelection();
    // data is the drop's own, valid only while the signal is delivered.
    void dropFromFileSystem(const QMimeData *data);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    FileViewDragState m_drag;
};
