#include <QtTest>

#include <functional>
#include <string>

#include "file.h"
#include "ordine.h"
#include "ordinerigafile.h"
#include "ordinerigastampa.h"
#include "ordinitestsupport.h"

using namespace ordinitest;

namespace {

// What one failing call reported, and whether the object kept its data.
struct Outcome
{
    bool threw = false;
    bool ownClass = false; // thrown as the class's own exception
    std::string code;
    std::string message;
    bool unchanged = true;
};

template <class E, class Call> Outcome expectThrow(Call call)
{
    Outcome outcome;
    try {
        call();
    } catch (const E &e) {
        outcome.threw = true;
        outcome.ownClass = true;
        outcome.code = e.code;
        outcome.message = e.message;
    } catch (const Korvex2Exception &e) {
        outcome.threw = true;
        outcome.code = e.code;
        outcome.message = e.message;
    }
    return outcome;
}

using Operation = std::function<Outcome()>;

// Row operations of one row class: the row starts with a guid that no failure may change.
template <class Row, class E> Operation rowOperation(bool (Row::*method)())
{
    return [method]() {
        Ordine ordine(nullptr);
        ordine.Setguid("o-1");
        Row riga(&ordine);
        riga.Setguid("r-1");
        riga.codice_articolo = "A1";
        Outcome outcome = expectThrow<E>([&]() { (riga.*method)(); });
        outcome.unchanged = riga.Getguid() == "r-1" && riga.codice_articolo == "A1";
        return outcome;
    };
}

Operation fileOperation(const std::function<void(File &)> &call)
{
    return [call]() {
        File file;
        file.Setid("f-1");
        file.dimensione = 5000000000LL;
        file.nome_file = "a.jpg";
        Outcome outcome = expectThrow<File::FileException>([&]() { call(file); });
        outcome.unchanged = file.Getid() == "f-1" && file.dimensione == 5000000000LL
            && file.nome_file == "a.jpg";
        return outcome;
    };
}

Operation orderOperation(const std::function<void(Ordine &)> &call)
{
    return [call]() {
        Ordine ordine(nullptr);
        ordine.Setguid("o-1");
        ordine.stato = 3;
        ordine.note = "nota";
        const time_t changed = ordine.data_ultima_modifica = 1000;
        Outcome outcome = expectThrow<Ordine::OrdineException>([&]() { call(ordine); });
        outcome.unchanged = ordine.Getguid() == "o-1" && ordine.stato == 3 && ordine.note == "nota"
            && ordine.data_ultima_modifica == changed;
        return outcome;
    };
}

struct OperationCase
{
    const char *name;
    Operation run;
    const char *unknownCode;  // the code of the unknown-error text
    bool endOfInputIsUnknown; // an exchange without an answer gives the unknown-error text
};

QList<OperationCase> operations()
{
    return {
        {"File::inserisci", fileOperation([](File &f) { f.inserisci(); }), "", false},
        {"File::modifica", fileOperation([](File &f) { f.modifica(); }), "", false},
        {"File::cancella", fileOperation([](File &f) { f.cancella(); }), "", false},
        {"File::listaSQL", fileOperation([](File &f) { f.listaSQL(0, 10, "", "", ""); }), "", false},
        {"File::init", fileOperation([](File &f) { f.init("f-2"); }), "", false},
        {"File::lista", fileOperation([](File &f) { f.lista({{"nome_file", "a%"}}); }), "", false},
        {"OrdineRiga::inserisci", rowOperation<OrdineRiga, OrdineRiga::OrdineRigaException>(&OrdineRiga::inserisci), "", false},
        {"OrdineRiga::modifica", rowOperation<OrdineRiga, OrdineRiga::OrdineRigaException>(&OrdineRiga::modifica), "", false},
        {"OrdineRiga::cancella", rowOperation<OrdineRiga, OrdineRiga::OrdineRigaException>(&OrdineRiga::cancella), "", false},
        {"OrdineRigaFile::inserisci", rowOperation<OrdineRigaFile, OrdineRigaFile::OrdineRigaFileException>(&OrdineRigaFile::inserisci), "", false},
        {"OrdineRigaFile::modifica", rowOperation<OrdineRigaFile, OrdineRigaFile::OrdineRigaFileException>(&OrdineRigaFile::modifica), "", false},
        {"OrdineRigaFile::cancella", rowOperation<OrdineRigaFile, OrdineRigaFile::OrdineRigaFileException>(&OrdineRigaFile::cancella), "", false},
        {"OrdineRigaStampa::inserisci", rowOperation<OrdineRigaStampa, OrdineRigaStampa::OrdineRigaStampaException>(&OrdineRigaStampa::inserisci), "", false},
        {"OrdineRigaStampa::modifica", rowOperation<OrdineRigaStampa, OrdineRigaStampa::OrdineRigaStampaException>(&OrdineRigaStampa::modifica), "", false},
        {"OrdineRigaStampa::cancella", rowOperation<OrdineRigaStampa, OrdineRigaStampa::OrdineRigaStampaException>(&OrdineRigaStampa::cancella), "", false},
        {"Ordine::inserisci", orderOperation([](Ordine &o) { o.inserisci(); }), "", false},
        {"Ordine::modifica", orderOperation([](Ordine &o) { o.modifica(); }), "GSOAP200", true},
        {"Ordine::cancella", orderOperation([](Ordine &o) { o.cancella(); }), "", false},
        {"Ordine::listaSQL", orderOperation([](Ordine &o) { o.listaSQL(0, 10, "", ""); }), "", false},
        {"Ordine::lista", orderOperation([](Ordine &o) { o.lista({{"note", "x"}}); }), "", false},
        {"Ordine::init", orderOperation([](Ordine &o) { o.init("o-2"); }), "", false},
        {"Ordine::listaIntestazioni", orderOperation([](Ordine &o) { o.listaIntestazioni("u", "", 0, 0, "", "", {}, 0, 0, ""); }), "", false},
        {"Ordine::impostaStato", orderOperation([](Ordine &o) { o.impostaStato(static_cast<Ordini::StatoOrdine>(8)); }), "GSOAP200", true},
        {"Ordine::listaEtichetteStatiOrdine", orderOperation([](Ordine &o) { o.listaEtichetteStatiOrdine(); }), "0000", true},
    };
}

enum class Failure { Fault, HtmlWith200, WrongWrapper, Http500, EarlyClose, RefusedPort };

} // namespace

