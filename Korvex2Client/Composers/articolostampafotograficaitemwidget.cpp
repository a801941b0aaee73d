#include "articolostampafotograficaitemwidget.h"
#include "ui_articolostampafotograficaitemwidget.h"

#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyleOption>

#include "articolostampafotograficafotoprintmodel.h"
#include "imageutility.h"
#include "korvex2exception.h"

QList<OrdiniLocal::FormatoLocal> ArticoloStampaFotograficaItemWidget::m_formati;
QList<OrdiniLocal::CartaLocal> ArticoloStampaFotograficaItemWidget::m_carte;
const QString ArticoloStampaFotograficaItemWidget::m_errorBorder = QStringLiteral("#D41028");

// Keeps both combo connections detached while it lives; nested uses attach them again only
// when the outermost ends, also on the way out of an exception.
class ArticoloStampaFotograficaItemWidget::ComboSignalsDetached
{
public:
    explicit ComboSignalsDetached(ArticoloStampaFotograficaItemWidget *card)
        : m_card(card)
    {
        if (m_card->m_detachDepth++ == 0)
            m_card->disconnectComboSignals();
    }
    ~ComboSignalsDetached()
    {
        if (--m_card->m_detachDepth == 0)
            m_card->connectComboSignals();
    }
    Q_DISABLE_COPY(ComboSignalsDetached)

private:
    ArticoloStampaFotograficaItemWidget *m_card;
};

ArticoloStampaFotograficaItemWidget::ArticoloStampaFotograficaItemWidget(QWidget *parent)
    : QWidget(parent)
{
    init();
    OrdiniLocal::OrdineRigaStampaLocal riga;
    m_ordiniLocal.initOrdineRigaStampaLocal(riga);
    setOrdineRigaStampaLocal(riga, true);
    m_widgetId = -1;
}

ArticoloStampaFotograficaItemWidget::ArticoloStampaFotograficaItemWidget(OrdiniLocal::OrdineRigaStampaLocal &riga,
                                                                         QWidget *parent)
    : QWidget(parent)
{
    init();
    setOrdineRigaStampaLocal(riga, true);
    m_widgetId = -1;
}

ArticoloStampaFotograficaItemWidget::~ArticoloStampaFotograficaItemWidget() = default;

void ArticoloStampaFotograficaItemWidget::init()
{
    if (!ui) {
        ui = std::make_unique<Ui_ArticoloStampaFotograficaItemWidget>();
        ui->setupUi(this);
    }
    m_ordiniLocal.initStampaLocal(m_stampaLocal);
    m_ordiniLocal.initOrdineRigaStampaLocal(m_ordineRigaStampaLocal);
    m_carteMap.clear();
    m_formatiMap.clear();
    m_lastWarningType = 0;
    hideWarning(GenericWarning | StampaWarning | FileWarning);
    m_formatoSelected = false;
    m_cartaSelected = false;
    if (m_formati.isEmpty() || m_carte.isEmpty()) {
        m_formati = m_ordiniLocal.GetFormati();
        m_carte = m_ordiniLocal.GetCarte();
    }
    fillFormati(m_formati);
    fillCarte(m_carte);
}

