// The catalogue records, declared once for the two bindings that carry them: the orders
// service sends them inside a print row, the catalogue service answers with them. Their
// children are qualified with the catalogue prefix (each binding's interface header sets
// the prodotti schema's namespace and elementForm). The prodotti library receives a
// product read by the orders binding, so both copies must keep one layout.

class prodotti__Carta
{
public:
    xsd__int id 1;
    std::string codice_carta `codice_carta` 1;
    std::string nome 1;
    struct soap *soap;
};

class prodotti__Formato
{
public:
    xsd__int id 1;
    std::string codice_formato `codice_formato` 1;
    std::string nome 1;
    xsd__int larghezza 1;
    xsd__int altezza 1;
    xsd__int dpi 1;
    struct soap *soap;
};

class prodotti__Reparto
{
public:
    xsd__int id 1;
    std::string nome 1;
    std::string percorso 1;
    std::string tipo 1;
    std::string canale_numero `canale_numero` 1;
    struct soap *soap;
};

class prodotti__Stampa
{
public:
    xsd__int id 1;
    std::string codice_stampa `codice_stampa` 1;
    std::string nome 1;
    std::string descrizione 1;
    xsd__boolean archiviato 1;
    prodotti__Carta *carta nullptr 1;
    prodotti__Formato *formato nullptr 1;
    prodotti__Reparto *reparto nullptr 1;
    float prezzo 1;
    struct soap *soap;
};
