#pragma once

#include <QObject>

// Installed on a composer's filter line edit: tells when the focus enters it, for any reason.
// The line edit still handles its focus-in as usual.
class lineEditFiltraEventFilter : public QObject
{
    Q_OBJECT

public:
    lineEditFiltraEventFilter();

signals:
    void focusIn();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
