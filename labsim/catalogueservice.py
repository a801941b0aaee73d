"""The catalogue service (prodotti.php): one print product by its id."""

from accountservice import authentication_type
from orderservice import PRODOTTI_NS, catalogue_types
from soapwire import INT, Field, Operation, Service


def build(lab):
    stampa, carta, formato, reparto = catalogue_types(PRODOTTI_NS)
    auth = authentication_type(PRODOTTI_NS)
    service = Service("prodotti", "prodotti.php", PRODOTTI_NS, [("ns1", PRODOTTI_NS)], auth)
    service.add_types(stampa, carta, formato, reparto, auth)

    def ottieni_stampa(principal, value, db):
        # An unknown product is answered with no product at all.
        return lab.catalogue.stampa(value)

    service.add(Operation("ottieniStampa", Field("ottieniStampaRequest", INT),
                          Field("ottieniStampaResponse", stampa, nillable=True), ottieni_stampa,
                          auth=True))
    return service
