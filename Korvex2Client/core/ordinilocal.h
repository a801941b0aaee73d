#pragma once

#include <QDateTime>
#include <QList>
#include <QRectF>
#include <QSqlDatabase>
#include <QString>

class QXmlStreamReader;

// The customer's local orders and the local print catalogue.
//
// The records are plain values. The order file operations and the record helpers use no
// state of the object; the catalogue queries read through the object's handle on the
// shared catalogue connection (KorvexGlobals::db) on the application's thread, or on a
// connection of the calling thread's own on any other, re-validated before every query.
// Failures of the catalogue queries and of FromXML are thrown as Korvex2Exception with an
// empty code.
class OrdiniLocal
{
public:
    struct StampaLocalTransformation
    {
        int Type = 0; // 1 fit the whole image, 2 crop to CropRect, 0 none chosen
        QRectF CropRect;
    };

    struct OrdineRigaFileLocal
    {
        QString WsFileId;
        QString Codice;
        QString Descrizione;
        int TipoRiga = 1;
        QString FilePath;
        qint64 FileSize = 0;
        bool Inviata = false;
    };

    struct OrdineRigaStampaLocal
    {
        QString WsFileId;
        QString Codice;
        QString Descrizione;
        double Prezzo = 0;
        int TipoRiga = 2;
        QString FilePath;
        qint64 FileSize = 0;
        int IdStampa = 0;
        StampaLocalTransformation Transformation;
        QString FormatoDesc;
        QString CartaDesc;
        int Qta = 1;
        bool Inviata = false;
    };

    struct OrdineLocal
    {
        QString Uuid;
        bool Attivo = false;
        qint32 Utente = 0;
        QString WsId;
        QDateTime Data;
        QDateTime DataUltimaModifica;
        bool Inviato = false;
        QList<OrdineRigaFileLocal> righeFile;
        QList<OrdineRigaStampaLocal> righeStampa;
        QString Note;
        QString ClienteFinale;
        qint32 Priorita = -1;
        double Spedizione = 0;
    };

    struct FormatoLocal
    {
        int id = 0;
        QString colonna1;
        QString colonna2; // name shown to the user
        int colonna3 = 0; // width in pixels
        int colonna4 = 0; // height in pixels
        int colonna5 = 0; // dots per inch
    };

    struct CartaLocal
    {
        int id = 0;
        QString colonna1;
        QString colonna2; // name shown to the user
    };

    struct StampaLocal
    {
        int id = 0;
        QString codice;
        FormatoLocal formato;
        CartaLocal carta;
        QString colonna4;
        QString descrizione;
        double prezzo = 0;
    };

    OrdiniLocal();
    ~OrdiniLocal();

    // Records
    void initOrdineLocal(OrdineLocal &ordine);
    void initOrdineRigaStampaLocal(OrdineRigaStampaLocal &riga);
    void initStampaLocalTransformation(StampaLocalTransformation &transformation);
    int ordineType(OrdineLocal ordine);
    double ordineTotalPrice(OrdineLocal ordine);

    // Order files
    QString ToXML(OrdineLocal ordine);
    // Writes the order file atomically (a temporary file renamed over the old one); gives
    // the order a new Uuid first when it has none. An empty folder selects the orders
    // folder (KorvexGlobals::ordersQueuePath()). Returns false when nothing was written,
    // also when a text holds a character that an XML file cannot carry; *error, when given,
    // then holds the reason as text for the user.
    bool SaveXML(OrdineLocal &ordine, QString folder = QString(), QString *error = nullptr);
    // Removes the order file; true when a file was removed. When a file is there and could
    // not be removed, *error, when given, holds the reason (empty otherwise).
    bool DeleteXML(OrdineLocal ordine, QString folder = QString(), QString *error = nullptr);
    // Throws Korvex2Exception with the XML reader's error text when the text is not a
    // whole, well-formed document; never returns a partly read order.
    OrdineLocal FromXML(QString xml);
    void parseOrdineXmlElement(QXmlStreamReader &reader, OrdineLocal &ordine);
    void parseRigaOrdineXmlElement(QXmlStreamReader &reader, OrdineLocal &ordine);
    QString readCharacters(QXmlStreamReader &reader);

    // Catalogue
    void initDb();
    // The catalogue file that the connections of the calling thread open from now on, when
    // it is not the application's thread (there it does nothing). The upload worker names
    // the file it copied when it was made: it never reads KorvexGlobals::SqlDbHost, which
    // the GUI thread may change meanwhile. Without it, a thread's connection opens the file
    // KorvexGlobals::SqlDbHost names.
    static void setThreadCatalogueFile(const QString &path);
    StampaLocal StampaLocalFromDb(int idStampa);
    FormatoLocal FormatoLocalFromDb(int idFormato);
    CartaLocal CartaLocalFromDb(int idCarta);
    StampaLocal GetStampaByFormatoCarta(int idFormato, int idCarta);
    bool StampaLocalExistInDb(int idStampa);
    QList<CartaLocal> GetCarteByFormato(FormatoLocal formato);
    QList<FormatoLocal> GetFormatiByCarta(CartaLocal carta);
    QList<CartaLocal> GetCarte();
    QList<FormatoLocal> GetFormati();
    void initStampaLocal(StampaLocal &stampa);
    void initFormatoLocal(FormatoLocal &formato);
    void initCartaLocal(CartaLocal &carta);

    QSqlDatabase db;

private:
    void revalidateDb();
};
