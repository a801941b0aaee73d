// Interface of the laboratory's orders web service, input of soapcpp2.

//gsoap account schema namespace: http://ws.korvex2.example/account/
//gsoap account schema elementForm: qualified
//gsoap account schema attributeForm: unqualified

//gsoap prodotti schema namespace: http://ws.korvex2.example/prodotti/
//gsoap prodotti schema elementForm: qualified
//gsoap prodotti schema attributeForm: unqualified

//gsoap ordini service name: ordiniSOAP
//gsoap ordini service style: document
//gsoap ordini service encoding: literal
//gsoap ordini service namespace: http://ws.korvex2.example/ordini/
//gsoap ordini service location: http://192.168.0.250/korvex2ws/ordini.php
//gsoap ordini schema namespace: http://ws.korvex2.example/ordini/
//gsoap ordini schema elementForm: unqualified
//gsoap ordini schema attributeForm: unqualified

//gsoap ordini service method-action: inserisciFile http://ws.korvex2.example/ordini/inserisciFile
//gsoap ordini service method-action: modificaFile http://ws.korvex2.example/ordini/modificaFile
//gsoap ordini service method-action: cancellaFile http://ws.korvex2.example/ordini/cancellaFile
//gsoap ordini service method-action: listaFile http://ws.korvex2.example/ordini/listaFile
//gsoap ordini service method-action: inserisciRigaOrdine http://ws.korvex2.example/ordini/inserisciRigaOrdine
//gsoap ordini service method-action: modificaRigaOrdine http://ws.korvex2.example/ordini/modificaRigaOrdine
//gsoap ordini service method-action: cancellaRigaOrdine http://ws.korvex2.example/ordini/cancellaRigaOrdine
//gsoap ordini service method-action: inserisciOrdine http://ws.korvex2.example/ordini/inserisciOrdine
//gsoap ordini service method-action: modificaOrdine http://ws.korvex2.example/ordini/modificaOrdine
//gsoap ordini service method-action: cancellaOrdine http://ws.korvex2.example/ordini/cancellaOrdine
//gsoap ordini service method-action: listaOrdini http://ws.korvex2.example/ordini/listaOrdini
//gsoap ordini service method-action: listaOrdiniIntestazione http://ws.korvex2.example/ordini/listaOrdiniIntestazione
//gsoap ordini service method-action: listaStatiOrdine http://ws.korvex2.example/ordini/listaStatiOrdine
//gsoap ordini service method-action: impostaStatoOrdine http://ws.korvex2.example/ordini/impostaStatoOrdine

#import "stl.h"
#import "lenient.h"

#import "accounttypes.h"
#import "prodottitypes.h"

// Credentials sent in the request header.
class ordini__Authentication
{
public:
    xsd__boolean isOperator 0;
    std::string username 1;
    std::string password 1;
    struct soap *soap;
};

// A file record of the service.
class ordini__File
{
public:
    std::string id 1;
    xsd__long dimensione 1;
    std::string percorso 1;
    xsd__boolean scaricato 1;
    std::string nome_file `nome_file` 1;
    std::string nome_file_scaricato `nome_file_scaricato` 1;
    xsd__boolean compresso 1;
    struct soap *soap;
};

// Selection of a file or order listing.
class ordini__listaRequestType
{
public:
    xsd__int offset 1;
    xsd__int length 1;
    std::string filter 1;
    std::string order 1;
    std::string guid 1;
    struct soap *soap;
};

class ordini__listaFileResponseType
{
public:
    std::vector<ordini__File*> Files 0;
    struct soap *soap;
};

class ordini__Ordine;

// Order rows as the service returns them; the two kinds extend the plain row.
class ordini__OrdineRiga
{
public:
    ordini__Ordine *ordine nullptr 1;
    std::string id 1;
    std::string codice_articolo `codice_articolo` 1;
    std::string descrizione 1;
    float prezzo 1;
    xsd__int quantita 1;
    xsd__int tipo_riga `tipo_riga` 1;
    struct soap *soap;
};

class ordini__OrdineRigaFile : public ordini__OrdineRiga
{
public:
    ordini__File *file nullptr 1;
};

class ordini__OrdineRigaStampa : public ordini__OrdineRiga
{
public:
    ordini__File *file nullptr 1;
    prodotti__Stampa *stampa nullptr 1;
};

// An order as the service returns it.
class ordini__Ordine
{
public:
    std::string id 1;
    std::string cliente_finale `cliente_finale` 1;
    time_t data 1;
    std::string note 1;
    xsd__int numero 1;
    xsd__int stato 1;
    account__Utente *utente nullptr 1;
    std::vector<ordini__OrdineRiga*> righe_ordine `righe_ordine` 0;
    time_t data_ultima_modifica `data_ultima_modifica` 1;
    float spedizione 1;
    float totale 1;
    struct soap *soap;
};

// Order rows as the client sends them; the kind of a row is told by its XML type.
class ordini__OrdineRigaRequest
{
public:
    std::string id_ordine `id_ordine` 1;
    std::string id 1;
    std::string codice_articolo `codice_articolo` 1;
    std::string descrizione 1;
    float prezzo 1;
    xsd__int quantita 1;
    struct soap *soap;
};

class ordini__OrdineRigaFileRequest : public ordini__OrdineRigaRequest
{
public:
    std::string id_file `id_file` 1;
};

