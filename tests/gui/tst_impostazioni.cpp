// The settings window: general options and their keys, the account and notification pages
// against the simulator's account service, and how the window ends while a service is slow.

#include <QCheckBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

#include <memory>
#include <mutex>

#include "anagrafica.h"
#include "guifixture.h"
#include "impostazioni.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "modalanswerer.h"
#include "resetpassworddialog.h"
#include "utente.h"
#include "wssettingslock.h"

namespace {

QJsonObject customer(const LabSimulator &sim, const QString &username)
{
    const QJsonArray customers = sim.status().value("data").toObject().value("customers").toArray();
    for (const QJsonValue &value : customers) {
        if (value.toObject().value("username").toString() == username)
            return value.toObject();
    }
    return {};
}

int calls(const LabSimulator &sim, const char *operation)
{
    return sim.status().value("calls").toObject().value(QLatin1String(operation)).toInt();
}

template <typename T>
T *child(QWidget *window, const char *name)
{
    auto *widget = window->findChild<T *>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}

void clickSave(Impostazioni &dialog)
{
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonSave"), Qt::LeftButton);
}

const char *const notificationBoxes[] = {"cbNotificheOrdineRiepilogo", "cbNotificheOrdineInLavorazione",
                                         "cbNotificheOrdineEvaso", "cbNotificheOrdineAnnullato"};

} // namespace

class TestImpostazioni : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void generalOptionsRoundTrip_data();
    void generalOptionsRoundTrip();
    void cancelStoresNothing();
    void undoAndPageSwitch();
    void withoutUserAccountPagesAreDisabled();
    void emptyEndpointDisablesTheCheck();
    void failedSettingsLoadIsShown();

    void accountSaveSendsEveryField();
    void notificationMasks_data();
    void notificationMasks();
    void requiredFields_data();
    void requiredFields();
    void refusedOrFailedSave_data();
    void refusedOrFailedSave();
    void recoverPasswordOpensTheResetDialog();

    void closingDuringASlowCheckReturnsAtOnce();
    void screenshots();

private:
    void login();

    std::unique_ptr<GuiFixture> fixture;
    std::unique_ptr<LabSimulator> sim;
    QJsonObject seedCustomer;
};

void TestImpostazioni::initTestCase()
{
    Q_INIT_RESOURCE(application);
    fixture = std::make_unique<GuiFixture>();
    sim = std::make_unique<LabSimulator>();
    QVERIFY2(sim->start(), qPrintable(sim->errorString()));
    seedCustomer = customer(*sim, "demo");
    seedCustomer.remove("id");
}

void TestImpostazioni::init()
{
    fixture->reset();
    fixture->storeSettings(sim->baseUrl());
    QVERIFY(sim->resetKnobs());
    // Every test starts from the demo customer as the simulator seeds him.
    QVERIFY(sim->control({{"action", "updateCustomer"}, {"username", "demo"}, {"set", seedCustomer}}));
}

void TestImpostazioni::cleanup()
{
    fixture->reset();
}

void TestImpostazioni::login()
{
    {
        std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
        Anagrafica::WsEndpoint = sim->baseUrl().toStdString();
    }
    auto *utente = new Utente;
    QVERIFY(utente->login("demo", "demo"));
    KorvexGlobals::utente = utente;
}

void TestImpostazioni::generalOptionsRoundTrip_data()
{
    QTest::addColumn<bool>("autoStart");
    QTest::addColumn<bool>("checkUpdates");
    QTest::addColumn<int>("storedQuality");
    QTest::addColumn<QString>("shownLabel");
    QTest::addColumn<int>("savedQuality");
    QTest::newRow("both on, 0") << true << true << 0 << "0" << 0;
    QTest::newRow("both off, 100") << false << false << 100 << "100" << 100;
    QTest::newRow("auto start only, 150 stands at the maximum") << true << false << 150 << "150" << 100;
    QTest::newRow("updates only, below 0 stands at 0") << false << true << -5 << "0" << 0;
}

