#include "articoloinviofilecomposertest.h"

#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUuid>

#include "korvexglobals.h"
#include "ordinilocal.h"
#include "ordineupload.h"
#include "ui_articoloinviofilecomposertest.h"
#include "utente.h"

ArticoloInvioFileComposerTest::ArticoloInvioFileComposerTest(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ArticoloInvioFileComposerTest)
{
    ui->setupUi(this);
}

ArticoloInvioFileComposerTest::~ArticoloInvioFileComposerTest()
{
    delete ui;
}

void ArticoloInvioFileComposerTest::on_addFile_clicked()
{
    const QStringList files = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Seleziona uno o più file da aggiungere"), QString(),
        QStringLiteral("Images (*.png *.xpm *.jpg);;Photoshop (*.psd);;Archivi Compressi (*.zip *.rar *.7z)"));
    for (const QString &file : files)
        ui->listWidget->addItem(file);
}

void ArticoloInvioFileComposerTest::on_sendOrder_clicked()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::processEvents();
    OrdiniLocal ordiniLocal;

    OrdiniLocal::OrdineLocal ordine;
    ordine.Uuid = QUuid::createUuid().toString();
    ordine.Attivo = true;
    ordine.Utente = KorvexGlobals::utente ? KorvexGlobals::utente->Getid() : 0;
    ordine.WsId = QString();
    ordine.Data = QDateTime::currentDateTime();
    ordine.DataUltimaModifica = ordine.Data;
    ordine.Inviato = false;
    ordine.Note = QString();
    ordine.ClienteFinale = QString();
    ordine.Priorita = -1;
    ordine.Spedizione = 0;

    QStringList missing;
    for (int i = 0; i < ui->listWidget->count(); ++i) {
        const QString path = ui->listWidget->item(i)->text();
        const QFileInfo file(path);
        if (!file.exists() || !file.isFile()) {
            missing << path;
            continue;
        }
        OrdiniLocal::OrdineRigaFileLocal riga;
        riga.WsFileId = QString();
        riga.Codice = QStringLiteral("artfile");
        riga.Descrizione = tr("Invio File");
        riga.TipoRiga = 1;
        riga.FilePath = path;
        riga.FileSize = file.size();
        riga.Inviata = false;
        ordine.righeFile.append(riga);
    }
    QApplication::restoreOverrideCursor();

    if (!missing.isEmpty()) {
        QMessageBox::warning(this, tr("File non trovati"),
                             tr("Questi file non esistono più e non faranno parte dell'ordine:") + QStringLiteral("\r\n\r\n")
                                 + missing.join(QStringLiteral("\r\n")));
    }
    if (ordine.righeFile.isEmpty()) {
        QMessageBox::warning(this, tr("Ordine vuoto"), tr("L'ordine non contiene file da inviare: non è stato salvato."));
        return;
    }

    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, tr("Ordine in coda"),
        tr("Desideri mettere questo ordine in coda per l'invio?\r\n\r\nSe scegli 'No', puoi abilitare l'invio "
           "dell'ordine in un secondo momento"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    ordine.Attivo = answer == QMessageBox::Yes;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::processEvents();
    QString error;
    const bool written = ordiniLocal.SaveXML(ordine, QString(), &error);
    QApplication::restoreOverrideCursor();
    if (!written) {
        QMessageBox::warning(this, tr("Ordine non salvato"),
                             tr("Impossibile salvare l'ordine.") + QStringLiteral("\r\n\r\n") + error);
        return;
    }
    if (KorvexGlobals::ordineUpload) {
        KorvexGlobals::ordineUpload->append(ordine);
        KorvexGlobals::ordineUpload->startUpload();
    }
    accept();
}
