#include "testhome.h"

#include <QDir>
#include <QSettings>

TestHome::TestHome()
    : m_oldHome(qgetenv("HOME"))
    , m_oldConfig(qgetenv("XDG_CONFIG_HOME"))
    , m_oldData(qgetenv("XDG_DATA_HOME"))
    , m_oldCache(qgetenv("XDG_CACHE_HOME"))
{
    const QString root = m_dir.path();
    QDir().mkpath(root + QStringLiteral("/.config"));
    qputenv("HOME", QFile::encodeName(root));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + QStringLiteral("/.config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root + QStringLiteral("/.local/share")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root + QStringLiteral("/.cache")));
    // The settings store caches its folder at first use: name it explicitly as well.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, root + QStringLiteral("/.config"));
}

namespace {

void restore(const char *name, const QByteArray &value)
{
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value);
}

} // namespace

TestHome::~TestHome()
{
    restore("HOME", m_oldHome);
    restore("XDG_CONFIG_HOME", m_oldConfig);
    restore("XDG_DATA_HOME", m_oldData);
    restore("XDG_CACHE_HOME", m_oldCache);
}

QString TestHome::dataFolder(const QString &applicationName) const
{
    return m_dir.path() + QStringLiteral("/.") + applicationName;
}
