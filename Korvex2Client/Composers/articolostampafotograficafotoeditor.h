#pragma once

#include <QDialog>
#include <QImage>
#include <QList>
#include <QMap>
#include <QPixmap>
#include <QSize>
#include <QString>

#include "ordinilocal.h"

class QCloseEvent;
class QResizeEvent;
class ArticoloStampaFotograficaFotoEditorMouseFilter;
class Ui_ArticoloStampaFotograficaFotoEditor;

Q_DECLARE_METATYPE(OrdiniLocal::OrdineRigaStampaLocal)

// The photo print editor: one print's copies, paper and format, and whether its photo is
// fitted whole into the format or cropped to it, with a crop area that is dragged on the
// preview, resized with a slider, turned and reset. Works on a copy of the row; a save hands
// the edited row back through dataChanged and closes the dialog.
class ArticoloStampaFotograficaFotoEditor : public QDialog
{
    Q_OBJECT

public:
    enum WarningType {
        GenericWarning = 1,
        StampaWarning = 2,
        FileWarning = 4,
    };

    // Read the catalogue's formats and papers first: a Korvex2Exception of those lists
    // leaves the constructor.
    explicit ArticoloStampaFotograficaFotoEditor(OrdiniLocal::OrdineRigaStampaLocal riga,
                                                 QWidget *parent = nullptr);
    ArticoloStampaFotograficaFotoEditor(OrdiniLocal::OrdineRigaStampaLocal riga,
                                        QList<OrdiniLocal::FormatoLocal> &formati,
                                        QList<OrdiniLocal::CartaLocal> &carte,
                                        QWidget *parent = nullptr);
    ~ArticoloStampaFotograficaFotoEditor() override;

    int activeWarnings() const;

signals:
    void dataChanged(OrdiniLocal::OrdineRigaStampaLocal newData, QPixmap thumb);

public slots:
    // Loads a row; true when its image was loaded. Everything that can be shown is shown
    // before a catalogue failure is passed on.
    bool setOrdineRigaStampaLocal(OrdiniLocal::OrdineRigaStampaLocal ordineRigaStampaLocal);
    void closeEvent(QCloseEvent *e) override;
    // Escape closes the window as its close box does: with the question about saving.
    void reject() override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void connectSignals();
    void closeSlot();
    void on_pushButtonClose_clicked();
    void on_pushButtonSave_clicked();
    void on_radioButtonAdatta_clicked();
    void on_radioButtonRitaglia_clicked();
    void resizeCropArea(int value);
    void on_CropAreaSlider_valueChanged(int value);
    void on_toolButtonUndoCropSize_clicked();
    void on_formato_activated(const QString &arg1);
    void on_carta_activated(const QString &arg1);
    void on_labelWarningFileNotFound_2_linkActivated(const QString &link);
    void on_pushButtonCropRotate_clicked();

private:
    // Connected by connectSignals (a plain member, so that the form's connection by name
    // does not look for a widget of that name).
    void on_mouseFilter_cropMoved(int dx, int dy);
    void init(const OrdiniLocal::OrdineRigaStampaLocal &riga, bool readLists);
    void keepLabelsWhole();
    void fillFormati(const QList<OrdiniLocal::FormatoLocal> &formati);
    void fillCarte(const QList<OrdiniLocal::CartaLocal> &carte);
    void setStampaLocal(const OrdiniLocal::StampaLocal &stampa);
    void checkForErrors();
    void showWarning(const QString &text, WarningType type);
    void hideWarning(int type);
    void selectTransformationType(int type);
    void refreshLoadedImage();
    QPixmap getTransformedPixmap(const QPixmap &pixmap, QSize formatSize,
                                 const OrdiniLocal::StampaLocalTransformation &transformation);
    void setSlideCropArea(QSize formatSize, QSize imageSize);

    QSize formatSize() const;
    QRect roundedCrop() const;
    bool cropIsUnset() const;
    int formatIdOf(const QString &text) const;
    int cartaIdOf(const QString &text) const;
    void selectByDescription(class QComboBox *combo, const QString &description);
    void showLaterWarning(const QString &message);

    int m_activeWarnings = 0;
    Ui_ArticoloStampaFotograficaFotoEditor *ui;
    OrdiniLocal::OrdineRigaStampaLocal m_ordineRigaStampaLocal;
    OrdiniLocal::StampaLocal m_stampaLocal;
    bool m_saved = false;
    QPixmap m_loadedPixmap;
    ArticoloStampaFotograficaFotoEditorMouseFilter *m_mouseFilter = nullptr;
    QMap<int, QString> m_carteMap;
    QMap<int, QString> m_formatiMap;

    // The picture scaled to the preview box: a drag step only shades it anew.
    QImage m_loadedImage;
    QImage m_boxImage;
    QSize m_boxImageFor;
    qint64 m_boxImageKey = 0;

public:
    static QList<OrdiniLocal::FormatoLocal> m_formati;
    static QList<OrdiniLocal::CartaLocal> m_carte;
};
