#pragma once

#include <QObject>

// Installed on the chosen-files views: the Delete key becomes cancelKeyPressed(), which the
// composers connect to their remove command, and the view never sees the key.
class selectedFilesEventFilter : public QObject
{
    Q_OBJECT

public:
    selectedFilesEventFilter();

signals:
    void cancelKeyPressed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
