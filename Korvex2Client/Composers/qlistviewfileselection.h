#pragma once

#include <QListView>

#include "fileviewdrag.h"

// The composers' file browser view. Its drags carry "ADD_FILES"; it takes drags of
// "REMOVE_FILES" from the chosen files. A screen reader reads each file of the folder shown
// (FileBrowserAccessible).
class QListViewFileSelection : public QListView
{
    Q_OBJECT

public:
    explicit QListViewFileSelection(QWidget *parent = nullptr);

signals:
    void dropFromSelectedFiles();

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
