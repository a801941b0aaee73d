#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QString>

#include <memory>

class QProcess;
class QTemporaryDir;

// Runs the laboratory simulator (labsim/labsim.py) as a child process on free loopback
// ports, for the tests that need the laboratory's servers: the account, orders, catalogue
// and settings services, the payment page, update downloads and the FTP server. Its state
// lives in its data folder, so a restart on the same folder finds the same customers, file
// records and orders. labsim/README.md describes the services, the demo accounts and the
// control commands behind the knobs below.
//
// Not thread-safe: use one object from the thread that created it. Nothing here runs an
// event loop.
class LabSimulator
{
public:
    // The demo accounts of a fresh simulator: a customer who pays on delivery, a customer
    // who pays through the payment page (his sent orders wait for payment, state 8), and a
    // laboratory operator.
    static const char *const DemoUser;
    static const char *const DemoPassword;
    static const char *const PayingUser;
    static const char *const PayingPassword;
    static const char *const OperatorUser;
    static const char *const OperatorPassword;
    // The FTP account and upload folder that the settings service hands out.
    static const char *const FtpUser;
    static const char *const FtpPassword;
    static const char *const FtpFolder;

    struct Counts
    {
        int customers = -1;
        int fileRecords = -1;
        int rows = -1;
        int orders = -1;
        int ftpFiles = -1;          // files under the FTP root, in any folder
        int paymentPageVisits = -1;
    };

    struct HttpReply
    {
        int status = 0; // 0: no answer (connection refused, closed or timed out)
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };

    // An empty dataDir gives the simulator a temporary folder that goes with this object.
    explicit LabSimulator(const QString &dataDir = QString());
    ~LabSimulator();
    LabSimulator(const LabSimulator &) = delete;
    LabSimulator &operator=(const LabSimulator &) = delete;

    // Starts the simulator and waits until it serves. The first start takes free ports;
    // later starts (and restart()) take the ports of the previous run, so that addresses
    // handed to a client stay valid. False with errorString() when it did not come up.
    bool start();
    // SIGTERM, then waits for the process; true when it ended cleanly (exit code 0).
    bool stop();
    bool restart();
    // Ends the process at once with SIGKILL, as a crash would.
    void kill();
    bool isRunning() const;
    QString errorString() const;

    QString baseUrl() const;  // "http://127.0.0.1:<port>/", the services' base address
    QString ftpHost() const;
    quint16 ftpPort() const;
    QString dataDir() const;
    QString databasePath() const; // the simulator's SQLite file
    QString ftpRoot() const;      // the folder the FTP server serves
    QString updatesDir() const;   // files served at baseUrl() + "aggiornamenti/<name>"

    // Test knobs. `operation` is a service operation's name ("inserisciOrdine") or "*";
    // each knob acts on the next `times` calls (-1: every call) after `skip` calls.
    bool injectFault(const QString &operation, const QString &faultString = QString(),
                     int times = 1, int skip = 0);
    bool injectHttpError(const QString &operation, int status = 500, int times = 1, int skip = 0);
    bool answerFalse(const QString &operation, int times = 1, int skip = 0);
    bool delayAnswer(const QString &operation, int milliseconds, int times = 1, int skip = 0);
    // The call waits, before the work (or after it, with `afterWork`: the laboratory has done
    // it and the answer waits), until releaseHeld() lets it go. A held call also waits for
    // the client's time-out: a test that holds calls for long sets a long one.
    bool holdAnswer(const QString &operation, int times = 1, int skip = 0, bool afterWork = false);
    // Lets `count` held calls of `operation` ("*": any) go on, the oldest first (-1: all
    // held now). resetKnobs() lets every held call go too.
    bool releaseHeld(const QString &operation = QStringLiteral("*"), int count = -1);
    // How many calls of `operation` ("*": any) are held now; -1 when the simulator did not
    // answer.
    int heldCalls(const QString &operation = QStringLiteral("*")) const;
    // The FTP server drops the connection after `afterBytes` bytes of an upload.
    bool dropFtpConnection(qint64 afterBytes, int times = 1);
    // The next `times` uploads fail.
    bool failFtpUploads(int times);
    // The next `times` uploads are stored without their last `bytes` bytes (0: without
    // their second half), while the server answers success.
    bool storeFtpUploadsShort(qint64 bytes, int times = 1);
    // The next `times` uploads, after `skip` untouched ones, are received whole but their
    // completion reply waits until releaseFtpUploads() (or resetKnobs()).
    bool holdFtpUploads(int times = 1, int skip = 0);
    bool releaseFtpUploads();
    // How many uploads wait, held, now; -1 when the simulator did not answer.
    int heldFtpUploads() const;
    bool resetKnobs();

    // The update that the settings service announces for a component (0, 2, 3): its
    // version and a file of updatesDir() to download. The answer names the component
    // `reportedComponent` (-1: the one asked for). Returns the download address, empty on
    // failure.
    QString setUpdate(int componente, int major, int minor, int build, const QString &file,
                      int reportedComponent = -1);
    // How the next `times` downloads of update file `file` ("*": any) go wrong.
    struct UpdateFileKnob
    {
        int status = 0;          // an error page with this status (with location: the redirect's)
        QString location;        // a redirect to this address
        qint64 stallAfter = -1;  // silent after this many bytes
        qint64 dropAfter = -1;   // connection closed after this many bytes
        qint64 rate = 0;         // bytes per second
        bool noContentLength = false;
    };
    bool setUpdateFileKnob(const QString &file, const UpdateFileKnob &knob, int times = 1);
    // Any control command (labsim/README.md); false when the simulator refused it.
    bool control(const QJsonObject &command);

    // Sent orders as the laboratory holds them, of any date and state (labsim/README.md,
    // "seedOrder"): the order's server id, empty on failure.
    QString seedOrder(const QJsonObject &order);
    bool deleteOrder(const QString &id);
    // What the requests of that operation asked, oldest first (the latest 200 requests are
    // kept), and forgetting them.
    QJsonArray requests(const QString &operation) const;
    bool clearRequests();

    QJsonObject status() const; // the whole state as JSON; empty on failure
    Counts counts() const;

    // One HTTP request to the simulator; `path` is relative to baseUrl().
    HttpReply request(const QByteArray &method, const QString &path, const QByteArray &body = {},
                      const QMap<QByteArray, QByteArray> &headers = {}, int timeoutMs = 60000) const;

private:
    QStringList arguments() const;

    std::unique_ptr<QTemporaryDir> m_tempDir;
    std::unique_ptr<QProcess> m_process;
    QString m_dataDir;
    QString m_baseUrl;
    QString m_ftpHost;
    quint16 m_httpPort = 0;
    quint16 m_ftpPort = 0;
    mutable QString m_error;
};
