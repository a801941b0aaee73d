#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A private home folder for a test: HOME and the XDG folders point into a temporary
// folder, so that the settings store and the data folder of the program under test never
// touch the user's own. Create it before the first use of the settings store.
class TestHome
{
public:
    TestHome();
    ~TestHome();
    Q_DISABLE_COPY(TestHome)

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    // home + "/." + application name: the data folder that start-up would choose.
    QString dataFolder(const QString &applicationName) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome;
    QByteArray m_oldConfig;
    QByteArray m_oldData;
    QByteArray m_oldCache;
};
