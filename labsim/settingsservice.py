"""The settings-and-updates service (korvex2.php): the FTP server settings for the upload of
order files, and the latest update of a component of the program."""

from accountservice import authentication_type
from soapwire import BOOLEAN, INT, STRING, ComplexType, Field, Operation, Service, ServiceFault

KORVEX2_NS = "http://ws.korvex2.example/korvex2/"

# Components that the update service knows: 0 and 3 the program, 2 the catalogue data.
COMPONENTS = (0, 2, 3)


def build(lab):
    auth = authentication_type(KORVEX2_NS)
    ftp = ComplexType(KORVEX2_NS, "ImpostazioniServerFTP", [
        Field("host", STRING), Field("porta", INT), Field("cartella", STRING),
        Field("username", STRING), Field("password", STRING), Field("sovrascrivi", BOOLEAN),
        Field("passivo", BOOLEAN)])
    update = ComplexType(KORVEX2_NS, "Aggiornamento", [
        Field("componente", INT), Field("major", INT), Field("minor", INT), Field("build", INT),
        Field("url", STRING)])
    service = Service("korvex2", "korvex2.php", KORVEX2_NS, [("ns1", KORVEX2_NS)], auth)
    service.add_types(auth, ftp, update)

    def impostazioni_ftp(principal, value, db):
        s = lab.ftp_settings()
        return {"host": s["host"], "porta": s["port"], "cartella": s["folder"],
                "username": s["username"], "password": s["password"], "sovrascrivi": True,
                "passivo": True}

    def aggiornamento(principal, value, db):
        if value not in COMPONENTS:
            raise ServiceFault("Componente sconosciuto: %d" % value)
        u = lab.update_for(value)
        return {"componente": u["componente"], "major": u["major"], "minor": u["minor"],
                "build": u["build"], "url": u["url"]}

    service.add(Operation("ottieniImpostazioniServerFTP", None,
                          Field("ottieniImpostazioniServerFTPResponse", ftp, nillable=True),
                          impostazioni_ftp, auth=True))
    service.add(Operation("ottieniAggiornamento", Field("ottieniAggiornamentoRequest", INT),
                          Field("ottieniAggiornamentoResponse", update, nillable=True),
                          aggiornamento, auth=False))
    return service
