// Interface of the laboratory's account web service, input of soapcpp2.

//gsoap account service name: accountSOAP
//gsoap account service style: document
//gsoap account service encoding: literal
//gsoap account service namespace: http://ws.korvex2.example/account/
//gsoap account service location: http://192.168.0.250/korvex2ws/account.php
//gsoap account schema namespace: http://ws.korvex2.example/account/
//gsoap account schema elementForm: unqualified
//gsoap account schema attributeForm: unqualified

//gsoap account service method-action: listaUtenti http://ws.korvex2.example/account/listaUtenti
//gsoap account service method-action: inserisciUtente http://ws.korvex2.example/account/inserisciUtente
//gsoap account service method-action: modificaUtente http://ws.korvex2.example/account/modificaUtente
//gsoap account service method-action: esisteUtente http://ws.korvex2.example/account/esisteUtente
//gsoap account service method-action: cancellaUtente http://ws.korvex2.example/account/cancellaUtente
//gsoap account service method-action: listaOperatori http://ws.korvex2.example/account/listaOperatori
//gsoap account service method-action: inserisciOperatore http://ws.korvex2.example/account/inserisciOperatore
//gsoap account service method-action: modificaOperatore http://ws.korvex2.example/account/modificaOperatore
//gsoap account service method-action: esisteOperatore http://ws.korvex2.example/account/esisteOperatore
//gsoap account service method-action: cancellaOperatore http://ws.korvex2.example/account/cancellaOperatore
//gsoap account service method-action: prossimoCodiceUtente http://ws.korvex2.example/account/prossimoCodiceUtente
//gsoap account service method-action: prossimoCodiceOperatore http://ws.korvex2.example/account/prossimoCodiceOperatore
//gsoap account service method-action: incrementaCodiceUtente http://ws.korvex2.example/account/incrementaCodiceUtente
//gsoap account service method-action: incrementaCodiceOperatore http://ws.korvex2.example/account/incrementaCodiceOperatore
//gsoap account service method-action: login http://ws.korvex2.example/account/login
//gsoap account service method-action: recuperaPasswordUtente http://ws.korvex2.example/account/recuperaPasswordUtente
//gsoap account service method-action: registrazioneUtente http://ws.korvex2.example/account/registrazioneUtente

#import "stl.h"
#import "lenient.h"

#import "accounttypes.h"

class account__Authentication
{
public:
    xsd__boolean isOperator 0;
    std::string username 1;
    std::string password 1;
    struct soap *soap;
};

struct SOAP_ENV__Header
{
    account__Authentication *account__Authentication_ 0;
};

class account__listaUtentiRequestType
{
public:
    xsd__int offset 1;
    xsd__int length 1;
    std::string filter 1;
    std::string order 1;
    struct soap *soap;
};

class account__listaOperatoriRequestType
{
public:
    xsd__int offset 1;
    xsd__int length 1;
    std::string filter 1;
    std::string order 1;
    struct soap *soap;
};

class account__listaUtentiResponseType
{
public:
    std::vector<account__Utente*> Utenti 0;
    struct soap *soap;
};

class account__listaOperatoriResponseType
{
public:
    std::vector<account__Operatore*> Operatori 0;
    struct soap *soap;
};

class account__inserisciUtenteRequestType
{
public:
    account__Utente *Utente nullptr 1;
    struct soap *soap;
};

class account__modificaUtenteRequestType
{
public:
    account__Utente *Utente nullptr 1;
    struct soap *soap;
};

class account__inserisciOperatoreRequestType
{
public:
    account__Operatore *Operatore nullptr 1;
    struct soap *soap;
};

class account__modificaOperatoreRequestType
{
public:
    account__Operatore *Operatore nullptr 1;
    struct soap *soap;
};

class account__recuperaPasswordUtenteRequestType
{
public:
    std::string codice_recupero `codice_recupero` 1;
    std::string username 1;
    struct soap *soap;
};

