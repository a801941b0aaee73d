// The program's own service clients against the simulator: what the account, orders,
// catalogue and settings clients write is accepted, what the simulator answers reads back
// whole, and the FTP client uploads where the settings service says.

#include "labsimulator.h"

#include "aggiornamento.h"
#include "anagrafica.h"
#include "ftpcourier.h"
#include "impostazione.h"
#include "korvex2.h"
#include "file.h"
#include "ordine.h"
#include "ordinerigafile.h"
#include "ordinerigastampa.h"
#include "ordini.h"
#include "prodotti.h"
#include "stampa.h"
#include "utente.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestLabSimClients : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void accountOperations();
    void passwordRecoveryByMail();
    void orderWithFileAndPrintRows();
    void refusalsReachTheClientAsExceptions();
    void ftpSettingsAndUpload();
    void updates();

private:
    void connectAs(const char *user, const char *password);
    QString lastMail() const;

    LabSimulator m_sim;
};

void TestLabSimClients::initTestCase()
{
    QVERIFY2(m_sim.start(), qPrintable(m_sim.errorString()));
}

void TestLabSimClients::init()
{
    QVERIFY(m_sim.resetKnobs());
    connectAs("", "");
}

void TestLabSimClients::connectAs(const char *user, const char *password)
{
    const std::string base = m_sim.baseUrl().toStdString();
    Anagrafica::WsEndpoint = Ordini::WsEndpoint = Prodotti::WsEndpoint = base;
    Anagrafica::WsUsername = Ordini::WsUsername = Prodotti::WsUsername = user;
    Anagrafica::WsPassword = Ordini::WsPassword = Prodotti::WsPassword = password;
    Anagrafica::WsOperatorAuth = Ordini::WsOperatorAuth = Prodotti::WsOperatorAuth = false;
    korvex2::WsEndpoint = base;
    korvex2::WsUsername = user;
    korvex2::WsPassword = password;
    korvex2::WsOperatorAuth = false;
}

QString TestLabSimClients::lastMail() const
{
    const QJsonArray mails = m_sim.status().value(QStringLiteral("data")).toObject()
                                 .value(QStringLiteral("mails")).toArray();
    return mails.isEmpty() ? QString() : mails.last().toObject().value(QStringLiteral("body")).toString();
}

void TestLabSimClients::accountOperations()
{
    Utente demo;
    QVERIFY(demo.login(LabSimulator::DemoUser, LabSimulator::DemoPassword));
    QCOMPARE(demo.Getid(), 1);
    QCOMPARE(demo.nome, std::string("Mario"));
    QCOMPARE(demo.pagamento, 1);
    QCOMPARE(demo.spedizione, 5.0f);

    Utente paying;
    QVERIFY(paying.login(LabSimulator::PayingUser, LabSimulator::PayingPassword));
    QCOMPARE(paying.pagamento, 2);

    Utente nuovo;
    nuovo.username = "rossella";
    nuovo.password = "segreta";
    nuovo.nome = "Rossella";
    nuovo.citta = "Città di Castello";
    QVERIFY(nuovo.registraUtente());
    QVERIFY(nuovo.Getid() > 2);
    QVERIFY(nuovo.esiste("rossella"));
    // The laboratory holds the text as the customer typed it.
    const QJsonArray customers = m_sim.status().value(QStringLiteral("data")).toObject()
                                     .value(QStringLiteral("customers")).toArray();
    QCOMPARE(customers.last().toObject().value(QStringLiteral("citta")).toString(),
             QStringLiteral("Città di Castello"));
    QVERIFY(!nuovo.esiste("nessuno"));

    // The customer changes his own data with his credentials in the header.
    connectAs("rossella", "segreta");
    Utente logged;
    QVERIFY(logged.login("rossella", "segreta"));
    QCOMPARE(logged.citta, nuovo.citta);
    logged.cognome = "D'Amico";
    logged.disabilitaNotifica(Anagrafica::NotificaOrdineEvaso);
    logged.pagamento = 2; // the laboratory's to set, not the customer's
    QVERIFY(logged.modifica());
    Utente again;
    QVERIFY(again.init("rossella"));
    QCOMPARE(again.cognome, std::string("D'Amico"));
    QCOMPARE(again.notifiche, logged.notifiche);
    QCOMPARE(again.pagamento, 1);
}

