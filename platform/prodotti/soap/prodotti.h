// Interface of the laboratory's catalogue web service, input of soapcpp2: the one
// operation through which a print product is loaded by its id.

//gsoap prodotti service name: prodottiSOAP
//gsoap prodotti service style: document
//gsoap prodotti service encoding: literal
//gsoap prodotti service namespace: http://ws.korvex2.example/prodotti/
//gsoap prodotti service location: http://192.168.0.250/korvex2ws/prodotti.php
//gsoap prodotti schema namespace: http://ws.korvex2.example/prodotti/
//gsoap prodotti schema elementForm: qualified
//gsoap prodotti schema attributeForm: unqualified

//gsoap prodotti service method-action: ottieniStampa http://ws.korvex2.example/prodotti/ottieniStampa

#import "stl.h"
#import "lenient.h"

#import "prodottitypes.h"

// Credentials sent in the request header. The catalogue records are qualified; the
// header's children and the operation's child are not, as in the other services (the
// leading ":" keeps a member unqualified).
class prodotti__Authentication
{
public:
    xsd__boolean isOperator `:isOperator` 0;
    std::string username `:username` 1;
    std::string password `:password` 1;
    struct soap *soap;
};

struct SOAP_ENV__Header
{
    prodotti__Authentication *prodotti__Authentication_ 0;
};

// The answer holds the product, or no product (absent or nil) when the id is unknown.
struct prodotti__ottieniStampaResponse
{
    prodotti__Stampa *ottieniStampaResponse `:ottieniStampaResponse`;
};

int prodotti__ottieniStampa(xsd__int ottieniStampaRequest `:ottieniStampaRequest`,
                            struct prodotti__ottieniStampaResponse &);