void TestImpostazioni::generalOptionsRoundTrip()
{
    QFETCH(bool, autoStart);
    QFETCH(bool, checkUpdates);
    QFETCH(int, storedQuality);
    QFETCH(QString, shownLabel);
    QFETCH(int, savedQuality);
    {
        QSettings store(fixture->settingsFile(), QSettings::IniFormat);
        store.setValue("JpegCompressionQuality", storedQuality);
    }
    KorvexGlobals().loadSettings();
    {
        Impostazioni dialog;
        dialog.show();
        QCOMPARE(child<QStackedWidget>(&dialog, "stackedWidget")->currentIndex(), 0);
        QCOMPARE(child<QSlider>(&dialog, "sliderJpegCompression")->value(), qBound(0, storedQuality, 100));
        QCOMPARE(child<QLabel>(&dialog, "labelJpegCompression")->text(), shownLabel);
        child<QCheckBox>(&dialog, "UploadAutostart")->setChecked(autoStart);
        child<QCheckBox>(&dialog, "CheckUpdatesAtStartup")->setChecked(checkUpdates);
        ModalAnswerer answerer;
        clickSave(dialog);
        // Nobody is logged in: stored, and the window stays open without a message.
        QVERIFY(dialog.isVisible());
        QCOMPARE(answerer.count(), 0);
    }
    QCOMPARE(fixture->storedSetting("UploadsAutoStart"), QString(autoStart ? "true" : "false"));
    QCOMPARE(fixture->storedSetting("CheckUpdatesAtStartup"), QString(checkUpdates ? "true" : "false"));
    QCOMPARE(fixture->storedSetting("JpegCompressionQuality").toInt(), savedQuality);

    KorvexGlobals::UploadsAutoStart = !autoStart;
    Impostazioni again;
    QCOMPARE(child<QCheckBox>(&again, "UploadAutostart")->isChecked(), autoStart);
    QCOMPARE(child<QCheckBox>(&again, "CheckUpdatesAtStartup")->isChecked(), checkUpdates);
    QCOMPARE(child<QSlider>(&again, "sliderJpegCompression")->value(), savedQuality);
}

void TestImpostazioni::cancelStoresNothing()
{
    login();
    const QString before = fixture->storedSetting("UploadsAutoStart");
    const int callsBefore = calls(*sim, "modificaUtente");
    {
        Impostazioni dialog;
        dialog.show();
        QSignalSpy finished(&dialog, &QDialog::finished);
        child<QCheckBox>(&dialog, "UploadAutostart")->setChecked(true);
        child<QSlider>(&dialog, "sliderJpegCompression")->setValue(17);
        GuiFixture::edit(&dialog, "nome")->setText("Altro");
        QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonClose"), Qt::LeftButton);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
    }
    QCOMPARE(fixture->storedSetting("UploadsAutoStart"), before);
    QCOMPARE(fixture->storedSetting("JpegCompressionQuality").toInt(), 100);
    QCOMPARE(calls(*sim, "modificaUtente"), callsBefore);
    QCOMPARE(QString::fromStdString(KorvexGlobals::utente->nome), QStringLiteral("Mario"));
}

void TestImpostazioni::undoAndPageSwitch()
{
    login();
    Impostazioni dialog;
    dialog.show();
    auto *slider = child<QSlider>(&dialog, "sliderJpegCompression");
    auto *label = child<QLabel>(&dialog, "labelJpegCompression");
    slider->setValue(42);
    QCOMPARE(label->text(), QStringLiteral("42"));
    QTest::mouseClick(child<QToolButton>(&dialog, "toolButtonUndoJpegQuality"), Qt::LeftButton);
    QCOMPARE(slider->value(), 100);
    QCOMPARE(label->text(), QStringLiteral("100"));

    // Going to another page and back shows the stored check boxes again; the slider stays.
    auto *list = child<QListWidget>(&dialog, "listWidget");
    auto *stack = child<QStackedWidget>(&dialog, "stackedWidget");
    child<QCheckBox>(&dialog, "UploadAutostart")->setChecked(true);
    slider->setValue(30);
    list->setCurrentRow(1);
    QCOMPARE(stack->currentIndex(), 1);
    list->setCurrentRow(2);
    QCOMPARE(stack->currentIndex(), 2);
    list->setCurrentRow(0);
    QCOMPARE(stack->currentIndex(), 0);
    QVERIFY(!child<QCheckBox>(&dialog, "UploadAutostart")->isChecked());
    QCOMPARE(slider->value(), 30);
}

void TestImpostazioni::withoutUserAccountPagesAreDisabled()
{
    Impostazioni dialog;
    auto *list = child<QListWidget>(&dialog, "listWidget");
    QCOMPARE(list->item(1)->flags(), Qt::NoItemFlags);
    QCOMPARE(list->item(2)->flags(), Qt::NoItemFlags);
    QVERIFY(GuiFixture::edit(&dialog, "username")->text().isEmpty());
    QVERIFY(child<QToolButton>(&dialog, "toolButtonCheckUpdates")->isEnabled());
}

