#pragma once

#include <QWidget>

#include <memory>

class QPixmap;

namespace Ui {
class ArticoloWidget;
}

// One entry of the main window's list of articles: picture, title and description. The
// list reacts to clicks and reads id() to know which article was chosen.
class ArticoloWidget final : public QWidget
{
    Q_OBJECT

public:
    explicit ArticoloWidget(QWidget *parent = nullptr);
    ~ArticoloWidget() override;

    void setArticoloTitolo(const QString &titolo);
    void setArticoloDescrizione(const QString &descrizione);
    void setArticoloImmagine(const QPixmap &immagine);
    void setArticoloId(int id);
    int id() const;

private:
    std::unique_ptr<Ui::ArticoloWidget> ui;
    int m_id = 0;
};
