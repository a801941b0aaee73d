#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class QLineEdit;
class QWidget;

// The program's surroundings for a window test: a private home folder (HOME and the XDG
// folders point into a temporary folder, the settings store too), the program's identity
// as start-up gives it, and the data folder in that home. Create it in initTestCase(),
// before the first use of the settings store.
class GuiFixture
{
public:
    GuiFixture();
    ~GuiFixture();
    Q_DISABLE_COPY(GuiFixture)

    QString home() const { return m_home.path(); }
    // home + "/.Korvex2": the data folder of the program without a profile.
    QString dataFolder() const;
    // The settings store of the program, as a file.
    QString settingsFile() const;

    // The settings store and the local database as a previous run left them; the first call
    // brings the seed database into the data folder, as a first start does.
    void storeSettings(const QString &endpoint, const QString &username = QString(),
                       const QString &password = QString(), bool uploadsAutoStart = false,
                       int dataVersion = 7);
    QString storedSetting(const QString &key) const;

    // A file of `size` bytes in the home folder.
    QString bytesFile(const QString &name, qint64 size) const;
    // An active order of file rows, written to the orders folder; returns its Uuid.
    static QString queueFileOrder(const QStringList &paths);

    // Forgets what a test left in the program's statics and its data folder: logged-in
    // customer, remembered credentials, open database, settings store.
    void reset();

    // The line edit with that object name inside the window; fails the test when missing.
    static QLineEdit *edit(QWidget *window, const char *name);

private:
    QTemporaryDir m_home;
    QByteArray m_oldHome;
    QByteArray m_oldConfig;
};
