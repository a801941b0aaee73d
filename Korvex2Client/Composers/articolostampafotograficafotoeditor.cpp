#include "articolostampafotograficafotoeditor.h"
#include "ui_articolostampafotograficafotoeditor.h"

#include <cmath>

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QResizeEvent>
#include <QTimer>

#include "articolostampafotograficafotoeditormousefilter.h"
#include "articolostampafotograficafotoprintmodel.h"
#include "imageutility.h"
#include "korvex2exception.h"

QList<OrdiniLocal::FormatoLocal> ArticoloStampaFotograficaFotoEditor::m_formati;
QList<OrdiniLocal::CartaLocal> ArticoloStampaFotograficaFotoEditor::m_carte;

namespace {

// Halves away from zero.
int rounded(double value)
{
    return int(std::lround(value));
}

bool isLandscape(const QSize &size)
{
    return size.width() > size.height();
}

bool isPortrait(const QSize &size)
{
    return size.height() > size.width();
}

// The format size turned to the orientation of reference; a square one stays.
QSize turnedTo(QSize format, const QSize &reference)
{
    if ((isLandscape(format) && isPortrait(reference)) || (isPortrait(format) && isLandscape(reference)))
        format.transpose();
    return format;
}

bool widthLimits(const QSize &image, const QSize &format)
{
    return float(image.width()) / float(format.width()) <= float(image.height()) / float(format.height());
}

QString messageOf(const Korvex2Exception &e)
{
    return QString::fromStdString(e.message);
}

} // namespace

ArticoloStampaFotograficaFotoEditor::ArticoloStampaFotograficaFotoEditor(
    OrdiniLocal::OrdineRigaStampaLocal riga, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui_ArticoloStampaFotograficaFotoEditor)
{
    ui->setupUi(this);
    keepLabelsWhole();
    try {
        init(riga, true);
    } catch (...) {
        delete ui;
        throw;
    }
}

ArticoloStampaFotograficaFotoEditor::ArticoloStampaFotograficaFotoEditor(
    OrdiniLocal::OrdineRigaStampaLocal riga, QList<OrdiniLocal::FormatoLocal> &formati,
    QList<OrdiniLocal::CartaLocal> &carte, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui_ArticoloStampaFotograficaFotoEditor)
{
    ui->setupUi(this);
    keepLabelsWhole();
    m_formati = formati;
    m_carte = carte;
    init(riga, false);
}

ArticoloStampaFotograficaFotoEditor::~ArticoloStampaFotograficaFotoEditor()
{
    delete m_mouseFilter;
    delete ui;
}

void ArticoloStampaFotograficaFotoEditor::keepLabelsWhole()
{
    // The settings column is narrow: its labels keep at least their own text's width.
    for (QLabel *label : {ui->label_16, ui->labelCarta, ui->labelFormato})
        label->setMinimumWidth(qMax(label->minimumWidth(), label->sizeHint().width()));
}

int ArticoloStampaFotograficaFotoEditor::activeWarnings() const
{
    return m_activeWarnings;
}

void ArticoloStampaFotograficaFotoEditor::init(const OrdiniLocal::OrdineRigaStampaLocal &riga,
                                               bool readLists)
{
    m_activeWarnings = 0;
    hideWarning(GenericWarning | StampaWarning | FileWarning);
    ui->widgetCropAreaResize->hide();
    ui->groupBoxRegola->hide();
    m_saved = false;

    m_mouseFilter = new ArticoloStampaFotograficaFotoEditorMouseFilter(this);
    ui->Foto->installEventFilter(m_mouseFilter);
    QTimer::singleShot(200, this, &ArticoloStampaFotograficaFotoEditor::connectSignals);

    ui->radioButtonAdatta->setChecked(false);
    ui->radioButtonRitaglia->setChecked(false);
    ui->widgetCropAreaResize->hide();
    ui->radioButtonAdatta->setChecked(true);

    // Read at every opening: a catalogue update in the running program changes them.
    if (readLists) {
        OrdiniLocal store;
        m_formati = store.GetFormati();
        m_carte = store.GetCarte();
    }
    fillFormati(m_formati);
    fillCarte(m_carte);

    try {
        setOrdineRigaStampaLocal(riga);
    } catch (const Korvex2Exception &e) {
        showLaterWarning(messageOf(e));
    }
}

