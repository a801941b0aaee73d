#include "guifixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QSqlDatabase>

#include "korvexglobals.h"
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
