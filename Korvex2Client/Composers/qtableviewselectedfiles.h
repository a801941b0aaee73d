#pragma once

#include <QFileInfo>
#include <QList>
#include <QTableView>

#include "fileviewdrag.h"

// A view of the files chosen for an order. Its drags carry "REMOVE_FILES"; it takes drags of
// "ADD_FILES" from the file browser and drops of files from outside the program.
class QTableViewSelectedFiles : public QTableView
{
    Q_OBJECT

public:
    explicit QTableViewSelectedFiles(QWidget *parent = nullptr);

signals:
    void dropFromFileSelection();
    // One record per dropped URL, in drop order, nothing filtered: folders, missing paths and
    // duplicates stay, and a URL that is no local file gives a record with an empty path.
    void dropFromFileSystem(QList<QFileInfo> files);

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