void TestImpostazioni::emptyEndpointDisablesTheCheck()
{
    QSqlQuery query(KorvexGlobals::db);
    QVERIFY(query.exec("UPDATE config SET valore = '' WHERE chiave = 'wsendpoint'"));
    Impostazioni dialog;
    QVERIFY(KorvexGlobals::WsEndpoint.isEmpty());
    QVERIFY(!child<QToolButton>(&dialog, "toolButtonCheckUpdates")->isEnabled());
}

void TestImpostazioni::failedSettingsLoadIsShown()
{
    // The database file goes away under the open window: coming back to the general page
    // tells it and the window goes on.
    KorvexGlobals::db.close();
    QFile broken(KorvexGlobals::SqlDbHost);
    QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write(QByteArray(4096, 'x'));
    broken.close();
    ModalAnswerer answerer;
    answerer.answer(QMessageBox::Ok);
    Impostazioni dialog;
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().title, QStringLiteral("Errore"));
    QVERIFY(answerer.last().text.startsWith(
        QStringLiteral("Impossibile caricare le impostazioni:\r\nImpossibile ottenere tutti i parametri")));
    QCOMPARE(child<QStackedWidget>(&dialog, "stackedWidget")->currentIndex(), 0);
}

void TestImpostazioni::accountSaveSendsEveryField()
{
    login();
    int callsBefore = 0;
    {
        // Stale credentials of another call must not be the ones sent.
        callsBefore = calls(*sim, "modificaUtente");
        std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
        Anagrafica::WsUsername = "paga";
        Anagrafica::WsPassword = "sbagliata";
        Anagrafica::WsOperatorAuth = true;
    }
    const struct
    {
        const char *widget;
        const char *column;
        std::string Utente::*member;
        QString value;
    } fields[] = {
        {"ragione_sociale", "ragione_sociale", &Utente::ragione_sociale, QStringLiteral("Fotografia Città Più")},
        {"nome", "nome", &Utente::nome, QStringLiteral("Niccolò")},
        {"cognome", "cognome", &Utente::cognome, QStringLiteral("Rossi-Bernabè")},
        {"indirizzo", "indirizzo", &Utente::indirizzo, QStringLiteral("Via Garibaldi 1")},
        {"cap", "cap", &Utente::cap, QStringLiteral("10121")},
        {"citta", "citta", &Utente::citta, QStringLiteral("Forlì")},
        {"provincia", "provincia", &Utente::provincia, QStringLiteral("FC")},
        {"codice_fiscale", "cf", &Utente::cf, QStringLiteral("RSSNCC80A01D704X")},
        {"partita_iva", "piva", &Utente::piva, QStringLiteral("01234567890")},
        {"fax", "fax", &Utente::fax, QStringLiteral("0543 000001")},
        {"tel_fisso", "tel_fisso", &Utente::tel_fisso, QStringLiteral("0543 000002")},
        {"tel_cell", "tel_cell", &Utente::tel_cell, QStringLiteral("333 0000003")},
    };
    {
        Impostazioni dialog;
        dialog.show();
        QCOMPARE(GuiFixture::edit(&dialog, "username")->text(), QStringLiteral("demo"));
        QCOMPARE(GuiFixture::edit(&dialog, "email")->text(), QStringLiteral("demo@lab.example"));
        QVERIFY(!GuiFixture::edit(&dialog, "username")->isEnabled());
        QVERIFY(!GuiFixture::edit(&dialog, "email")->isEnabled());
        for (const auto &f : fields)
            GuiFixture::edit(&dialog, f.widget)->setText(f.value);
        QSignalSpy finished(&dialog, &QDialog::finished);
        ModalAnswerer answerer;
        clickSave(dialog);
        QCOMPARE(answerer.count(), 0);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!dialog.isVisible());
    }
    QCOMPARE(calls(*sim, "modificaUtente"), callsBefore + 1);
    const QJsonObject stored = customer(*sim, "demo");
    for (const auto &f : fields) {
        QCOMPARE(stored.value(QLatin1String(f.column)).toString(), f.value);
        // The logged-in customer has the new data at once, as UTF-8.
        QCOMPARE(QByteArray::fromStdString(KorvexGlobals::utente->*f.member), f.value.toUtf8());
    }
    QCOMPARE(stored.value("email").toString(), QStringLiteral("demo@lab.example"));
    QCOMPARE(stored.value("password").toString(), QStringLiteral("demo"));
    QCOMPARE(Anagrafica::WsUsername, std::string("demo"));
    QCOMPARE(Anagrafica::WsPassword, std::string("demo"));
    QVERIFY(!Anagrafica::WsOperatorAuth);

    // The next opening shows the saved values unchanged.
    Impostazioni again;
    for (const auto &f : fields)
        QCOMPARE(GuiFixture::edit(&again, f.widget)->text(), f.value);
}

