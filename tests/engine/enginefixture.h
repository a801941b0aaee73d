#pragma once

#include <memory>

#include <QList>
#include <QMap>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

#include "ordinilocal.h"

class LabSimulator;
class TestHome;
class Utente;

// The world of an upload test: a private home folder with the program's data folder (the
// seed catalogue, the orders folder), the colour profile, and, once started, the laboratory
// simulator with its demo customer logged in as the program's customer.
class EngineFixture
{
public:
    EngineFixture();
    ~EngineFixture();
    EngineFixture(const EngineFixture &) = delete;
    EngineFixture &operator=(const EngineFixture &) = delete;

    bool isValid() const { return m_error.isEmpty(); }
    QString errorString() const { return m_error; }

    // Starts the simulator and logs its demo customer in (KorvexGlobals::utente).
    bool startLab();
    LabSimulator &lab() { return *m_lab; }
    Utente *customer() const;
    // Logs the customer out (KorvexGlobals::utente null) or in again.
    void logout();
    bool login();

    QString homePath() const;
    QString filesFolder() const;
    // A photo-like JPEG, or a file of bytes, in the files folder.
    QString photo(const QString &name, const QSize &size = QSize(1600, 1200), int seed = 1);
    QString bytesFile(const QString &name, qint64 size, int seed = 1);

    static OrdiniLocal::OrdineLocal order();
    // Product 3 of the catalogue: 10 x 15 on glossy paper, 1181 x 1772 pixels at 300 dpi.
    static OrdiniLocal::OrdineRigaStampaLocal printRow(const QString &path, int idStampa = 3,
                                                       int transformation = 1);
    static OrdiniLocal::OrdineRigaFileLocal fileRow(const QString &path);

    // Order files in the orders folder.
    bool save(OrdiniLocal::OrdineLocal &ordine) const;
    // rows of the order file on disk marked sent; -1 when the file cannot be read
    int sentRows(const QString &uuid) const;
    bool load(const QString &uuid, OrdiniLocal::OrdineLocal &ordine) const;
    bool orderFileExists(const QString &uuid) const;
    QStringList orderFiles() const;

    // What the laboratory holds, read from the simulator's state.
    struct LabFile
    {
        QString id;
        qint64 dimensione = 0;
        QString nomeFile;
    };
    struct LabRow
    {
        QString id;
        QString idOrdine;
        int tipoRiga = 0;
        QString codiceArticolo;
        int quantita = 0;
        QString idFile;
    };
    struct LabOrder
    {
        QString id;
        int stato = 0;
        QString note;
        QString clienteFinale;
        int idUtente = 0;
        QList<LabRow> rows;
    };
    struct LabState
    {
        QMap<QString, LabFile> files; // by id
        QList<LabOrder> orders;
        QList<LabRow> rows;
        QMap<QString, qint64> ftpFiles; // remote path from the FTP root -> size
        bool valid = false;
    };
    LabState labState() const;
    // Remote path of the FTP file stored under a file record's id.
    QString ftpPath(const QString &fileId) const;
    QString ftpLocalPath(const QString &fileId) const;

    // Checks that the laboratory holds exactly the orders given, each file once, with no file
    // record or FTP file that no row refers to. Returns a description of the first fault.
    QString checkNoDuplicateOrOrphan() const;

private:
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<LabSimulator> m_lab;
    QString m_error;
};