void ArticoloStampaFotograficaFotoEditor::showLaterWarning(const QString &message)
{
    // Shown once the dialog runs, over it.
    QTimer::singleShot(0, this, [this, message] {
        QMessageBox::warning(this, tr("Modifica impostazioni di stampa"), message, QMessageBox::Ok);
    });
}

void ArticoloStampaFotograficaFotoEditor::fillFormati(const QList<OrdiniLocal::FormatoLocal> &formati)
{
    m_formatiMap.clear();
    ui->formato->clear();
    for (const auto &formato : formati) {
        m_formatiMap.insert(formato.id, formato.colonna2);
        ui->formato->addItem(formato.colonna2);
    }
}

void ArticoloStampaFotograficaFotoEditor::fillCarte(const QList<OrdiniLocal::CartaLocal> &carte)
{
    m_carteMap.clear();
    ui->carta->clear();
    for (const auto &carta : carte) {
        m_carteMap.insert(carta.id, carta.colonna2);
        ui->carta->addItem(carta.colonna2);
    }
}

int ArticoloStampaFotograficaFotoEditor::formatIdOf(const QString &text) const
{
    for (auto it = m_formatiMap.constBegin(); it != m_formatiMap.constEnd(); ++it)
        if (it.value() == text)
            return it.key();
    return 0;
}

int ArticoloStampaFotograficaFotoEditor::cartaIdOf(const QString &text) const
{
    for (auto it = m_carteMap.constBegin(); it != m_carteMap.constEnd(); ++it)
        if (it.value() == text)
            return it.key();
    return 0;
}

void ArticoloStampaFotograficaFotoEditor::selectByDescription(QComboBox *combo,
                                                              const QString &description)
{
    combo->setCurrentIndex(combo->findData(description, Qt::DisplayRole,
                                           Qt::MatchExactly | Qt::MatchCaseSensitive));
}

bool ArticoloStampaFotograficaFotoEditor::setOrdineRigaStampaLocal(
    OrdiniLocal::OrdineRigaStampaLocal ordineRigaStampaLocal)
{
    m_loadedPixmap = QPixmap();
    m_loadedImage = QImage();
    m_boxImage = QImage();
    m_saved = false;
    m_ordineRigaStampaLocal = ordineRigaStampaLocal;

    // What the row itself says comes first, so that no failure below can lose it.
    ui->qta->setValue(m_ordineRigaStampaLocal.Qta);
    selectTransformationType(m_ordineRigaStampaLocal.Transformation.Type);

    QString failure;
    OrdiniLocal store;
    store.initStampaLocal(m_stampaLocal);
    // A product id below 1, or one the catalogue no longer has, is no product (id 0).
    if (m_ordineRigaStampaLocal.IdStampa >= 1) {
        try {
            m_stampaLocal = store.StampaLocalFromDb(m_ordineRigaStampaLocal.IdStampa);
        } catch (const Korvex2Exception &e) {
            store.initStampaLocal(m_stampaLocal);
            failure = messageOf(e);
        }
    }

    // A missing or unreadable image gives no picture.
    const QString path = m_ordineRigaStampaLocal.FilePath;
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        try {
            m_loadedImage = imageUtility::loadImage(path);
        } catch (const Korvex2Exception &) {
            m_loadedImage = QImage();
        }
        if (!m_loadedImage.isNull())
            m_loadedPixmap = QPixmap::fromImage(m_loadedImage);
    }

    const int cartaId = m_stampaLocal.carta.id;
    selectByDescription(ui->carta, m_carteMap.value(cartaId));
    if (cartaId >= 1) {
        try {
            const OrdiniLocal::CartaLocal carta = store.CartaLocalFromDb(cartaId);
            fillFormati(store.GetFormatiByCarta(carta));
        } catch (const Korvex2Exception &e) {
            if (failure.isEmpty())
                failure = messageOf(e);
        }
    }
    selectByDescription(ui->formato, m_formatiMap.value(m_stampaLocal.formato.id));

    const OrdiniLocal::StampaLocalTransformation &transformation = m_ordineRigaStampaLocal.Transformation;
    if (transformation.Type == 2 && !cropIsUnset() && !m_loadedPixmap.isNull()) {
        const QSize crop(rounded(transformation.CropRect.width()), rounded(transformation.CropRect.height()));
        setSlideCropArea(turnedTo(formatSize(), crop), m_loadedPixmap.size());
    }

    refreshLoadedImage();
    checkForErrors();
    if (!failure.isEmpty())
        throw Korvex2Exception(std::string(), failure.toStdString());
    return !m_loadedPixmap.isNull();
}