void TestImpostazioni::notificationMasks_data()
{
    QTest::addColumn<int>("loggedMask");
    QTest::addColumn<QList<bool>>("shown");
    QTest::addColumn<QList<bool>>("checked");
    QTest::addColumn<int>("sent");
    const QList<bool> all{true, true, true, true};
    const QList<bool> none{false, false, false, false};
    QTest::newRow("0x7FF shows all, unchanged sends 15") << 0x7FF << all << all << 15;
    QTest::newRow("none") << 0x7FF << all << none << 0;
    QTest::newRow("summary only") << 0 << none << QList<bool>{true, false, false, false} << 1;
    QTest::newRow("in progress only") << 0 << none << QList<bool>{false, true, false, false} << 2;
    QTest::newRow("completed only") << 0 << none << QList<bool>{false, false, true, false} << 4;
    QTest::newRow("cancelled only, higher bits cleared")
        << (0x10 | 8) << QList<bool>{false, false, false, true} << QList<bool>{false, false, false, true} << 8;
}

void TestImpostazioni::notificationMasks()
{
    QFETCH(int, loggedMask);
    QFETCH(QList<bool>, shown);
    QFETCH(QList<bool>, checked);
    QFETCH(int, sent);
    login();
    KorvexGlobals::utente->notifiche = loggedMask;
    Impostazioni dialog;
    dialog.show();
    for (int i = 0; i < 4; ++i) {
        auto *box = child<QCheckBox>(&dialog, notificationBoxes[i]);
        QCOMPARE(box->isChecked(), shown.at(i));
        box->setChecked(checked.at(i));
    }
    clickSave(dialog);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(customer(*sim, "demo").value("notifiche").toInt(), sent);
    QCOMPARE(KorvexGlobals::utente->notifiche, sent);
}

void TestImpostazioni::requiredFields_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("message");
    QTest::newRow("user name") << "username" << "Il campo <b>Username</b> è obbligatorio";
    QTest::newRow("company name, focused") << "ragione_sociale" << "Il campo <b>Rag. Sociale</b> è obbligatorio";
    QTest::newRow("e-mail") << "email" << "Il campo <b>Email</b> è obbligatorio";
}

void TestImpostazioni::requiredFields()
{
    QFETCH(QString, field);
    QFETCH(QString, message);
    login();
    Impostazioni dialog;
    dialog.show();
    // Spaces count as text: only an empty field is refused.
    GuiFixture::edit(&dialog, "nome")->setText(" ");
    GuiFixture::edit(&dialog, field.toLatin1().constData())->clear();
    auto *list = child<QListWidget>(&dialog, "listWidget");
    list->setCurrentRow(2);
    const int before = calls(*sim, "modificaUtente");
    ModalAnswerer answerer;
    answerer.answer(QMessageBox::Ok);
    clickSave(dialog);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().title, QStringLiteral("Errore"));
    QCOMPARE(answerer.last().text, message);
    QCOMPARE(answerer.last().buttons, QStringList{"OK"});
    QVERIFY(dialog.isVisible());
    QCOMPARE(list->currentRow(), 1);
    QCOMPARE(child<QStackedWidget>(&dialog, "stackedWidget")->currentIndex(), 1);
    // A field that can take the focus gets it (user name and e-mail are read-only).
    QLineEdit *edit = GuiFixture::edit(&dialog, field.toLatin1().constData());
    if (edit->isEnabled())
        QCOMPARE(dialog.focusWidget(), edit);
    QCOMPARE(calls(*sim, "modificaUtente"), before);
}

void TestImpostazioni::refusedOrFailedSave_data()
{
    QTest::addColumn<QString>("knob");
    QTest::addColumn<QString>("expectedText");
    QTest::newRow("service answers false") << "false"
                                           << "Il servizio non ha accettato le modifiche alle informazioni utente: i "
                                              "dati non sono stati salvati.";
    QTest::newRow("service fault") << "fault"
                                   << "Impossibile modificare le informazioni utente a causa di un errore \r\nDisco "
                                      "pieno è";
}

