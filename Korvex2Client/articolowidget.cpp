#include "articolowidget.h"

#include <QPixmap>

#include "ui_articolowidget.h"

ArticoloWidget::ArticoloWidget(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::ArticoloWidget>())
{
    ui->setupUi(this);
    // The form's placeholder texts and picture never show.
    ui->labelArticoloTitolo->setText(QString());
    ui->labelArticoloDescrizione->setText(QString());
    ui->labelArticoloImmagine->setPixmap(QPixmap());
}

ArticoloWidget::~ArticoloWidget() = default;

void ArticoloWidget::setArticoloTitolo(const QString &titolo)
{
    ui->labelArticoloTitolo->setText(titolo);
}

void ArticoloWidget::setArticoloDescrizione(const QString &descrizione)
{
    ui->labelArticoloDescrizione->setText(descrizione);
}

void ArticoloWidget::setArticoloImmagine(const QPixmap &immagine)
{
    ui->labelArticoloImmagine->setPixmap(immagine);
}

void ArticoloWidget::setArticoloId(int id)
{
    m_id = id;
}

int ArticoloWidget::id() const
{
    return m_id;
}
