#pragma once

#include <QList>
#include <memory>
#include <QMap>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include "articolostampafotograficafotoeditor.h"
#include "ordinilocal.h"

class QPaintEvent;
class Ui_ArticoloStampaFotograficaItemWidget;

Q_DECLARE_METATYPE(OrdiniLocal::StampaLocal)

// A card of fixed size that shows and edits one photo print: thumbnail, copies, format and
// paper, a warning strip, and buttons for the photo editor, a duplicate and the removal. The
// two combos keep the print product in step: a format narrows the papers, a paper narrows
// the formats, and the pair's product gives the row its id, code, description and price.
// The owner lays cards out and reacts to remove, duplicate and stampaLocalChanged.
class ArticoloStampaFotograficaItemWidget : public QWidget
{
    Q_OBJECT

public:
    enum WarningType {
        GenericWarning = 1,
        StampaWarning = 2,
        FileWarning = 4,
    };

    explicit ArticoloStampaFotograficaItemWidget(QWidget *parent = nullptr);
    ArticoloStampaFotograficaItemWidget(OrdiniLocal::OrdineRigaStampaLocal &riga, QWidget *parent = nullptr);
    ~ArticoloStampaFotograficaItemWidget() override;
    Q_DISABLE_COPY(ArticoloStampaFotograficaItemWidget)

    void init();
    void setOrdineRigaStampaLocal(OrdiniLocal::OrdineRigaStampaLocal &riga, bool emitSignal);
    OrdiniLocal::OrdineRigaStampaLocal ordineRigaStampaLocal() const;
    void ordineRigaStampaLocalToForm();

    // Both throw Korvex2Exception; the first when the product is not in the local catalogue.
    void setStampaLocal(int idStampa, bool emitSignal);
    void setStampaLocal(OrdiniLocal::StampaLocal stampa, bool emitSignal);
    OrdiniLocal::StampaLocal stampaLocal() const;

    void setFormato(OrdiniLocal::FormatoLocal formato);
    void setFormato(int idFormato);
    OrdiniLocal::FormatoLocal formato() const;
    void setCarta(OrdiniLocal::CartaLocal carta);
    void setCarta(int idCarta);
    OrdiniLocal::CartaLocal carta() const;

    void setQta(int qta);
    int qta() const;
    void setFilePath(QString path);
    QString filePath() const;
    void setThumb(QPixmap thumb);

    void showWarning(QString message, WarningType type);
    void hideWarning(int types);
    QString warningMessage() const;
    int getLastWarningType() const;

    void fillFormati(QList<OrdiniLocal::FormatoLocal> formati);
    void fillCarte(QList<OrdiniLocal::CartaLocal> carte);
    void connectComboSignals();
    void disconnectComboSignals();

    static QList<OrdiniLocal::FormatoLocal> m_formati;
    static QList<OrdiniLocal::CartaLocal> m_carte;
    static const QString m_errorBorder;

signals:
    void remove(int widgetId);
    void duplicate(OrdiniLocal::OrdineRigaStampaLocal riga);
    void stampaLocalChanged(int widgetId, OrdiniLocal::StampaLocal stampaLocal, OrdiniLocal::StampaLocal oldStampaLocal);

protected:
    void paintEvent(QPaintEvent *event) override;

private slots:
    void on_formato_currentIndexChanged(const QString &text);
    void on_carta_currentIndexChanged(const QString &text);
    void on_qta_valueChanged(int value);
    void on_pushButtonAddCopy_clicked();
    void on_pushButtonRemove_clicked();
    void on_pushButton_clicked();
    void on_editorDataChanged(OrdiniLocal::OrdineRigaStampaLocal riga, QPixmap thumb);

private:
    class ComboSignalsDetached;
    static int idByName(const QMap<int, QString> &map, const QString &text);
    void lookUpStampa();

    int m_widgetId = -1;
    int m_lastWarningType = 0;
    std::unique_ptr<Ui_ArticoloStampaFotograficaItemWidget> ui;
    OrdiniLocal m_ordiniLocal;
    OrdiniLocal::OrdineRigaStampaLocal m_ordineRigaStampaLocal;
    OrdiniLocal::StampaLocal m_stampaLocal;
    QMap<int, QString> m_carteMap;
    QMap<int, QString> m_formatiMap;
    bool m_formatoSelected = false;
    bool m_cartaSelected = false;
    int m_detachDepth = 0;
};