Q_DECLARE_METATYPE(Failure)

class TestOrdiniFailures : public QObject
{
    Q_OBJECT

private slots:
    void failedCall_data();
    void failedCall();

private:
    SoapTestServer m_server;
};

void TestOrdiniFailures::failedCall_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QString>("code");     // "*" for the runtime's own failures
    QTest::addColumn<QString>("message");  // "*": any text but the unknown-error one

    const QList<OperationCase> cases = operations();
    for (int i = 0; i < cases.size(); ++i) {
        const OperationCase &op = cases[i];
        const QString unknownCode = QString::fromLatin1(op.unknownCode);
        const QString unknown = QString::fromUtf8(unknownError);
        auto row = [&](const char *failureName) {
            return &QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(op.name), QLatin1String(failureName))));
        };
        *row("fault") << i << Failure::Fault << "SOAP-ENV:Server" << "Ordine bloccato";
        *row("html page with 200") << i << Failure::HtmlWith200 << unknownCode << unknown;
        *row("wrong wrapper") << i << Failure::WrongWrapper << "*" << "*";
        *row("HTTP 500 page") << i << Failure::Http500 << "*" << "*";
        if (op.endOfInputIsUnknown)
            *row("early close") << i << Failure::EarlyClose << unknownCode << unknown;
        else
            *row("early close") << i << Failure::EarlyClose << "*" << "*";
        *row("refused port") << i << Failure::RefusedPort << "*" << "*";
    }
}

void TestOrdiniFailures::failedCall()
{
    QFETCH(int, operation);
    QFETCH(Failure, failure);
    QFETCH(QString, code);
    QFETCH(QString, message);

    m_server.clear();
    setOrdini(baseUrlOf(m_server), "utente", "segreta");
    SoapTestServer::Reply reply;
    switch (failure) {
    case Failure::Fault:
        reply.status = 500;
        reply.body = soapFault("SOAP-ENV:Server", "Ordine bloccato");
        break;
    case Failure::HtmlWith200:
        reply.contentType = "text/html";
        reply.body = "<html><head><title>Manutenzione</title></head><body><p>Torniamo presto</p></body></html>";
        break;
    case Failure::WrongWrapper:
        reply.body = answer("<ordini:altraOperazioneResponse><x>1</x></ordini:altraOperazioneResponse>");
        break;
    case Failure::Http500:
        reply.status = 500;
        reply.contentType = "text/html";
        reply.body = "<html><body>Internal Server Error</body></html>";
        break;
    case Failure::EarlyClose:
        reply.closeAfterBytes = 0;
        break;
    case Failure::RefusedPort:
        setOrdini(refusedBaseUrl());
        break;
    }
    m_server.enqueue(reply);

    const Outcome outcome = operations().at(operation).run();
    QVERIFY2(outcome.threw, "the call did not fail");
    QVERIFY2(outcome.ownClass, "not the class's own exception");
    if (code == QLatin1String("*")) {
        QCOMPARE(QString::fromStdString(outcome.code), QStringLiteral("SOAP-ENV:Client"));
    } else {
        QCOMPARE(QString::fromStdString(outcome.code), code);
    }
    if (message == QLatin1String("*")) {
        QVERIFY(!outcome.message.empty());
        QVERIFY(outcome.message != unknownError);
    } else {
        QCOMPARE(QString::fromStdString(outcome.message), message);
    }
    QVERIFY2(outcome.unchanged, "the object's data changed");
    if (failure != Failure::RefusedPort)
        QCOMPARE(m_server.requestCount(), 1);
}

QTEST_GUILESS_MAIN(TestOrdiniFailures)
#include "tst_ordinifailures.moc"