int ArticoloStampaFotograficaItemWidget::idByName(const QMap<int, QString> &map, const QString &text)
{
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
        if (it.value() == text)
            return it.key();
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// The row and its print product

void ArticoloStampaFotograficaItemWidget::setOrdineRigaStampaLocal(OrdiniLocal::OrdineRigaStampaLocal &riga,
                                                                   bool emitSignal)
{
    m_ordineRigaStampaLocal = riga;
    try {
        setStampaLocal(m_ordineRigaStampaLocal.IdStampa, emitSignal);
    } catch (const Korvex2Exception &) {
        // A product the catalogue does not have leaves the combos blank; the row keeps its id.
    }
    ordineRigaStampaLocalToForm();
}

OrdiniLocal::OrdineRigaStampaLocal ArticoloStampaFotograficaItemWidget::ordineRigaStampaLocal() const
{
    return m_ordineRigaStampaLocal;
}

void ArticoloStampaFotograficaItemWidget::ordineRigaStampaLocalToForm()
{
    // Showing the row is no choice of the user: no combo or copies handler runs for it, so
    // that a row is never rewritten (or its product swapped) by being shown.
    ComboSignalsDetached detached(this);
    const QSignalBlocker blocker(ui->qta);
    ui->qta->setValue(m_ordineRigaStampaLocal.Qta);
    if (m_stampaLocal.formato.id < 1 || m_stampaLocal.carta.id < 1) {
        ui->formato->setCurrentIndex(-1);
        ui->carta->setCurrentIndex(-1);
        return;
    }
    ui->formato->setCurrentIndex(ui->formato->findText(m_formatiMap.value(m_stampaLocal.formato.id),
                                                       Qt::MatchExactly | Qt::MatchCaseSensitive));
    ui->carta->setCurrentIndex(ui->carta->findText(m_carteMap.value(m_stampaLocal.carta.id),
                                                   Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void ArticoloStampaFotograficaItemWidget::setStampaLocal(int idStampa, bool emitSignal)
{
    OrdiniLocal::StampaLocal stampa = m_ordiniLocal.StampaLocalFromDb(idStampa);
    if (stampa.id >= 1) {
        setStampaLocal(stampa, emitSignal);
        return;
    }
    stampa.id = idStampa;
    setStampaLocal(stampa, emitSignal);
    throw Korvex2Exception("", tr("La stampa richiesta non esiste nel database locale").toStdString());
}

void ArticoloStampaFotograficaItemWidget::setStampaLocal(OrdiniLocal::StampaLocal stampa, bool emitSignal)
{
    hideWarning(StampaWarning);
    const OrdiniLocal::StampaLocal old = m_stampaLocal;
    m_stampaLocal = stampa;
    setFormato(m_stampaLocal.formato);
    setCarta(m_stampaLocal.carta);
    m_ordineRigaStampaLocal.IdStampa = stampa.id;
    m_ordineRigaStampaLocal.Codice = stampa.codice;
    m_ordineRigaStampaLocal.Descrizione = stampa.descrizione;
    m_ordineRigaStampaLocal.Prezzo = stampa.prezzo;
    ordineRigaStampaLocalToForm();
    if (emitSignal && old.id > 0)
        emit stampaLocalChanged(m_widgetId, stampa, old);
}

OrdiniLocal::StampaLocal ArticoloStampaFotograficaItemWidget::stampaLocal() const
{
    return m_stampaLocal;
}

void ArticoloStampaFotograficaItemWidget::setFormato(OrdiniLocal::FormatoLocal formato)
{
    m_stampaLocal.formato = formato;
    const QPixmap photo(m_ordineRigaStampaLocal.FilePath);
    if (photo.isNull()) {
        if (ui->warningText->text() == tr("La stampa non è ottimale"))
            hideWarning(GenericWarning);
        return;
    }
    if (formato.colonna4 == 0)
        return;
    // The same rule as the print list's: longer side against longer, shorter against shorter.
    if (ArticoloStampaFotograficaFotoPrintModel::isImageTooSmall(photo.size(),
                                                                 QSize(formato.colonna3, formato.colonna4)))
        showWarning(tr("La stampa non è ottimale"), GenericWarning);
}

void ArticoloStampaFotograficaItemWidget::setFormato(int idFormato)
{
    if (idFormato < 1)
        return;
    const OrdiniLocal::FormatoLocal formato = OrdiniLocal().FormatoLocalFromDb(idFormato);
    if (formato.id < 1)
        throw Korvex2Exception("", tr("Il formato richiesto non esiste nel database locale").toStdString());
    setFormato(formato);
}

OrdiniLocal::FormatoLocal ArticoloStampaFotograficaItemWidget::formato() const
{
    return m_stampaLocal.formato;
}

void ArticoloStampaFotograficaItemWidget::setCarta(OrdiniLocal::CartaLocal carta)
{
    m_stampaLocal.carta = carta;
}

void ArticoloStampaFotograficaItemWidget::setCarta(int idCarta)
{
    if (idCarta < 1)
        return;
    const OrdiniLocal::CartaLocal carta = OrdiniLocal().CartaLocalFromDb(idCarta);
    if (carta.id < 1)
        throw Korvex2Exception("", tr("La carta richiesta non esiste nel database locale").toStdString());
    setCarta(carta);
}

OrdiniLocal::CartaLocal ArticoloStampaFotograficaItemWidget::carta() const
{
    return m_stampaLocal.carta;
}

void ArticoloStampaFotograficaItemWidget::setQta(int qta)
{
    if (qta > 0)
        m_ordineRigaStampaLocal.Qta = qta;
}

int ArticoloStampaFotograficaItemWidget::qta() const
{
    return m_ordineRigaStampaLocal.Qta;
}

void ArticoloStampaFotograficaItemWidget::setFilePath(QString path)
{
    const QFileInfo file(path);
    m_ordineRigaStampaLocal.FilePath = file.absoluteFilePath();
    m_ordineRigaStampaLocal.FileSize = file.exists() ? file.size() : 0;
}

QString ArticoloStampaFotograficaItemWidget::filePath() const
{
    return m_ordineRigaStampaLocal.FilePath;
}

void ArticoloStampaFotograficaItemWidget::setThumb(QPixmap thumb)
{
    if (!thumb.isNull())
        ui->thumb->setPixmap(thumb);
}

// ---------------------------------------------------------------------------------------------
// Combos

void ArticoloStampaFotograficaItemWidget::fillFormati(QList<OrdiniLocal::FormatoLocal> formati)
{
    ComboSignalsDetached detached(this);
    m_formatiMap.clear();
    ui->formato->clear();
    for (const OrdiniLocal::FormatoLocal &formato : formati) {
        m_formatiMap[formato.id] = formato.colonna2;
        ui->formato->addItem(m_formatiMap.value(formato.id));
    }
}

void ArticoloStampaFotograficaItemWidget::fillCarte(QList<OrdiniLocal::CartaLocal> carte)
{
    ComboSignalsDetached detached(this);
    m_carteMap.clear();
    ui->carta->clear();
    for (const OrdiniLocal::CartaLocal &carta : carte) {
        m_carteMap[carta.id] = carta.colonna2;
        ui->carta->addItem(m_carteMap.value(carta.id));
    }
}

void ArticoloStampaFotograficaItemWidget::connectComboSignals()
{
    connect(ui->formato, SIGNAL(currentIndexChanged(QString)), this, SLOT(on_formato_currentIndexChanged(QString)),
            Qt::UniqueConnection);
    connect(ui->carta, SIGNAL(currentIndexChanged(QString)), this, SLOT(on_carta_currentIndexChanged(QString)),
            Qt::UniqueConnection);
}

void ArticoloStampaFotograficaItemWidget::disconnectComboSignals()
{
    disconnect(ui->formato, SIGNAL(currentIndexChanged(QString)), this, SLOT(on_formato_currentIndexChanged(QString)));
    disconnect(ui->carta, SIGNAL(currentIndexChanged(QString)), this, SLOT(on_carta_currentIndexChanged(QString)));
}

// Looks the product of the two chosen entries up and adopts it (step shared by both combos).
void ArticoloStampaFotograficaItemWidget::lookUpStampa()
{
    if (ui->formato->currentIndex() < 0 || ui->carta->currentIndex() < 0)
        return;
    const OrdiniLocal::StampaLocal stampa =
        m_ordiniLocal.GetStampaByFormatoCarta(m_stampaLocal.formato.id, m_stampaLocal.carta.id);
    m_ordineRigaStampaLocal.FormatoDesc = stampa.formato.colonna2;
    m_ordineRigaStampaLocal.CartaDesc = stampa.carta.colonna2;
    setStampaLocal(stampa, true);
}

void ArticoloStampaFotograficaItemWidget::on_formato_currentIndexChanged(const QString &text)
{
    const QString cartaName = m_stampaLocal.carta.colonna2;
    const int id = idByName(m_formatiMap, text);
    if (id < 1)
        return;
    try {
        const OrdiniLocal::FormatoLocal formato = m_ordiniLocal.FormatoLocalFromDb(id);
        fillCarte(m_ordiniLocal.GetCarteByFormato(formato));
        ComboSignalsDetached detached(this);
        setFormato(formato);
        m_formatoSelected = true;
        if (!m_cartaSelected && !QFile::exists(m_ordineRigaStampaLocal.FilePath)) {
            ui->carta->setCurrentIndex(-1);
            showWarning(tr("Impostare la carta"), StampaWarning);
        } else {
            m_cartaSelected = false;
            const int keep = ui->carta->findText(cartaName, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (keep >= 0) {
                setCarta(idByName(m_carteMap, cartaName));
                ui->carta->setCurrentIndex(keep);
            } else {
                setCarta(idByName(m_carteMap, ui->carta->itemText(0)));
                ui->carta->setCurrentIndex(0);
            }
        }
        lookUpStampa();
    } catch (const Korvex2Exception &) {
        // What was set stays; the combos are attached again on the way out.
    }
}

void ArticoloStampaFotograficaItemWidget::on_carta_currentIndexChanged(const QString &text)
{
    const QString formatoName = m_stampaLocal.formato.colonna2;
    const int id = idByName(m_carteMap, text);
    if (id < 1)
        return;
    try {
        const OrdiniLocal::CartaLocal carta = m_ordiniLocal.CartaLocalFromDb(id);
        fillFormati(m_ordiniLocal.GetFormatiByCarta(carta));
        ComboSignalsDetached detached(this);
        setCarta(carta);
        m_cartaSelected = true;
        if (!m_formatoSelected && !QFile::exists(m_ordineRigaStampaLocal.FilePath)) {
            ui->formato->setCurrentIndex(-1);
        } else {
            const int keep = ui->formato->findText(formatoName, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (keep >= 0) {
                setFormato(idByName(m_formatiMap, formatoName));
                ui->formato->setCurrentIndex(keep);
            } else {
                setFormato(idByName(m_formatiMap, ui->formato->itemText(0)));
                ui->formato->setCurrentIndex(0);
            }
        }
        lookUpStampa();
    } catch (const Korvex2Exception &) {
    }
}

void ArticoloStampaFotograficaItemWidget::on_qta_valueChanged(int value)
{
    if (value > 0)
        m_ordineRigaStampaLocal.Qta = value;
}

// ---------------------------------------------------------------------------------------------
// Warnings

void ArticoloStampaFotograficaItemWidget::showWarning(QString message, WarningType type)
{
    m_lastWarningType = type;
    if (type != 0 && type != StampaWarning) {
        m_formatoSelected = false;
        m_cartaSelected = false;
    }
    if (!message.isEmpty()) {
        ui->widgetWarning->show();
        ui->warningText->setText(message);
    }
    if (type & StampaWarning) {
        ui->labelFormato->setStyleSheet(QStringLiteral("#labelFormato { color: #760000; }"));
        ui->labelCarta->setStyleSheet(QStringLiteral("#labelCarta { color: #760000; }"));
    }
    if (type & FileWarning)
        ui->thumb->setPixmap(QPixmap(QStringLiteral(":/Resource/128x128/broken-file-access.png")));
}

void ArticoloStampaFotograficaItemWidget::hideWarning(int types)
{
    if (types & GenericWarning)
        m_lastWarningType &= ~GenericWarning;
    if (types & StampaWarning) {
        m_lastWarningType &= ~StampaWarning;
        ui->labelFormato->setStyleSheet(QString());
        ui->labelCarta->setStyleSheet(QString());
    }
    if (types & FileWarning) {
        m_lastWarningType &= ~FileWarning;
        ui->thumb->setPixmap(QPixmap(QStringLiteral(":/Resource/256x256/photo.png")));
    }
    if (m_lastWarningType == 0)
        ui->widgetWarning->hide();
}

QString ArticoloStampaFotograficaItemWidget::warningMessage() const
{
    return ui->warningText->text();
}

int ArticoloStampaFotograficaItemWidget::getLastWarningType() const
{
    return m_lastWarningType;
}

void ArticoloStampaFotograficaItemWidget::paintEvent(QPaintEvent *event)
{
    if (m_lastWarningType != 0) {
        QPainter painter(this);
        painter.setPen(QPen(QColor(m_errorBorder), 1));
        painter.drawRect(1, 1, width() - 5, height() - 5);
        return;
    }
    // The card's own style sheet draws its frame and background.
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    QWidget::paintEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Buttons and the photo editor

void ArticoloStampaFotograficaItemWidget::on_pushButton_clicked()
{
    ArticoloStampaFotograficaFotoEditor *editor = nullptr;
    try {
        editor = new ArticoloStampaFotograficaFotoEditor(m_ordineRigaStampaLocal, nullptr);
    } catch (const Korvex2Exception &e) {
        // The editor could not read the catalogue: nothing opens and the row stays.
        QMessageBox box(QMessageBox::Warning, tr("Modifica Foto"), QString::fromStdString(e.message),
                        QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return;
    }
    editor->setWindowFlags(Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    connect(editor, SIGNAL(dataChanged(OrdiniLocal::OrdineRigaStampaLocal,QPixmap)), this,
            SLOT(on_editorDataChanged(OrdiniLocal::OrdineRigaStampaLocal,QPixmap)));
    editor->exec();
    delete editor;
}

void ArticoloStampaFotograficaItemWidget::on_editorDataChanged(OrdiniLocal::OrdineRigaStampaLocal riga,
                                                               QPixmap thumb)
{
    m_ordineRigaStampaLocal = riga;
    setOrdineRigaStampaLocal(riga, true);
    if (thumb.isNull())
        return;
    const QSize size = imageUtility::calculateThumbSize(thumb.size(), ui->thumb->size());
    const QPixmap scaled = thumb.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!scaled.isNull())
        ui->thumb->setPixmap(scaled);
}

void ArticoloStampaFotograficaItemWidget::on_pushButtonAddCopy_clicked()
{
    emit duplicate(m_ordineRigaStampaLocal);
}

void ArticoloStampaFotograficaItemWidget::on_pushButtonRemove_clicked()
{
    const auto answer = QMessageBox::question(this, tr("Rimuovi Stampa"), tr("Desideri rimuovere la stampa selezionata?"),
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Yes)
        emit remove(m_widgetId);
}
