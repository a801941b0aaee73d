// Interface of the laboratory's settings-and-updates web service, input of soapcpp2: the
// FTP server settings of the logged-in customer and the latest update of a component.

//gsoap korvex2 service name: korvex2SOAP
//gsoap korvex2 service style: document
//gsoap korvex2 service encoding: literal
//gsoap korvex2 service namespace: http://ws.korvex2.example/korvex2/
//gsoap korvex2 service location: http://192.168.0.250/korvex2ws/korvex2.php
//gsoap korvex2 schema namespace: http://ws.korvex2.example/korvex2/
//gsoap korvex2 schema elementForm: unqualified
//gsoap korvex2 schema attributeForm: unqualified

//gsoap korvex2 service method-action: ottieniImpostazioniServerFTP http://ws.korvex2.example/korvex2/ottieniImpostazioniServerFTP
//gsoap korvex2 service method-action: ottieniAggiornamento http://ws.korvex2.example/korvex2/ottieniAggiornamento

#import "stl.h"
#import "lenient.h"

// Credentials sent in the request header.
class korvex2__Authentication
{
public:
    xsd__boolean isOperator 0;
    std::string username 1;
    std::string password 1;
    struct soap *soap;
};

struct SOAP_ENV__Header
{
    korvex2__Authentication *korvex2__Authentication_ 0;
};

// Where and how the customer's files are uploaded.
class korvex2__ImpostazioniServerFTP
{
public:
    std::string host 1;
    xsd__int porta 1;
    std::string cartella 1;
    std::string username 1;
    std::string password 1;
    xsd__boolean sovrascrivi 1;
    xsd__boolean passivo 1;
    struct soap *soap;
};

// The latest update of one component: its id, its version and where to download it.
class korvex2__Aggiornamento
{
public:
    xsd__int componente 1;
    xsd__int major 1;
    xsd__int minor 1;
    xsd__int build 1;
    std::string url 1;
    struct soap *soap;
};

struct korvex2__ottieniImpostazioniServerFTPResponse
{
    korvex2__ImpostazioniServerFTP *ottieniImpostazioniServerFTPResponse;
};

struct korvex2__ottieniAggiornamentoResponse
{
    korvex2__Aggiornamento *ottieniAggiornamentoResponse;
};

int korvex2__ottieniImpostazioniServerFTP(struct korvex2__ottieniImpostazioniServerFTPResponse &);
int korvex2__ottieniAggiornamento(xsd__int ottieniAggiornamentoRequest,
                                  struct korvex2__ottieniAggiornamentoResponse &);
