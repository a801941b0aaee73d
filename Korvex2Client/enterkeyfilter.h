#pragma once

#include <QObject>

class QModelIndex;

// Enter or Return on an item view opens its current item: installed on the view, it reports
// the key as activated() with that item and keeps it from going further. The mouse keeps the
// view's own signals (a click, a double click), so that no opening is reported twice, as the
// view's activated() would on the platforms that activate on a single click.
class EnterKeyFilter final : public QObject
{
    Q_OBJECT

public:
    explicit EnterKeyFilter(QObject *parent = nullptr);

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void activated(const QModelIndex &index);
};