void ArticoloStampaFotograficaFotoEditor::selectTransformationType(int type)
{
    ui->radioButtonAdatta->setChecked(false);
    ui->radioButtonRitaglia->setChecked(false);
    if (type == 2) {
        ui->widgetCropAreaResize->show();
        ui->radioButtonRitaglia->setChecked(true);
    } else if (type == 1) {
        ui->widgetCropAreaResize->hide();
        ui->radioButtonAdatta->setChecked(true);
    }
}

void ArticoloStampaFotograficaFotoEditor::on_radioButtonAdatta_clicked()
{
    m_ordineRigaStampaLocal.Transformation.Type = 1;
    ui->radioButtonAdatta->setChecked(false);
    ui->radioButtonRitaglia->setChecked(false);
    ui->widgetCropAreaResize->hide();
    ui->radioButtonAdatta->setChecked(true);
    refreshLoadedImage();
}

void ArticoloStampaFotograficaFotoEditor::on_radioButtonRitaglia_clicked()
{
    m_ordineRigaStampaLocal.Transformation.Type = 2;
    ui->radioButtonAdatta->setChecked(false);
    ui->radioButtonRitaglia->setChecked(false);
    ui->widgetCropAreaResize->show();
    ui->radioButtonRitaglia->setChecked(true);
    refreshLoadedImage();
}

void ArticoloStampaFotograficaFotoEditor::on_formato_activated(const QString &arg1)
{
    const int id = formatIdOf(arg1);
    if (id < 1)
        return;
    try {
        OrdiniLocal store;
        store.FormatoLocalFromDb(id);
        const int formatoId = formatIdOf(ui->formato->currentText());
        const int cartaId = cartaIdOf(ui->carta->currentText());
        setStampaLocal(store.GetStampaByFormatoCarta(formatoId, cartaId));
    } catch (const Korvex2Exception &e) {
        QMessageBox::warning(this, tr("Modifica impostazioni di stampa"), messageOf(e), QMessageBox::Ok);
    }
}

void ArticoloStampaFotograficaFotoEditor::on_carta_activated(const QString &arg1)
{
    const QString formatoDesc = m_stampaLocal.formato.colonna2;
    try {
        OrdiniLocal store;
        const OrdiniLocal::CartaLocal carta = store.CartaLocalFromDb(cartaIdOf(arg1));
        fillFormati(store.GetFormatiByCarta(carta));
        const int index = ui->formato->findData(formatoDesc, Qt::DisplayRole,
                                                Qt::MatchExactly | Qt::MatchCaseSensitive);
        ui->formato->setCurrentIndex(index >= 0 ? index : 0);
        const int formatoId = formatIdOf(ui->formato->currentText());
        const int cartaId = cartaIdOf(ui->carta->currentText());
        setStampaLocal(store.GetStampaByFormatoCarta(formatoId, cartaId));
    } catch (const Korvex2Exception &e) {
        QMessageBox::warning(this, tr("Modifica impostazioni di stampa"), messageOf(e), QMessageBox::Ok);
    }
}

void ArticoloStampaFotograficaFotoEditor::setStampaLocal(const OrdiniLocal::StampaLocal &stampa)
{
    m_stampaLocal = stampa;
    m_ordineRigaStampaLocal.IdStampa = stampa.id;
    m_ordineRigaStampaLocal.FormatoDesc = stampa.formato.colonna2;
    m_ordineRigaStampaLocal.CartaDesc = stampa.carta.colonna2;
    m_ordineRigaStampaLocal.Codice = stampa.codice;
    m_ordineRigaStampaLocal.Descrizione = stampa.descrizione;
    m_ordineRigaStampaLocal.Prezzo = stampa.prezzo;
    checkForErrors();
    m_ordineRigaStampaLocal.Transformation.CropRect = QRectF(0, 0, 0, 0);
    refreshLoadedImage();
    ui->CropAreaSlider->setValue(ui->CropAreaSlider->maximum());
}

