#include "ordineuploaditemwidget.h"

#include "ui_ordineuploaditemwidget.h"

#include <QFontMetrics>
#include <QPixmap>

#include "korvexglobals.h"
#include "ordinelocaldetails.h"

class OrdineUploadItemWidget::Busy
{
public:
    explicit Busy(OrdineUploadItemWidget *card) : m_card(card) { ++m_card->m_busy; }
    ~Busy() { --m_card->m_busy; }
    Q_DISABLE_COPY(Busy)

private:
    OrdineUploadItemWidget *m_card;
};

OrdineUploadItemWidget::OrdineUploadItemWidget(OrdiniLocal::OrdineLocal &ordine, QWidget *parent)
    : QWidget(parent), ui(new Ui::OrdineUploadItemWidget)
{
    ui->setupUi(this);
    if (!KorvexGlobals::utente)
        ui->toolButtonUpload->setEnabled(false);
    this->ordine = ordine;
    setIcon();

    ui->labelText->setText(tr("Ordine del ") + ordine.Data.toString(QStringLiteral("dd/MM/yyyy - hh:mm:ss")));
    QString description;
    if (!ordine.ClienteFinale.isEmpty()) {
        description = tr("Cliente finale: ")
                      + QFontMetrics(font()).elidedText(ordine.ClienteFinale, Qt::ElideRight, 165)
                      + QStringLiteral("\r\n");
    }
    description += tr("File da inviare: %1").arg(getOrdineNumFiles());
    ui->labelDescription->setText(description);

    const float price = static_cast<float>(OrdiniLocal().ordineTotalPrice(ordine));
    ui->labelPrice->setText(QStringLiteral("%L1%2").arg(double(price), 0, 'f', 2).arg(QChar(0x20AC)));

    ui->toolButtonUpload->setVisible(!ordine.Attivo);
    ui->toolButtonEdit->setVisible(!ordine.Attivo);
    ui->toolButtonAnnulla->setVisible(ordine.Attivo);
}

OrdineUploadItemWidget::~OrdineUploadItemWidget() = default;

OrdiniLocal::OrdineLocal OrdineUploadItemWidget::Ordine() const
{
    return ordine;
}

int OrdineUploadItemWidget::getOrdineNumFiles()
{
    return ordine.righeFile.size() + ordine.righeStampa.size();
}

void OrdineUploadItemWidget::setIcon()
{
    QString picture;
    bool hasFiles = false;
    if (!ordine.righeFile.isEmpty()) {
        picture = QStringLiteral(":/Resource/256x256/file.png");
        hasFiles = true;
    }
    if (!ordine.righeStampa.isEmpty())
        picture = hasFiles ? QStringLiteral(":/Resource/256x256/GenericOrder.png")
                           : QStringLiteral(":/Resource/256x256/photo.png");
    if (!picture.isEmpty())
        ui->label->setPixmap(QPixmap(picture));
}

void OrdineUploadItemWidget::showDetails()
{
    Busy busy(this);
    OrdiniLocal::OrdineLocal copy = ordine;
    auto *details = new OrdineLocalDetails(copy, this);
    details->setAttribute(Qt::WA_DeleteOnClose);
    details->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    connect(details, &OrdineLocalDetails::annullaRequest, this, &OrdineUploadItemWidget::onStopOrderRequest);
    connect(details, &OrdineLocalDetails::uploadRequest, this, &OrdineUploadItemWidget::onUploadOrderRequest);
    connect(details, &OrdineLocalDetails::editRequest, this, &OrdineUploadItemWidget::onEditOrderRequest);
    connect(details, &OrdineLocalDetails::removeRequest, this, &OrdineUploadItemWidget::onRemoveOrderRequest);
    details->exec();
}

void OrdineUploadItemWidget::on_toolButtonDetails_clicked()
{
    showDetails();
}

void OrdineUploadItemWidget::on_toolButtonRemove_clicked()
{
    Busy busy(this);
    const QString uuid = ordine.Uuid;
    emit removeOrderRequest(uuid);
}

void OrdineUploadItemWidget::on_toolButtonAnnulla_clicked()
{
    Busy busy(this);
    const QString uuid = ordine.Uuid;
    emit stopOrderRequest(uuid);
}

void OrdineUploadItemWidget::on_toolButtonUpload_clicked()
{
    Busy busy(this);
    const QString uuid = ordine.Uuid;
    emit uploadOrderRequest(uuid);
}

void OrdineUploadItemWidget::on_toolButtonEdit_clicked()
{
    Busy busy(this);
    const QString uuid = ordine.Uuid;
    emit editOrderRequest(uuid);
}

void OrdineUploadItemWidget::onStopOrderRequest(QString uuid)
{
    Busy busy(this);
    emit stopOrderRequest(uuid);
}

void OrdineUploadItemWidget::onUploadOrderRequest(QString uuid)
{
    Busy busy(this);
    emit uploadOrderRequest(uuid);
}

void OrdineUploadItemWidget::onEditOrderRequest(QString uuid)
{
    Busy busy(this);
    emit editOrderRequest(uuid);
}

void OrdineUploadItemWidget::onRemoveOrderRequest(QString uuid)
{
    Busy busy(this);
    emit removeOrderRequest(uuid);
}
