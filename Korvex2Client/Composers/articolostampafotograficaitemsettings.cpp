#include "articolostampafotograficaitemsettings.h"
#include "ui_articolostampafotograficaitemsettings.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

#include "korvex2exception.h"

ArticoloStampaFotograficaItemSettings::ArticoloStampaFotograficaItemSettings(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui_ArticoloStampaFotograficaItemSettings>())
{
    ui->setupUi(this);
    ui->buttonBox->button(QDialogButtonBox::Ok)->setAccessibleName(tr("Applica le impostazioni"));
    formati = ordiniLocal.GetFormati();
    carte = ordiniLocal.GetCarte();
    fillCarte(carte);
    fillFormati(formati);
    on_carta_currentIndexChanged(ui->carta->currentText());
}

ArticoloStampaFotograficaItemSettings::~ArticoloStampaFotograficaItemSettings() = default;

int ArticoloStampaFotograficaItemSettings::idByName(const QMap<int, QString> &map, const QString &text)
{
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
        if (it.value() == text)
            return it.key();
    }
    return 0;
}

void ArticoloStampaFotograficaItemSettings::setCarta(QString carta)
{
    ui->carta->setCurrentIndex(ui->carta->findText(carta, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void ArticoloStampaFotograficaItemSettings::setFormato(QString formato)
{
    ui->formato->setCurrentIndex(ui->formato->findText(formato, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void ArticoloStampaFotograficaItemSettings::setQta(int qta)
{
    if (qta >= 1)
        ui->qta->setValue(qta);
}

OrdiniLocal::OrdineRigaStampaLocal ArticoloStampaFotograficaItemSettings::getCurrentSettings()
{
    OrdiniLocal::OrdineRigaStampaLocal riga;
    ordiniLocal.initOrdineRigaStampaLocal(riga);
    const int idFormato = idByName(formatiMap, ui->formato->currentText());
    const int idCarta = idByName(carteMap, ui->carta->currentText());
    const OrdiniLocal::StampaLocal stampa = ordiniLocal.GetStampaByFormatoCarta(idFormato, idCarta);
    riga.CartaDesc = stampa.carta.colonna2;
    riga.FormatoDesc = stampa.formato.colonna2;
    riga.IdStampa = stampa.id;
    riga.Codice = stampa.codice;
    riga.Descrizione = stampa.descrizione;
    riga.Prezzo = stampa.prezzo;
    riga.Qta = ui->qta->value();
    return riga;
}

void ArticoloStampaFotograficaItemSettings::fillCarte(QList<OrdiniLocal::CartaLocal> list)
{
    disconnectComboSignals();
    carteMap.clear();
    ui->carta->clear();
    for (const OrdiniLocal::CartaLocal &carta : list) {
        carteMap[carta.id] = carta.colonna2;
        ui->carta->addItem(carta.colonna2);
    }
    connectComboSignals();
}

void ArticoloStampaFotograficaItemSettings::fillFormati(QList<OrdiniLocal::FormatoLocal> list)
{
    disconnectComboSignals();
    formatiMap.clear();
    ui->formato->clear();
    for (const OrdiniLocal::FormatoLocal &formato : list) {
        formatiMap[formato.id] = formato.colonna2;
        ui->formato->addItem(formato.colonna2);
    }
    connectComboSignals();
}

void ArticoloStampaFotograficaItemSettings::disconnectComboSignals()
{
    disconnect(ui->formato, SIGNAL(currentIndexChanged(QString)), this, SLOT(on_formato_currentIndexChanged(QString)));
    disconnect(ui->carta, SIGNAL(currentIndexChanged(QString)), this, SLOT(on_carta_currentIndexChanged(QString)));
}

void ArticoloStampaFotograficaItemSettings::connectComboSignals()
{
    connect(ui->formato, SIGNAL(currentIndexChanged(QString)), this, SLOT(on_formato_currentIndexChanged(QString)),
            Qt::UniqueConnection);
    connect(ui->carta, SIGNAL(currentIndexChanged(QString)), this, SLOT(on_carta_currentIndexChanged(QString)),
            Qt::UniqueConnection);
}

void ArticoloStampaFotograficaItemSettings::on_carta_currentIndexChanged(const QString &text)
{
    const QString formato = ui->formato->currentText();
    const int idCarta = idByName(carteMap, text);
    if (idCarta < 1)
        return;
    try {
        const OrdiniLocal::CartaLocal carta = ordiniLocal.CartaLocalFromDb(idCarta);
        fillFormati(ordiniLocal.GetFormatiByCarta(carta));
    } catch (const Korvex2Exception &) {
        // The format list stays as it was.
        return;
    }
    disconnectComboSignals();
    const int keep = ui->formato->findText(formato, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ui->formato->setCurrentIndex(keep >= 0 ? keep : 0);
    connectComboSignals();
}

void ArticoloStampaFotograficaItemSettings::on_formato_currentIndexChanged(const QString &text)
{
    // A format choice changes nothing else in the dialog.
    Q_UNUSED(text)
}

void ArticoloStampaFotograficaItemSettings::on_buttonBox_clicked(QAbstractButton *button)
{
    switch (ui->buttonBox->buttonRole(button)) {
    case QDialogButtonBox::AcceptRole:
        if (ui->formato->currentIndex() >= 0 && ui->carta->currentIndex() >= 0) {
            accept();
            return;
        }
        QMessageBox::warning(this, tr("Stampa non valida"), tr("Selezionare un formato e una carta dalla lista"),
                             QMessageBox::Ok);
        return;
    case QDialogButtonBox::RejectRole:
        reject();
        return;
    default:
        return;
    }
}