void ArticoloStampaFotograficaFotoEditor::checkForErrors()
{
    if (!m_loadedPixmap.isNull())
        hideWarning(FileWarning);
    else
        showWarning(QString(), FileWarning);

    m_activeWarnings &= ~GenericWarning;
    ui->widgetWarningGeneric->hide();
    if (m_activeWarnings == 0)
        ui->widgetWarning->hide();

    if (!m_loadedPixmap.isNull() && m_stampaLocal.id >= 1
        && ArticoloStampaFotograficaFotoPrintModel::isImageTooSmall(m_loadedPixmap.size(), formatSize()))
        showWarning(tr("La stampa non è ottimale. Le dimensioni dell'immagine originale sono "
                       "inferiori a quelle del formato sclelto, quindi l'immagine verrà "
                       "ridimensionata."),
                    GenericWarning);

    if (m_stampaLocal.id == 0)
        showWarning(QString(), StampaWarning);
    else
        hideWarning(StampaWarning);
}

void ArticoloStampaFotograficaFotoEditor::showWarning(const QString &text, WarningType type)
{
    m_activeWarnings = type;
    if (type == 0)
        return;
    ui->widgetWarning->show();
    if (type & StampaWarning) {
        ui->labelCarta->setStyleSheet(QStringLiteral("#labelCarta { color: #760000; }"));
        ui->labelFormato->setStyleSheet(QStringLiteral("#labelFormato { color: #760000; }"));
        ui->widgetWarningStampaNotFound->show();
        ui->labelWarningStampaNotFound->setText(
            text.isEmpty() ? tr("Il formato e la carta scelti non sono più disponibili, si prega di "
                                "verificare le preferenze di stampa.")
                           : text);
        ui->groupBoxAdatta->setEnabled(false);
        ui->groupBoxRegola->setEnabled(false);
    }
    if (type & FileWarning) {
        ui->widgetWarningFileNotFound->show();
        ui->labelWarningFileNotFound->setText(
            text.isEmpty() ? tr("L'immagine non è presente sul computer in uso, probabilmente il file "
                                "è stato spostato o cancellato.")
                           : text);
        ui->groupBoxImpostazioniStampa->setEnabled(false);
        ui->groupBoxAdatta->setEnabled(false);
        ui->groupBoxRegola->setEnabled(false);
    }
    if (type & GenericWarning) {
        ui->widgetWarningGeneric->show();
        ui->labelWarningGeneric->setText(text.isEmpty() ? tr("Si è verificato un errore sconosciuto.") : text);
    }
}

void ArticoloStampaFotograficaFotoEditor::hideWarning(int type)
{
    if (type & StampaWarning) {
        m_activeWarnings &= ~StampaWarning;
        ui->labelCarta->setStyleSheet(QString());
        ui->labelFormato->setStyleSheet(QString());
        ui->widgetWarningStampaNotFound->hide();
        if (!(m_activeWarnings & FileWarning)) {
            ui->groupBoxAdatta->setEnabled(true);
            ui->groupBoxRegola->setEnabled(true);
        }
    }
    if (type & FileWarning) {
        m_activeWarnings &= ~FileWarning;
        ui->widgetWarningFileNotFound->hide();
        ui->groupBoxImpostazioniStampa->setEnabled(true);
        if (!(m_activeWarnings & StampaWarning)) {
            ui->groupBoxAdatta->setEnabled(true);
            ui->groupBoxRegola->setEnabled(true);
        }
    }
    if (type & GenericWarning) {
        m_activeWarnings &= ~GenericWarning;
        ui->widgetWarningGeneric->hide();
    }
    if (m_activeWarnings == 0)
        ui->widgetWarning->hide();
}