void TestLabSimClients::passwordRecoveryByMail()
{
    Utente utente;
    QVERIFY(!utente.richiestaResetPassword("nessuno"));
    QVERIFY(utente.richiestaResetPassword(LabSimulator::PayingUser));
    const QRegularExpressionMatch code = QRegularExpression(QStringLiteral("codice di recupero è (\\S+)")).match(lastMail());
    QVERIFY2(code.hasMatch(), qPrintable(lastMail()));

    QVERIFY(!utente.resetPassword("SBAGLIATO"));
    QVERIFY(utente.resetPassword(code.captured(1).toStdString()));
    const QRegularExpressionMatch password = QRegularExpression(QStringLiteral("nuova password è (\\S+)")).match(lastMail());
    QVERIFY2(password.hasMatch(), qPrintable(lastMail()));
    Utente paying;
    QVERIFY(paying.login(LabSimulator::PayingUser, password.captured(1).toStdString()));
    QVERIFY_EXCEPTION_THROWN(paying.login(LabSimulator::PayingUser, LabSimulator::PayingPassword),
                             Utente::UtenteException);
    // Later tests of this run log in with the demo password again.
    QVERIFY(m_sim.control({{QStringLiteral("action"), QStringLiteral("updateCustomer")},
                           {QStringLiteral("username"), QString::fromLatin1(LabSimulator::PayingUser)},
                           {QStringLiteral("set"), QJsonObject{{QStringLiteral("password"),
                                                                QString::fromLatin1(LabSimulator::PayingPassword)}}}}));
}

void TestLabSimClients::orderWithFileAndPrintRows()
{
    connectAs(LabSimulator::DemoUser, LabSimulator::DemoPassword);
    Utente demo;
    QVERIFY(demo.login(LabSimulator::DemoUser, LabSimulator::DemoPassword));

    Stampa product;
    QVERIFY(product.init(3));
    QCOMPARE(product.codice_stampa, std::string("ST1015L"));
    QVERIFY(product.formato.has_value());
    QCOMPARE(product.formato->larghezza, 1181);
    QCOMPARE(product.formato->dpi, 300);
    Stampa unknown;
    QVERIFY(!unknown.init(9999));

    const long long big = 5000000000LL; // over 4 GiB
    File video;
    video.nome_file = "video.mov";
    video.dimensione = big;
    QVERIFY(video.inserisci());
    File photo;
    photo.nome_file = "foto.jpg";
    photo.dimensione = 2048;
    QVERIFY(photo.inserisci());
    QVERIFY(video.Getid() != photo.Getid());

    Ordine ordine(&demo);
    ordine.stato = 2;
    ordine.cliente_finale = "Sig.ra Bianchi";
    auto *fileRow = new OrdineRigaFile(&ordine);
    fileRow->codice_articolo = "artfile";
    fileRow->descrizione = "Invio File video.mov";
    fileRow->quantita = 1;
    fileRow->file = video;
    ordine.righe.push_back(fileRow);
    auto *printRow = new OrdineRigaStampa(&ordine);
    printRow->codice_articolo = "ST1015L";
    printRow->descrizione = "10 x 15 Lucida";
    printRow->prezzo = 0.25f;
    printRow->quantita = 4;
    printRow->file = photo;
    QVERIFY(printRow->stampa.init(3));
    ordine.righe.push_back(printRow);
    QVERIFY(ordine.inserisci());
    QVERIFY(!ordine.Getguid().empty());

    Ordine loaded(nullptr);
    QVERIFY(loaded.init(ordine.Getguid()));
    QCOMPARE(loaded.stato, 2);
    QCOMPARE(loaded.cliente_finale, std::string("Sig.ra Bianchi"));
    QCOMPARE(loaded.spedizione, 5.0f);
    QCOMPARE(loaded.totale, 6.0f); // 4 x 0.25 + shipping
    QCOMPARE(int(loaded.righe.size()), 2);
    auto *loadedFile = dynamic_cast<OrdineRigaFile *>(loaded.righe.at(0));
    auto *loadedPrint = dynamic_cast<OrdineRigaStampa *>(loaded.righe.at(1));
    QVERIFY(loadedFile);
    QVERIFY(loadedPrint);
    QCOMPARE(loadedFile->file.dimensione, big);
    QCOMPARE(loadedPrint->file.Getid(), photo.Getid());
    QCOMPARE(loadedPrint->stampa.Getid(), 3);
    QCOMPARE(loadedPrint->quantita, 4);

    File lookedUp;
    QVERIFY(lookedUp.init(video.Getid()));
    QCOMPARE(lookedUp.nome_file, std::string("video.mov"));
    QVERIFY(!lookedUp.init("F424242"));

    // The order's state and the state labels of the seed catalogue.
    const std::vector<Ordine::StatoOrdineLabel> states = loaded.listaEtichetteStatiOrdine();
    QCOMPARE(int(states.size()), 8);
    QCOMPARE(states.at(7).stato, 8);
    QCOMPARE(states.at(7).label, std::string("In attesa di pagamento"));
    QVERIFY(loaded.impostaStato(Ordini::StatoOrdine(5)));

    const std::string today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
    std::vector<Ordine *> headers = loaded.listaIntestazioni(LabSimulator::DemoUser, "", 0, 0, today, today,
                                                              {5}, 0, 0, "Bianchi");
    QCOMPARE(int(headers.size()), 1);
    QCOMPARE(headers.front()->Getguid(), ordine.Getguid());
    QCOMPARE(headers.front()->utente->Getid(), 1);
    for (Ordine *o : headers)
        delete o;

    // Modified with one row less: the laboratory keeps the rows it was sent last.
    delete ordine.righe.back();
    ordine.righe.pop_back();
    ordine.note = "solo il video";
    QVERIFY(ordine.modifica());
    const LabSimulator::Counts counts = m_sim.counts();
    QCOMPARE(counts.orders, 1);
    QCOMPARE(counts.rows, 1);
    QCOMPARE(counts.fileRecords, 2);
    QVERIFY(ordine.cancella());
    QCOMPARE(m_sim.counts().orders, 0);
}

