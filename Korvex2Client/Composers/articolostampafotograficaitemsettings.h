#pragma once

#include <QDialog>
#include <QList>
#include <QMap>
#include <QString>

#include <memory>

#include "ordinilocal.h"

class QAbstractButton;
class Ui_ArticoloStampaFotograficaItemSettings;

// The print settings given to several prints at once: a paper, a format among those the
// paper offers, and a number of copies. Both lists come from the catalogue when the dialog
// is built (a Korvex2Exception of the catalogue leaves the constructor).
class ArticoloStampaFotograficaItemSettings : public QDialog
{
    Q_OBJECT

public:
    explicit ArticoloStampaFotograficaItemSettings(QWidget *parent = nullptr);
    ~ArticoloStampaFotograficaItemSettings() override;
    Q_DISABLE_COPY(ArticoloStampaFotograficaItemSettings)

    void setCarta(QString carta);
    void setFormato(QString formato);
    void setQta(int qta);
    // The chosen product and copies in an otherwise empty row; throws Korvex2Exception.
    OrdiniLocal::OrdineRigaStampaLocal getCurrentSettings();

    void fillCarte(QList<OrdiniLocal::CartaLocal> carte);
    void fillFormati(QList<OrdiniLocal::FormatoLocal> formati);
    void disconnectComboSignals();
    void connectComboSignals();

private slots:
    void on_buttonBox_clicked(QAbstractButton *button);
    void on_formato_currentIndexChanged(const QString &text);
    void on_carta_currentIndexChanged(const QString &text);

private:
    static int idByName(const QMap<int, QString> &map, const QString &text);

    std::unique_ptr<Ui_ArticoloStampaFotograficaItemSettings> ui;
    OrdiniLocal ordiniLocal;
    QMap<int, QString> carteMap;
    QMap<int, QString> formatiMap;
    QList<OrdiniLocal::FormatoLocal> formati;
    QList<OrdiniLocal::CartaLocal> carte;
};