void TestImpostazioni::refusedOrFailedSave()
{
    QFETCH(QString, knob);
    QFETCH(QString, expectedText);
    login();
    if (knob == QLatin1String("false"))
        QVERIFY(sim->answerFalse("modificaUtente"));
    else
        QVERIFY(sim->injectFault("modificaUtente", QStringLiteral("Disco pieno è")));
    {
        Impostazioni dialog;
        dialog.show();
        GuiFixture::edit(&dialog, "nome")->setText(QStringLiteral("Giuseppe"));
        child<QSlider>(&dialog, "sliderJpegCompression")->setValue(55);
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Ok);
        clickSave(dialog);
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().title, QStringLiteral("Errore"));
        QCOMPARE(answerer.last().icon, QMessageBox::Warning);
        QCOMPARE(answerer.last().text, expectedText);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
    }
    // The general options are stored whatever the account save did; the user is unchanged.
    QCOMPARE(fixture->storedSetting("JpegCompressionQuality").toInt(), 55);
    QCOMPARE(QString::fromStdString(KorvexGlobals::utente->nome), QStringLiteral("Mario"));
    QCOMPARE(customer(*sim, "demo").value("nome").toString(), QStringLiteral("Mario"));
    Impostazioni again;
    QCOMPARE(GuiFixture::edit(&again, "nome")->text(), QStringLiteral("Mario"));
}

void TestImpostazioni::recoverPasswordOpensTheResetDialog()
{
    login();
    Impostazioni dialog;
    dialog.show();
    ModalAnswerer answerer;
    answerer.answerWith([](QWidget *box) { static_cast<QDialog *>(box)->reject(); });
    QTest::mouseClick(child<QToolButton>(&dialog, "tbRecuperaPassword"), Qt::LeftButton);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().className, QStringLiteral("ResetPasswordDialog"));
    QVERIFY(dialog.findChildren<ResetPasswordDialog *>().isEmpty());
}

void TestImpostazioni::closingDuringASlowCheckReturnsAtOnce()
{
    // The laboratory holds the update queries: what returns while they are still held
    // returned without waiting for them.
    QVERIFY(sim->holdAnswer("ottieniAggiornamento", -1));
    const int queriesBefore = sim->status().value("calls").toObject().value("ottieniAggiornamento").toInt();
    {
        auto *dialog = new Impostazioni;
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->show();
        QTest::mouseClick(child<QToolButton>(dialog, "toolButtonCheckUpdates"), Qt::LeftButton);
        QVERIFY(child<QWidget>(dialog, "widgetCheckUpdatesInProgress")->isVisible());
        QVERIFY(!child<QToolButton>(dialog, "toolButtonCheckUpdates")->isVisible());
        QCOMPARE(child<QLabel>(dialog, "labelCheckUpdatesInProgress")->text(),
                 QStringLiteral("Controllo aggiornamenti"));
        // A second check while the first still waits.
        QTRY_COMPARE_WITH_TIMEOUT(sim->heldCalls(), 1, 60000);
        QMetaObject::invokeMethod(dialog, "on_toolButtonCheckUpdates_clicked");
        QTRY_COMPARE_WITH_TIMEOUT(sim->heldCalls(), 2, 60000);
        QPointer<Impostazioni> alive(dialog);
        dialog->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!alive);
        QCOMPARE(sim->heldCalls(), 2);
    }
    // Let go, the threads end by themselves: each check's two queries reach the laboratory,
    // and nothing crashes when they are answered.
    QVERIFY(sim->resetKnobs());
    QTRY_COMPARE_WITH_TIMEOUT(sim->status().value("calls").toObject().value("ottieniAggiornamento").toInt(),
                              queriesBefore + 4, 60000);
}

void TestImpostazioni::screenshots()
{
    login();
    Impostazioni dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QString folder = QString::fromLocal8Bit(qgetenv("KORVEX_BINARY_DIR")) + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    auto *list = child<QListWidget>(&dialog, "listWidget");
    for (int row = 0; row < 3; ++row) {
        list->setCurrentRow(row);
        QTest::qWait(50);
        QVERIFY(dialog.grab().save(folder + QStringLiteral("/impostazioni-%1.png").arg(row)));
    }
    // The general page after a check that found nothing new.
    list->setCurrentRow(0);
    QTest::mouseClick(child<QToolButton>(&dialog, "toolButtonCheckUpdates"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>(&dialog, "labelCheckUpdatesInProgress")->text(),
                              QStringLiteral("Korvex2 è aggiornato"), 60000);
    QTest::qWait(100);
    QVERIFY(dialog.grab().save(folder + QStringLiteral("/impostazioni-aggiornato.png")));
}

QTEST_MAIN(TestImpostazioni)
#include "tst_impostazioni.moc"