void TestLabSimClients::refusalsReachTheClientAsExceptions()
{
    Utente utente;
    try {
        utente.login(LabSimulator::DemoUser, "sbagliata");
        QFAIL("a wrong password logs in");
    } catch (const Korvex2Exception &e) {
        QCOMPARE(QString::fromStdString(e.code), QStringLiteral("SOAP-ENV:Client"));
        QVERIFY(QString::fromStdString(e.message).contains(QStringLiteral("Login fallito")));
    }

    // Orders without credentials are refused by the laboratory.
    File file;
    file.nome_file = "a.jpg";
    QVERIFY_EXCEPTION_THROWN(file.inserisci(), File::FileException);

    connectAs(LabSimulator::DemoUser, LabSimulator::DemoPassword);
    QVERIFY(m_sim.injectFault(QStringLiteral("inserisciFile"), QStringLiteral("Disco pieno")));
    try {
        file.inserisci();
        QFAIL("the fault did not arrive");
    } catch (const File::FileException &e) {
        QCOMPARE(QString::fromStdString(e.message), QStringLiteral("Disco pieno"));
    }
    QVERIFY(m_sim.answerFalse(QStringLiteral("modificaFile")));
    QVERIFY(file.inserisci());
    QVERIFY(!file.modifica());
    QVERIFY(file.modifica());
}

void TestLabSimClients::ftpSettingsAndUpload()
{
    QVERIFY_EXCEPTION_THROWN(Impostazione().ottieniImpostazioniServerFTP(), Impostazione::ImpostazioneException);

    connectAs(LabSimulator::DemoUser, LabSimulator::DemoPassword);
    const ImpostazioniServerFTPItem ftp = Impostazione().ottieniImpostazioniServerFTP();
    QCOMPARE(QString::fromStdString(ftp.host), m_sim.ftpHost());
    QCOMPARE(ftp.porta, m_sim.ftpPort());
    QCOMPARE(ftp.cartella, std::string(LabSimulator::FtpFolder));

    QTemporaryDir local;
    const QString path = local.filePath(QStringLiteral("foto.jpg"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(100000, 'k'));
    file.close();

    // The upload folder exists on the server; the file goes there under its record's id.
    FtpCourier courier(ftp.host, ftp.porta, ftp.username, ftp.password);
    courier.setWorkingDir(ftp.cartella + "/");
    const std::string remote = ftp.cartella + "/F7";
    courier.uploadFile(path.toStdString(), remote, ftp.sovrascrivi);
    QCOMPARE(courier.sizeFile(remote), std::int64_t(100000));
    QCOMPARE(QFileInfo(m_sim.ftpRoot() + QStringLiteral("/ordini/F7")).size(), qint64(100000));
    QCOMPARE(m_sim.counts().ftpFiles, 1);
}

void TestLabSimClients::updates()
{
    // The update check runs without credentials. Nothing newer than what the program and
    // the seed catalogue are.
    AggiornamentoItem program = Aggiornamento().ottieniAggiornamento(korvex2__IdComponenteType__Programma);
    QCOMPARE(program.componente, korvex2__IdComponenteType__Programma);
    QCOMPARE(program.major * 10000 + program.minor * 100 + program.build, 20113);
    AggiornamentoItem data = Aggiornamento().ottieniAggiornamento(korvex2__IdComponenteType__DatiServizio);
    QCOMPARE(data.componente, korvex2__IdComponenteType__DatiServizio);
    QCOMPARE(data.major, 1);

    // A test offers a catalogue update; the program downloads it from the simulator.
    QFile update(m_sim.updatesDir() + QStringLiteral("/korvex.s3db"));
    QVERIFY(update.open(QIODevice::WriteOnly));
    update.write("catalogo nuovo");
    update.close();
    QVERIFY(m_sim.control({{QStringLiteral("action"), QStringLiteral("setUpdate")},
                           {QStringLiteral("componente"), 2}, {QStringLiteral("major"), 2},
                           {QStringLiteral("file"), QStringLiteral("korvex.s3db")}}));
    data = Aggiornamento().ottieniAggiornamento(korvex2__IdComponenteType__DatiServizio);
    QCOMPARE(data.major, 2);
    QCOMPARE(QString::fromStdString(data.url), m_sim.baseUrl() + QStringLiteral("aggiornamenti/korvex.s3db"));
    const LabSimulator::HttpReply download = m_sim.request("GET", QStringLiteral("aggiornamenti/korvex.s3db"));
    QCOMPARE(download.status, 200);
    QCOMPARE(download.body, QByteArray("catalogo nuovo"));
    QCOMPARE(m_sim.request("GET", QStringLiteral("aggiornamenti/altro.zip")).status, 404);
}

QTEST_GUILESS_MAIN(TestLabSimClients)
#include "tst_labsimclients.moc"
