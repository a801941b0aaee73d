#pragma once

#include <string>

#include <QMap>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class OrdineUpload;
class Utente;

// Process-wide settings and handles of the program, all held in static members.
//
// loadSettings() and saveSettings() move the settings between the statics, the settings
// store (organisation and application name of the application object) and the `config`
// table of the local database. A caller creates a short-lived instance to call them.
//
// The statics belong to the GUI thread, which writes them without a lock. No other thread
// reads them: an upload worker copies what it needs when it is made, on the GUI thread
// (OrdineUploadThread), and reads the catalogue from the file it copied
// (OrdiniLocal::setThreadCatalogueFile).
class KorvexGlobals : public QObject
{
    Q_OBJECT

public:
    explicit KorvexGlobals(QObject *parent = nullptr);

    // Throws Korvex2Exception (empty code) when the database file is missing, cannot be
    // opened, or its configuration cannot be read.
    void loadSettings();
    // Never throws: failures to write are ignored.
    void saveSettings();

    static QString endpointUrlPurged(QString endpoint);
    static QString endpointUrlCompleted(QString endpoint);
    static std::string sanitizedFilePath(QString path);

    // The folder of the order files: "orders_queue" in the data folder. Every reader and
    // writer of order files takes it from here.
    static QString ordersQueuePath();
    // Closes the program's connection to the local database and forgets it (its end).
    static void closeDatabase();
    // The text of a size field: "0 byte", "1.5 KB", "4.77 MB", "1 GB"; two decimals at most,
    // "." as decimal point whatever the locale.
    static QString fileSizeToString(quint64 size);

    // The laboratory's domain, appended to a bare server name.
    static const QString laboratoryDomainSuffix;

    static const QString QToolButtonStyleSheet;
    // The keyboard focus mark of the tool buttons, which the sheet above draws without
    // one. Appended right after it, so that it also shows on a hovered button.
    static const QString QToolButtonFocusStyleSheet;
    static QString SqlDbHost;
    static const QString WsEndpointDemo;
    static const QString WsUsernameDemo;
    static const QString WsPasswordDemo;
    static QString WsEndpoint;
    static QString WsUsername;
    static QString WsPassword;
    static QString appDataPath;
    static const QStringList imageFilters;
    static QSqlDatabase db;
    static QMap<QString, int> statusMap;
    static QString iccColorProfileLocation;
    static int JpegCompressionQuality;
    static int FTPBufferSize;
    static bool UploadsAutoStart;
    static bool CheckUpdatesAtStartup;
    static int ServiceDataDbVersion;
    static Utente *utente;
    static OrdineUpload *ordineUpload;
};
