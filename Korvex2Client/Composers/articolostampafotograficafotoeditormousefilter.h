#pragma once

#include <QObject>
#include <QPoint>

// Turns left-button drags on the photo editor's preview into steps of the crop area: each
// move while the left button is held, and the release, report the distance in pixels since
// the last position.
class ArticoloStampaFotograficaFotoEditorMouseFilter : public QObject
{
    Q_OBJECT

public:
    explicit ArticoloStampaFotograficaFotoEditorMouseFilter(QObject *parent = nullptr);

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void cropMoved(int dx, int dy);

private:
    QPoint m_lastPos;
};