class ordini__OrdineRigaStampaRequest : public ordini__OrdineRigaRequest
{
public:
    std::string id_file `id_file` 1;
    xsd__int id_stampa `id_stampa` 1;
};

class ordini__RigaOrdineRequestType
{
public:
    std::vector<ordini__OrdineRigaRequest*> OrdineRigaRequest 1;
    struct soap *soap;
};

class ordini__listaOrdiniResponseType
{
public:
    std::vector<ordini__Ordine*> Ordini 0;
    struct soap *soap;
};

// An order as the client sends it.
class ordini__OrdineRequest
{
public:
    xsd__int id_utente `id_utente` 1;
    std::string id 1;
    std::string cliente_finale `cliente_finale` 1;
    time_t data 1;
    std::string note 1;
    xsd__int numero 1;
    xsd__int stato 1;
    std::vector<ordini__OrdineRigaRequest*> righe_ordine `righe_ordine` 0;
    struct soap *soap;
};

class ordini__OrdineRequestType
{
public:
    ordini__OrdineRequest *OrdineRequest nullptr 1;
    struct soap *soap;
};

// Selection of the order-header listing.
class ordini__listaOrdiniIntestazioneRequestType
{
public:
    std::string username 1;
    std::string cliente 1;
    std::string endUser 1;
    xsd__int numeroDa 1;
    xsd__int numeroA 1;
    std::string dataDa 1;
    std::string dataA 1;
    std::vector<xsd__int> stati 0;
    xsd__int limiteDa 1;
    xsd__int limiteA 1;
    struct soap *soap;
};

class ordini__StatoOrdine
{
public:
    xsd__int stato 1;
    std::string label 1;
    struct soap *soap;
};

class ordini__listaStatiOrdineResponseType
{
public:
    std::vector<ordini__StatoOrdine*> statiOrdine 0;
    struct soap *soap;
};

class ordini__impostaStatoOrdineRequestType
{
public:
    std::string IdOrdine 1;
    xsd__int Stato 1;
    struct soap *soap;
};

struct SOAP_ENV__Header
{
    ordini__Authentication *ordini__Authentication_ 0;
};

struct ordini__inserisciFileResponse { std::string inserisciFileResponse; };
struct ordini__modificaFileResponse { xsd__boolean modificaFileResponse; };
struct ordini__cancellaFileResponse { xsd__boolean cancellaFileResponse; };
struct ordini__listaFileResponse { ordini__listaFileResponseType *listaFileResponse; };
struct ordini__inserisciRigaOrdineResponse { std::string inserisciRigaOrdineResponse; };
struct ordini__modificaRigaOrdineResponse { xsd__boolean modificaRigaOrdineResponse; };
struct ordini__cancellaRigaOrdineResponse { xsd__boolean cancellaRigaOrdineResponse; };
struct ordini__inserisciOrdineResponse { std::string inserisciOrdineResponse; };
struct ordini__modificaOrdineResponse { xsd__boolean modificaOrdineResponse; };
struct ordini__cancellaOrdineResponse { xsd__boolean cancellaOrdineResponse; };
struct ordini__listaOrdiniResponse { ordini__listaOrdiniResponseType *listaOrdiniResponse; };
struct ordini__listaOrdiniIntestazioneResponse { ordini__listaOrdiniResponseType *listaOrdiniIntestazioneResponse; };
struct ordini__listaStatiOrdineResponse { ordini__listaStatiOrdineResponseType *listaStatiOrdineResponse; };
struct ordini__impostaStatoOrdineResponse { xsd__boolean impostaStatoOrdineResponse; };

int ordini__inserisciFile(ordini__File *inserisciFileRequest, struct ordini__inserisciFileResponse &);
int ordini__modificaFile(ordini__File *modificaFileRequest, struct ordini__modificaFileResponse &);
int ordini__cancellaFile(std::string cancellaFileRequest, struct ordini__cancellaFileResponse &);
int ordini__listaFile(ordini__listaRequestType *listaFileRequest, struct ordini__listaFileResponse &);
int ordini__inserisciRigaOrdine(ordini__RigaOrdineRequestType *inserisciRigaOrdineRequest, struct ordini__inserisciRigaOrdineResponse &);
int ordini__modificaRigaOrdine(ordini__RigaOrdineRequestType *modificaRigaOrdineRequest, struct ordini__modificaRigaOrdineResponse &);
int ordini__cancellaRigaOrdine(std::string cancellaRigaOrdineRequest, struct ordini__cancellaRigaOrdineResponse &);
int ordini__inserisciOrdine(ordini__OrdineRequestType *inserisciOrdineRequest, struct ordini__inserisciOrdineResponse &);
int ordini__modificaOrdine(ordini__OrdineRequestType *modificaOrdineRequest, struct ordini__modificaOrdineResponse &);
int ordini__cancellaOrdine(std::string cancellaOrdineRequest, struct ordini__cancellaOrdineResponse &);
int ordini__listaOrdini(ordini__listaRequestType *listaOrdiniRequest, struct ordini__listaOrdiniResponse &);
int ordini__listaOrdiniIntestazione(ordini__listaOrdiniIntestazioneRequestType *listaOrdiniIntestazioneRequest, struct ordini__listaOrdiniIntestazioneResponse &);
int ordini__listaStatiOrdine(struct ordini__listaStatiOrdineResponse &);
int ordini__impostaStatoOrdine(ordini__impostaStatoOrdineRequestType *impostaStatoOrdineRequest, struct ordini__impostaStatoOrdineResponse &);
