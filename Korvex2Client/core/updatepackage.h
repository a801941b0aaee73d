#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The update files once downloaded: the name a download gets, the check and unpacking of a
// program archive, the start of the new program, and the replacement of the catalogue
// database. No windows here: every failure comes back as a reason in Italian for the user.
namespace UpdatePackage {

// The last segment of the address's path, fully decoded ("" for a path ending in "/").
QString fileNameOf(const QString &url);
// A name a downloaded file may take: not empty, ".", "..", nor starting with "-", and with
// no folder separator.
bool acceptableFileName(const QString &name);

// A new folder under the temporary location that only this user can enter; empty when it
// cannot be made.
QString makePrivateFolder();

struct ArchiveEntry
{
    QString name;       // as stored, folders end with "/"
    bool isLink = false;
    QString linkTarget; // links only
};

// Reads the archive's directory (and the targets of its links): every entry that unzip
// would unpack, the zip64 end record taken into account. An entry is a link when the Unix
// file type in its attributes says so, whatever the host that packed it. False with *error
// when the file is no readable archive, or its directory is not where its end says.
bool readArchive(const QString &zipPath, QList<ArchiveEntry> *entries, QString *error);
// False with *error when an entry would land outside the target folder: an absolute path,
// a "..", a link that is absolute or climbs, an entry beneath a link.
bool checkArchiveEntries(const QList<ArchiveEntry> &entries, QString *error);

// Checks the archive, unpacks it into a new private folder (the system's unzip, without
// text conversion, its exit code checked), checks what was unpacked (every link leads
// inside the folder, nothing lies beneath a link) and returns the unpacked program:
// `programName` in that folder, a regular file inside it, made executable. Empty with
// *error otherwise, and the folder removed; *timedOut tells an unzip that did not finish
// in time.
QString unpackProgram(const QString &zipPath, const QString &programName, QString *error,
                      bool *timedOut = nullptr, int timeoutMs = 30000);

// Makes a downloaded program file executable; false with *error.
bool makeExecutable(const QString &path, QString *error);

// Starts the new program and ends this one. The tests replace it with a recorder.
class Launcher
{
public:
    virtual ~Launcher();
    // Starts `program` detached, with an argument list, as the successor of this process on
    // the profile (ProfileLock); false when it did not start.
    virtual bool startDetached(const QString &program, const QStringList &arguments, const QString &workingDir);
    // Ends the program through its event loop, with exit code 0.
    virtual void quitProgram();

    static Launcher *instance();
    // Null gives back the real one; the caller keeps ownership of `launcher`.
    static void setInstance(Launcher *launcher);
};

// Replaces the catalogue database in use (KorvexGlobals::SqlDbHost) with the downloaded
// file. The download must be a SQLite database with a `config` row `dbVersion`, bear the
// name of the database in use, and no upload may be running. It is copied beside the
// database and renamed over it only after a good copy; then the settings are loaded again.
// On any failure the old database stays and is open again. False with *error.
bool installCatalogue(const QString &downloaded, QString *error);

} // namespace UpdatePackage