void ArticoloStampaFotograficaFotoEditor::on_labelWarningFileNotFound_2_linkActivated(const QString &)
{
    const QFileInfo current(m_ordineRigaStampaLocal.FilePath);
    const QString start = !m_ordineRigaStampaLocal.FilePath.isEmpty() && current.absoluteDir().exists()
                              ? current.absoluteFilePath()
                              : QDir::homePath();
    const QString chosen = QFileDialog::getOpenFileName(
        this, QStringLiteral("Seleziona un file"), start,
        tr("Tutti i file (*.*);;Immagini (*.png *.xpm *.jpg *.jpeg *.bmp *.gif)"));
    if (chosen.isEmpty() || !QFileInfo::exists(chosen))
        return;
    // A file that is no readable image would leave the row pointing at nothing printable.
    if (!imageUtility::isValidImage(chosen)) {
        QMessageBox::warning(this, tr("Seleziona una nuova immagine"),
                             tr("Il file scelto non è un'immagine leggibile: %1")
                                 .arg(QDir::toNativeSeparators(chosen)),
                             QMessageBox::Ok);
        return;
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    OrdiniLocal::OrdineRigaStampaLocal riga = m_ordineRigaStampaLocal;
    const QFileInfo file(chosen);
    riga.FilePath = file.absoluteFilePath();
    riga.FileSize = file.size();
    // A crop chosen on the old image stands only where it lies inside the new one.
    const QRectF crop = riga.Transformation.CropRect;
    if (crop.width() != 0 || crop.height() != 0) {
        const QSize size = imageUtility::getImageSize(riga.FilePath);
        if (!size.isValid() || !QRectF(QPointF(0, 0), QSizeF(size)).contains(crop))
            riga.Transformation.CropRect = QRectF(0, 0, 0, 0);
    }
    QString failure;
    try {
        setOrdineRigaStampaLocal(riga);
    } catch (const Korvex2Exception &e) {
        failure = messageOf(e);
    }
    QApplication::restoreOverrideCursor();
    if (!failure.isEmpty())
        QMessageBox::warning(this, tr("Modifica impostazioni di stampa"), failure, QMessageBox::Ok);
}

void ArticoloStampaFotograficaFotoEditor::on_pushButtonSave_clicked()
{
    if (m_activeWarnings != 0
        && QMessageBox::warning(this, tr("Salva"),
                                tr("Sono stati rilevati uno o più errori, continuare ugualmente?"),
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
               != QMessageBox::Yes)
        return;

    QPixmap thumb;
    if (!m_loadedPixmap.isNull()) {
        if (m_ordineRigaStampaLocal.Transformation.Type == 2)
            thumb = m_loadedPixmap.copy(roundedCrop());
        else
            thumb = ui->Foto->pixmap(Qt::ReturnByValue).copy();
    }
    m_ordineRigaStampaLocal.Qta = ui->qta->value();
    m_saved = true;
    emit dataChanged(m_ordineRigaStampaLocal, thumb);
    QTimer::singleShot(1, this, &ArticoloStampaFotograficaFotoEditor::closeSlot);
}

void ArticoloStampaFotograficaFotoEditor::closeEvent(QCloseEvent *e)
{
    if (m_saved) {
        e->accept();
        return;
    }
    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, tr("Salva Immagine"), tr("Desideri salvare i cambiamenti apportati alla foto?"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Abort, QMessageBox::Yes);
    if (answer == QMessageBox::No) {
        e->accept();
        return;
    }
    e->ignore();
    if (answer == QMessageBox::Yes)
        ui->pushButtonSave->click();
}

void ArticoloStampaFotograficaFotoEditor::reject()
{
    // Hidden, there is nothing to ask about: the dialog just ends.
    if (!isVisible()) {
        QDialog::reject();
        return;
    }
    close();
}

void ArticoloStampaFotograficaFotoEditor::closeSlot()
{
    close();
}

void ArticoloStampaFotograficaFotoEditor::on_pushButtonClose_clicked()
{
    close();
}

void ArticoloStampaFotograficaFotoEditor::connectSignals()
{
    connect(m_mouseFilter, &ArticoloStampaFotograficaFotoEditorMouseFilter::cropMoved, this,
            &ArticoloStampaFotograficaFotoEditor::on_mouseFilter_cropMoved, Qt::UniqueConnection);
}

// ---- Crop area and preview ---------------------------------------------------------------

QSize ArticoloStampaFotograficaFotoEditor::formatSize() const
{
    return QSize(m_stampaLocal.formato.colonna3, m_stampaLocal.formato.colonna4);
}

QRect ArticoloStampaFotograficaFotoEditor::roundedCrop() const
{
    const QRectF &crop = m_ordineRigaStampaLocal.Transformation.CropRect;
    return QRect(rounded(crop.x()), rounded(crop.y()), rounded(crop.width()), rounded(crop.height()));
}

bool ArticoloStampaFotograficaFotoEditor::cropIsUnset() const
{
    const QRectF &crop = m_ordineRigaStampaLocal.Transformation.CropRect;
    return crop.width() == 0 && crop.height() == 0;
}

void ArticoloStampaFotograficaFotoEditor::refreshLoadedImage()
{
    OrdiniLocal::StampaLocalTransformation &transformation = m_ordineRigaStampaLocal.Transformation;
    if (!m_loadedPixmap.isNull() || m_stampaLocal.id >= 1) {
        m_saved = false;
        if (transformation.Type == 2 && cropIsUnset() && !m_loadedPixmap.isNull()) {
            const QSize turned = turnedTo(formatSize(), m_loadedPixmap.size());
            const QRect crop = imageUtility::calculateCropRect(m_loadedPixmap.size(), turned);
            transformation.CropRect = crop.isEmpty() ? QRectF(0, 0, 0, 0) : QRectF(crop);
            setSlideCropArea(turned, m_loadedPixmap.size());
        }
        ui->Foto->setPixmap(getTransformedPixmap(m_loadedPixmap, formatSize(), transformation));
    } else {
        ui->Foto->setPixmap(QPixmap(QStringLiteral(":/Resource/256x256/photo.png")));
    }
    ui->labelCropAreaSize->setText(QStringLiteral("%1x%2 px")
                                       .arg(rounded(transformation.CropRect.width()))
                                       .arg(rounded(transformation.CropRect.height())));
}

QPixmap ArticoloStampaFotograficaFotoEditor::getTransformedPixmap(
    const QPixmap &pixmap, QSize formatSize, const OrdiniLocal::StampaLocalTransformation &transformation)
{
    if (pixmap.isNull())
        return QPixmap();
    const QSize box(ui->Foto->width() - 30, ui->Foto->height() - 30);
    const QSize preview = imageUtility::calculateThumbSize(turnedTo(formatSize, pixmap.size()), box);
    const QImage &source = pixmap.cacheKey() == m_loadedPixmap.cacheKey() && !m_loadedImage.isNull()
                               ? m_loadedImage
                               : pixmap.toImage();

    if (transformation.Type == 1)
        return QPixmap::fromImage(imageUtility::generateAdjustedThumb(source, preview, Qt::white, false));
    if (transformation.Type != 2)
        return pixmap;

    // The picture scaled to the box is kept while picture and box stay the same, so that a
    // drag step only shades it anew.
    if (m_boxImage.isNull() || m_boxImageFor != box || m_boxImageKey != pixmap.cacheKey()) {
        m_boxImage = source;
        if (pixmap.size() != box) {
            const QSize scaled = imageUtility::calculateThumbSize(pixmap.size(), box);
            m_boxImage = scaled.isEmpty() ? QImage()
                                          : source.scaled(scaled, Qt::IgnoreAspectRatio,
                                                          Qt::FastTransformation);
        }
        if (!m_boxImage.isNull())
            m_boxImage = m_boxImage.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        m_boxImageFor = box;
        m_boxImageKey = pixmap.cacheKey();
    }
    if (m_boxImage.isNull())
        return QPixmap();

    QImage shaded = m_boxImage.copy();
    const QRect crop = imageUtility::calculateCropRect(roundedCrop(), shaded.size(), pixmap.size())
                           .intersected(shaded.rect());
    const QColor shade(0, 0, 0, 155);
    QPainter painter(&shaded);
    if (crop.isEmpty()) {
        painter.fillRect(shaded.rect(), shade);
    } else {
        // Above, below, left and right of the crop area.
        painter.fillRect(QRect(0, 0, shaded.width(), crop.top()), shade);
        painter.fillRect(QRect(0, crop.bottom() + 1, shaded.width(), shaded.height() - crop.bottom() - 1), shade);
        painter.fillRect(QRect(0, crop.top(), crop.left(), crop.height()), shade);
        painter.fillRect(QRect(crop.right() + 1, crop.top(), shaded.width() - crop.right() - 1, crop.height()), shade);
    }
    painter.end();
    return QPixmap::fromImage(std::move(shaded));
}

void ArticoloStampaFotograficaFotoEditor::setSlideCropArea(QSize formatSize, QSize imageSize)
{
    if (formatSize.width() < 1 || formatSize.height() < 1 || imageSize.width() < 1
        || imageSize.height() < 1)
        return;
    const bool byWidth = widthLimits(imageSize, formatSize);
    const QRectF &crop = m_ordineRigaStampaLocal.Transformation.CropRect;
    const int maximum = byWidth ? imageSize.width() - formatSize.width()
                                : imageSize.height() - formatSize.height();
    const int offset = cropIsUnset() ? 0
                                     : int(byWidth ? imageSize.width() - crop.width()
                                                   : imageSize.height() - crop.height());
    ui->CropAreaSlider->setMinimum(0);
    if (maximum == ui->CropAreaSlider->maximum())
        return;
    ui->CropAreaSlider->setMaximum(maximum);
    ui->CropAreaSlider->setValue(maximum - offset);
}

void ArticoloStampaFotograficaFotoEditor::on_CropAreaSlider_valueChanged(int value)
{
    resizeCropArea(value);
}

void ArticoloStampaFotograficaFotoEditor::resizeCropArea(int value)
{
    const QSize image = m_loadedPixmap.size();
    if (cropIsUnset() || formatSize().width() < 1 || formatSize().height() < 1 || image.width() < 1
        || image.height() < 1)
        return;
    QRectF &crop = m_ordineRigaStampaLocal.Transformation.CropRect;
    const QSize format = turnedTo(formatSize(), QSize(rounded(crop.width()), rounded(crop.height())));
    int width;
    int height;
    if (widthLimits(image, format)) {
        width = format.width() + value;
        height = int(float(format.height()) * (float(width) / float(format.width())));
    } else {
        height = format.height() + value;
        width = int(float(format.width()) * (float(height) / float(format.height())));
    }
    double x = crop.x();
    double y = crop.y();
    if (x + width > image.width())
        x += int(image.width() - x - width);
    if (y + height > image.height())
        y += int(image.height() - y - height);
    crop = QRectF(qMax(x, 0.0), qMax(y, 0.0), width, height);
    refreshLoadedImage();
}

void ArticoloStampaFotograficaFotoEditor::on_mouseFilter_cropMoved(int dx, int dy)
{
    const QSize shown = ui->Foto->pixmap(Qt::ReturnByValue).size();
    if (m_ordineRigaStampaLocal.Transformation.Type != 2 || m_loadedPixmap.isNull()
        || shown.width() < 1 || shown.height() < 1 || cropIsUnset())
        return;
    QRect crop = roundedCrop();
    const double fx = double(m_loadedPixmap.width()) / double(shown.width());
    const double fy = double(m_loadedPixmap.height()) / double(shown.height());
    crop.translate(int(dx * fx), int(dy * fy));
    if (crop.x() < 0)
        crop.moveLeft(0);
    if (crop.y() < 0)
        crop.moveTop(0);
    if (crop.x() + crop.width() > m_loadedPixmap.width())
        crop.moveLeft(m_loadedPixmap.width() - crop.width());
    if (crop.y() + crop.height() > m_loadedPixmap.height())
        crop.moveTop(m_loadedPixmap.height() - crop.height());
    m_ordineRigaStampaLocal.Transformation.CropRect = QRectF(crop);
    refreshLoadedImage();
}

void ArticoloStampaFotograficaFotoEditor::on_pushButtonCropRotate_clicked()
{
    if (m_loadedPixmap.isNull() || formatSize().width() < 1 || formatSize().height() < 1)
        return;
    const QSize cropSize = roundedCrop().size();
    QSize format = formatSize();
    if (!((isLandscape(format) && isPortrait(cropSize)) || (isPortrait(format) && isLandscape(cropSize))))
        format.transpose();
    const QRect crop = imageUtility::calculateCropRect(m_loadedPixmap.size(), format);
    m_ordineRigaStampaLocal.Transformation.CropRect = crop.isEmpty() ? QRectF(0, 0, 0, 0) : QRectF(crop);
    setSlideCropArea(format, m_loadedPixmap.size());
    ui->CropAreaSlider->setValue(ui->CropAreaSlider->maximum());
    refreshLoadedImage();
}

void ArticoloStampaFotograficaFotoEditor::on_toolButtonUndoCropSize_clicked()
{
    m_ordineRigaStampaLocal.Transformation.CropRect = QRectF(0, 0, 0, 0);
    refreshLoadedImage();
    ui->CropAreaSlider->setValue(ui->CropAreaSlider->maximum());
}

void ArticoloStampaFotograficaFotoEditor::resizeEvent(QResizeEvent *event)
{
    refreshLoadedImage();
    QDialog::resizeEvent(event);
}
