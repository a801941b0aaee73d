#include "guifixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSettings>
#include <QSqlDatabase>

#include "korvexglobals.h"
#include "ordinilocal.h"
#include "utente.h"

GuiFixture::GuiFixture()
    : m_oldHome(qgetenv("HOME"))
    , m_oldConfig(qgetenv("XDG_CONFIG_HOME"))
{
    const QString root = m_home.path();
    QDir().mkpath(root + QStringLiteral("/.config"));
    qputenv("HOME", QFile::encodeName(root));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + QStringLiteral("/.config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root + QStringLiteral("/.local/share")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root + QStringLiteral("/.cache")));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, root + QStringLiteral("/.config"));
    QCoreApplication::setOrganizationName(QStringLiteral("Vendrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvex2"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.1.13"));
    KorvexGlobals::appDataPath = dataFolder();
    KorvexGlobals::iccColorProfileLocation =
        QCoreApplication::applicationDirPath() + QStringLiteral("/profiles/sRGB.icm");
}

GuiFixture::~GuiFixture()
{
    reset();
    qputenv("HOME", m_oldHome);
    if (m_oldConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
}

QString GuiFixture::dataFolder() const
{
    return m_home.path() + QStringLiteral("/.Korvex2");
}

QString GuiFixture::settingsFile() const
{
    return m_home.path() + QStringLiteral("/.config/Vendrel/Korvex2.conf");
}

void GuiFixture::reset()
{
    delete KorvexGlobals::utente;
    KorvexGlobals::utente = nullptr;
    KorvexGlobals::WsUsername.clear();
    KorvexGlobals::WsPassword.clear();
    KorvexGlobals::WsEndpoint.clear();
    KorvexGlobals::ServiceDataDbVersion = 0;
    KorvexGlobals::UploadsAutoStart = false;
    if (KorvexGlobals::db.isValid()) {
        const QString name = KorvexGlobals::db.connectionName();
        KorvexGlobals::db.close();
        KorvexGlobals::db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    QFile::remove(settingsFile());
    QDir(dataFolder()).removeRecursively();
}

QLineEdit *GuiFixture::edit(QWidget *window, const char *name)
{
    auto *field = window->findChild<QLineEdit *>(QString::fromLatin1(name));
    if (!field)
        qFatal("no line edit %s", name);
    return field;
}

void GuiFixture::storeSettings(const QString &endpoint, const QString &username, const QString &password,
                               bool uploadsAutoStart, int dataVersion)
{
    KorvexGlobals settings;
    settings.loadSettings();
    KorvexGlobals::WsEndpoint = endpoint;
    KorvexGlobals::ServiceDataDbVersion = dataVersion;
    KorvexGlobals::WsUsername = username;
    KorvexGlobals::WsPassword = password;
    KorvexGlobals::UploadsAutoStart = uploadsAutoStart;
    // The update check after a login is the update tests' business; they turn it on.
    KorvexGlobals::CheckUpdatesAtStartup = false;
    settings.saveSettings();
}

QString GuiFixture::storedSetting(const QString &key) const
{
    return QSettings(settingsFile(), QSettings::IniFormat).value(key).toString();
}

QString GuiFixture::bytesFile(const QString &name, qint64 size) const
{
    const QString path = m_home.path() + QStringLiteral("/files/") + name;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    QRandomGenerator random(42);
    for (qint64 written = 0; written < size;) {
        random.fillRange(reinterpret_cast<quint32 *>(chunk.data()), chunk.size() / 4);
        const qint64 n = qMin<qint64>(chunk.size(), size - written);
        file.write(chunk.constData(), n);
        written += n;
    }
    return path;
}

QString GuiFixture::queueFileOrder(const QStringList &paths)
{
    OrdiniLocal store;
    OrdiniLocal::OrdineLocal ordine;
    store.initOrdineLocal(ordine);
    ordine.Attivo = true;
    ordine.Note = QStringLiteral("Ordine di prova");
    for (const QString &path : paths) {
        OrdiniLocal::OrdineRigaFileLocal riga;
        riga.Codice = QStringLiteral("artfile");
        riga.Descrizione = QFileInfo(path).fileName();
        riga.TipoRiga = 1;
        riga.FilePath = path;
        riga.FileSize = QFileInfo(path).size();
        ordine.righeFile.append(riga);
    }
    if (!store.SaveXML(ordine))
        qFatal("cannot write the order file");
    return ordine.Uuid;
}