class account__registrazioneUtenteRequestType
{
public:
    std::string username 1;
    std::string password 1;
    std::string nome 1;
    std::string cognome 1;
    std::string ragione_sociale `ragione_sociale` 1;
    std::string cap 1;
    std::string cf 1;
    std::string citta 1;
    std::string email 1;
    std::string fax 1;
    std::string indirizzo 1;
    std::string piva 1;
    std::string provincia 1;
    std::string tel_fisso `tel_fisso` 1;
    std::string tel_cell `tel_cell` 1;
    xsd__int notifiche 1;
    struct soap *soap;
};

struct account__listaUtentiResponse { account__listaUtentiResponseType *listaUtentiResponse; };
struct account__inserisciUtenteResponse { xsd__int inserisciUtenteResponse; };
struct account__modificaUtenteResponse { xsd__boolean modificaUtenteResponse; };
struct account__esisteUtenteResponse { xsd__boolean esisteUtenteResponse; };
struct account__cancellaUtenteResponse { xsd__boolean cancellaUtenteResponse; };
struct account__listaOperatoriResponse { account__listaOperatoriResponseType *listaOperatoriResponse; };
struct account__inserisciOperatoreResponse { xsd__int inserisciOperatoreResponse; };
struct account__modificaOperatoreResponse { xsd__boolean modificaOperatoreResponse; };
struct account__esisteOperatoreResponse { xsd__boolean esisteOperatoreResponse; };
struct account__cancellaOperatoreResponse { xsd__boolean cancellaOperatoreResponse; };
struct account__prossimoCodiceUtenteResponse { xsd__int prossimoCodiceUtenteResponse; };
struct account__prossimoCodiceOperatoreResponse { xsd__int prossimoCodiceOperatoreResponse; };
struct account__incrementaCodiceUtenteResponse { xsd__boolean incrementaCodiceUtenteResponse; };
struct account__incrementaCodiceOperatoreResponse { xsd__boolean incrementaCodiceOperatoreResponse; };
struct account__loginResponse { account__Account *loginResponse; };
struct account__recuperaPasswordUtenteResponse { xsd__boolean recuperaPasswordUtenteResponse; };
struct account__registrazioneUtenteResponse { xsd__int registrazioneUtenteResponse; };

int account__listaUtenti(account__listaUtentiRequestType *listaUtentiRequest, struct account__listaUtentiResponse &);
int account__inserisciUtente(account__inserisciUtenteRequestType *inserisciUtenteRequest, struct account__inserisciUtenteResponse &);
int account__modificaUtente(account__modificaUtenteRequestType *modificaUtenteRequest, struct account__modificaUtenteResponse &);
int account__esisteUtente(std::string esisteUtenteRequest, struct account__esisteUtenteResponse &);
int account__cancellaUtente(xsd__int cancellaUtenteRequest, struct account__cancellaUtenteResponse &);
int account__listaOperatori(account__listaOperatoriRequestType *listaOperatoriRequest, struct account__listaOperatoriResponse &);
int account__inserisciOperatore(account__inserisciOperatoreRequestType *inserisciOperatoreRequest, struct account__inserisciOperatoreResponse &);
int account__modificaOperatore(account__modificaOperatoreRequestType *modificaOperatoreRequest, struct account__modificaOperatoreResponse &);
int account__esisteOperatore(std::string esisteOperatoreRequest, struct account__esisteOperatoreResponse &);
int account__cancellaOperatore(xsd__int cancellaOperatoreRequest, struct account__cancellaOperatoreResponse &);
int account__prossimoCodiceUtente(struct account__prossimoCodiceUtenteResponse &);
int account__prossimoCodiceOperatore(struct account__prossimoCodiceOperatoreResponse &);
int account__incrementaCodiceUtente(struct account__incrementaCodiceUtenteResponse &);
int account__incrementaCodiceOperatore(struct account__incrementaCodiceOperatoreResponse &);
int account__login(account__Authentication *loginRequest, struct account__loginResponse &);
int account__recuperaPasswordUtente(account__recuperaPasswordUtenteRequestType *recuperaPasswordUtenteRequest, struct account__recuperaPasswordUtenteResponse &);
int account__registrazioneUtente(account__registrazioneUtenteRequestType *registrazioneUtenteRequest, struct account__registrazioneUtenteResponse &);
