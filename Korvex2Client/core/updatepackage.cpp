#include "updatepackage.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrl>
#include <QUuid>
#include <QVariant>

#include <cstdio>
#include <limits>
#include <zlib.h>

#include "korvex2exception.h"
#include "korvexglobals.h"
#include "ordineupload.h"
#include "profilelock.h"

namespace UpdatePackage {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("UpdatePackage", text);
}

quint16 le16(const char *p)
{
    return static_cast<quint16>(static_cast<quint8>(p[0]) | (static_cast<quint8>(p[1]) << 8));
}

quint32 le32(const char *p)
{
    return static_cast<quint32>(le16(p)) | (static_cast<quint32>(le16(p + 2)) << 16);
}

quint64 le64(const char *p)
{
    return static_cast<quint64>(le32(p)) | (static_cast<quint64>(le32(p + 4)) << 32);
}

// Where the central directory lies and how many entries it holds.
struct Directory
{
    quint64 count = 0;
    quint64 size = 0;
    quint64 offset = 0;
};

// The zip64 end record at `at`: its counts and place of the directory take the place of
// the 16- and 32-bit ones. Archives spread over several disks are refused.
bool readZip64EndRecord(QFile &file, qint64 at, Directory *directory)
{
    if (!file.seek(at))
        return false;
    const QByteArray record = file.read(56);
    if (record.size() != 56 || le32(record.constData()) != 0x06064b50)
        return false;
    const char *r = record.constData();
    if (le32(r + 16) != 0 || le32(r + 20) != 0 || le64(r + 24) != le64(r + 32))
        return false;
    directory->count = le64(r + 32);
    directory->size = le64(r + 40);
    directory->offset = le64(r + 48);
    return true;
}

// An entry's zip64 extra field holds, in this order, those of its sizes and its offset
// whose 32-bit fields are all ones.
bool applyZip64Extra(const QByteArray &extra, quint64 *uncompressed, quint64 *compressed, quint64 *localOffset)
{
    quint64 *const fields[] = {uncompressed, compressed, localOffset};
    bool needed = false;
    for (quint64 *field : fields)
        needed = needed || *field == 0xFFFFFFFFu;
    if (!needed)
        return true;
    int pos = 0;
    while (pos + 4 <= extra.size()) {
        const quint16 id = le16(extra.constData() + pos);
        const int length = le16(extra.constData() + pos + 2);
        if (pos + 4 + length > extra.size())
            return false;
        if (id == 0x0001) {
            int at = pos + 4;
            for (quint64 *field : fields) {
                if (*field != 0xFFFFFFFFu)
                    continue;
                if (at + 8 > pos + 4 + length)
                    return false;
                *field = le64(extra.constData() + at);
                at += 8;
            }
            return true;
        }
        pos += 4 + length;
    }
    return false;
}

// The first bytes of an entry's data, inflated when needed; links hold their target there.
bool entryData(QFile &file, quint64 localOffset, quint16 method, quint64 compressed, quint64 size,
               QByteArray *data)
{
    constexpr quint64 maxLinkSize = 4096;
    if (size > maxLinkSize || compressed > maxLinkSize * 2 || localOffset > quint64(file.size())
        || !file.seek(qint64(localOffset)))
        return false;
    const QByteArray header = file.read(30);
    if (header.size() != 30 || le32(header.constData()) != 0x04034b50)
        return false;
    if (!file.seek(qint64(localOffset) + 30 + le16(header.constData() + 26) + le16(header.constData() + 28)))
        return false;
    const QByteArray raw = file.read(qint64(compressed));
    if (raw.size() != static_cast<int>(compressed))
        return false;
    if (method == 0) {
        *data = raw;
        return size == compressed;
    }
    if (method != 8)
        return false;
    data->resize(static_cast<int>(size));
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(raw.constData()));
    stream.avail_in = static_cast<uInt>(compressed);
    stream.next_out = reinterpret_cast<Bytef *>(data->data());
    stream.avail_out = static_cast<uInt>(size);
    const int result = inflate(&stream, Z_FINISH);
    inflateEnd(&stream);
    return result == Z_STREAM_END && stream.total_out == size;
}

bool hasParentSegment(const QString &path)
{
    const QStringList segments = path.split(QLatin1Char('/'));
    return segments.contains(QStringLiteral(".."));
}

bool isAbsolute(const QString &path)
{
    return path.startsWith(QLatin1Char('/')) || (path.size() >= 2 && path.at(1) == QLatin1Char(':'));
}

Launcher *currentLauncher = nullptr;

bool insideFolder(const QString &path, const QString &root)
{
    return path.startsWith(root + QLatin1Char('/'));
}

// What unzip left in `folder`, looked at without following links: every link must lead to
// something inside the folder, and no entry of the archive may lie beneath a link.
bool checkUnpackedTree(const QString &folder, const QList<ArchiveEntry> &entries, QString *error)
{
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty()) {
        *error = tr("Impossibile estrarre l'archivio dell'aggiornamento (%1).").arg(folder);
        return false;
    }
    QDirIterator walk(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                      QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        walk.next();
        const QFileInfo info = walk.fileInfo();
        if (!info.isSymLink())
            continue;
        // A link that leads nowhere may lead out once its target appears.
        const QString target = info.canonicalFilePath();
        if (target.isEmpty() || !insideFolder(target, root)) {
            *error = tr("L'archivio dell'aggiornamento contiene un collegamento non ammesso: %1 -> %2")
                         .arg(QDir(folder).relativeFilePath(info.filePath()), info.symLinkTarget());
            return false;
        }
    }
    for (const ArchiveEntry &entry : entries) {
        const QStringList segments = entry.name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        QString path = folder;
        for (int i = 0; i + 1 < segments.size(); ++i) {
            path += QLatin1Char('/') + segments.at(i);
            if (QFileInfo(path).isSymLink()) {
                *error = tr("L'archivio dell'aggiornamento contiene un percorso non ammesso: %1").arg(entry.name);
                return false;
            }
        }
    }
    return true;
}

} // namespace

QString fileNameOf(const QString &url)
{
    const QString path = QUrl(url, QUrl::TolerantMode).path(QUrl::FullyDecoded);
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

bool acceptableFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.startsWith(QLatin1Char('-')) && !name.contains(QLatin1Char('/'))
           && !name.contains(QChar(0));
}

QString makePrivateFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    for (int attempt = 0; attempt < 5; ++attempt) {
        const QString folder = base + QStringLiteral("/korvex2-update-")
                               + QUuid::createUuid().toString(QUuid::Id128).left(12);
        QDir dir;
        if (QFileInfo::exists(folder))
            continue;
        if (dir.mkdir(folder)) {
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            return folder;
        }
    }
    return QString();
}

bool readArchive(const QString &zipPath, QList<ArchiveEntry> *entries, QString *error)
{
    entries->clear();
    const QString notArchive = tr("Il file scaricato non è un archivio valido.");
    QFile file(zipPath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = tr("Impossibile leggere il file %1: %2").arg(zipPath, file.errorString());
        return false;
    }
    const qint64 size = file.size();
    const qint64 tail = qMin<qint64>(size, 65535 + 22);
    if (tail < 22 || !file.seek(size - tail)) {
        *error = notArchive;
        return false;
    }
    const QByteArray end = file.read(tail);
    int eocd = -1;
    for (int i = end.size() - 22; i >= 0; --i) {
        if (le32(end.constData() + i) == 0x06054b50) {
            eocd = i;
            break;
        }
    }
    if (eocd < 0) {
        *error = notArchive;
        return false;
    }
    const char *record = end.constData() + eocd;
    const qint64 endRecordAt = size - tail + eocd;
    Directory directory;
    directory.count = le16(record + 10);
    directory.size = le32(record + 12);
    directory.offset = le32(record + 16);
    // The directory ends where the record that describes it starts.
    qint64 directoryEnd = endRecordAt;
    bool zip64 = false;
    // unzip takes the zip64 end record whenever its locator lies right before the end
    // record: so does this check, and an end record that needs one without it is refused.
    if (endRecordAt >= 20 && file.seek(endRecordAt - 20)) {
        const QByteArray locator = file.read(20);
        if (locator.size() == 20 && le32(locator.constData()) == 0x07064b50) {
            const quint64 at = le64(locator.constData() + 8);
            if (at + 56 > quint64(endRecordAt - 20) || !readZip64EndRecord(file, qint64(at), &directory)) {
                *error = notArchive;
                return false;
            }
            zip64 = true;
            directoryEnd = qint64(at);
        }
    }
    if (!zip64 && (directory.count == 0xFFFF || directory.size == 0xFFFFFFFFu || directory.offset == 0xFFFFFFFFu)) {
        *error = notArchive;
        return false;
    }
    // No bytes before the archive or between its directory and its end: unzip would read
    // the directory somewhere else than where it says it is.
    if (directory.offset > quint64(directoryEnd) || directory.offset + directory.size != quint64(directoryEnd)
        || directory.size > quint64(std::numeric_limits<int>::max()) || !file.seek(qint64(directory.offset))) {
        *error = notArchive;
        return false;
    }
    const QByteArray dir = file.read(qint64(directory.size));
    if (dir.size() != int(directory.size)) {
        *error = notArchive;
        return false;
    }
    // unzip reads entry after entry for as long as they follow: every one of them is
    // checked, and they must be exactly what the end record counts.
    int pos = 0;
    quint64 found = 0;
    while (pos < dir.size()) {
        if (pos + 46 > dir.size() || le32(dir.constData() + pos) != 0x02014b50) {
            *error = notArchive;
            return false;
        }
        const char *h = dir.constData() + pos;
        const quint16 flags = le16(h + 8);
        const quint16 method = le16(h + 10);
        quint64 compressed = le32(h + 20);
        quint64 uncompressed = le32(h + 24);
        const quint16 nameLength = le16(h + 28);
        const quint16 extraLength = le16(h + 30);
        const int skip = 46 + nameLength + extraLength + le16(h + 32);
        const quint32 external = le32(h + 38);
        quint64 localOffset = le32(h + 42);
        if (pos + skip > dir.size()
            || !applyZip64Extra(QByteArray::fromRawData(h + 46 + nameLength, extraLength), &uncompressed,
                                &compressed, &localOffset)) {
            *error = notArchive;
            return false;
        }
        const QByteArray rawName(h + 46, nameLength);
        ArchiveEntry entry;
        entry.name = (flags & 0x800) ? QString::fromUtf8(rawName) : QString::fromLatin1(rawName);
        if (rawName.contains('\0'))
            entry.name = QStringLiteral("/");
        // The file type of the Unix mode in the upper half: unzip makes a link of it under
        // whatever host the packer named, not only under Unix.
        entry.isLink = ((external >> 16) & 0170000) == 0120000;
        if (entry.isLink) {
            QByteArray target;
            if ((flags & 1) || !entryData(file, localOffset, method, compressed, uncompressed, &target)) {
                *error = notArchive;
                return false;
            }
            entry.linkTarget = QString::fromUtf8(target);
        }
        entries->append(entry);
        pos += skip;
        ++found;
    }
    if (found != directory.count) {
        *error = notArchive;
        return false;
    }
    return true;
}

bool checkArchiveEntries(const QList<ArchiveEntry> &entries, QString *error)
{
    QStringList links;
    for (const ArchiveEntry &entry : entries) {
        if (entry.isLink)
            links.append(entry.name);
    }
    for (const ArchiveEntry &entry : entries) {
        const QString refused = tr("L'archivio dell'aggiornamento contiene un percorso non ammesso: %1");
        if (entry.name.isEmpty() || isAbsolute(entry.name) || entry.name.contains(QLatin1Char('\\'))
            || hasParentSegment(entry.name)) {
            *error = refused.arg(entry.name);
            return false;
        }
        if (entry.isLink && (entry.linkTarget.isEmpty() || isAbsolute(entry.linkTarget)
                             || hasParentSegment(entry.linkTarget) || entry.linkTarget.contains(QChar(0)))) {
            *error = tr("L'archivio dell'aggiornamento contiene un collegamento non ammesso: %1 -> %2")
                         .arg(entry.name, entry.linkTarget);
            return false;
        }
        for (const QString &link : qAsConst(links)) {
            if (entry.name.startsWith(link + QLatin1Char('/'))) {
                *error = refused.arg(entry.name);
                return false;
            }
        }
    }
    return true;
}

bool makeExecutable(const QString &path, QString *error)
{
    const QFileDevice::Permissions exec = QFileDevice::ExeOwner | QFileDevice::ExeUser;
    if (!QFile::setPermissions(path, QFile::permissions(path) | exec | QFileDevice::ReadOwner)) {
        *error = tr("Impossibile rendere eseguibile il file %1.").arg(path);
        return false;
    }
    return true;
}

QString unpackProgram(const QString &zipPath, const QString &programName, QString *error, bool *timedOut,
                      int timeoutMs)
{
    if (timedOut)
        *timedOut = false;
    QList<ArchiveEntry> entries;
    if (!readArchive(zipPath, &entries, error) || !checkArchiveEntries(entries, error))
        return QString();
    if (!acceptableFileName(programName)) {
        *error = tr("Il nome del programma aggiornato non è valido: %1").arg(programName);
        return QString();
    }
    const QString folder = makePrivateFolder();
    if (folder.isEmpty()) {
        *error = tr("Impossibile creare una cartella temporanea per l'aggiornamento.");
        return QString();
    }
    QProcess unzip;
    unzip.setProgram(QStringLiteral("unzip"));
    unzip.setArguments({QStringLiteral("-o"), QStringLiteral("-qq"), QFileInfo(zipPath).absoluteFilePath(),
                        QStringLiteral("-d"), folder});
    unzip.setProcessChannelMode(QProcess::MergedChannels);
    unzip.start(QIODevice::ReadWrite);
    const bool finished = unzip.waitForStarted() && unzip.waitForFinished(timeoutMs);
    if (!finished) {
        if (timedOut)
            *timedOut = unzip.state() != QProcess::NotRunning;
        unzip.kill();
        unzip.waitForFinished(1000);
        *error = tr("Impossibile terminare la procedura di aggiornamento dell'applicazione. Riprovare in un secondo "
                    "mommento.");
        QDir(folder).removeRecursively();
        return QString();
    }
    if (unzip.exitStatus() != QProcess::NormalExit || unzip.exitCode() != 0) {
        *error = tr("Impossibile estrarre l'archivio dell'aggiornamento (%1).")
                     .arg(QString::fromLocal8Bit(unzip.readAll()).trimmed());
        QDir(folder).removeRecursively();
        return QString();
    }
    if (!checkUnpackedTree(folder, entries, error)) {
        QDir(folder).removeRecursively();
        return QString();
    }
    const QString program = folder + QLatin1Char('/') + programName;
    const QFileInfo info(program);
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (!info.exists() || !info.isFile()
        || !insideFolder(info.canonicalFilePath(), root)) {
        *error = tr("L'archivio dell'aggiornamento non contiene il programma %1.").arg(programName);
        QDir(folder).removeRecursively();
        return QString();
    }
    if (!makeExecutable(info.canonicalFilePath(), error)) {
        QDir(folder).removeRecursively();
        return QString();
    }
    return program;
}

Launcher::~Launcher() = default;

bool Launcher::startDetached(const QString &program, const QStringList &arguments, const QString &workingDir)
{
    // The new program finds this one's process id in its environment and waits for this one
    // to let the profile's lock go as it ends.
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(workingDir);
    process.setProcessEnvironment(ProfileLock::successorEnvironment());
    return process.startDetached();
}

void Launcher::quitProgram()
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::exit(0); },
                              Qt::QueuedConnection);
}

Launcher *Launcher::instance()
{
    static Launcher real;
    return currentLauncher ? currentLauncher : &real;
}

void Launcher::setInstance(Launcher *launcher)
{
    currentLauncher = launcher;
}

namespace {

// Reads dbVersion of a candidate database through a connection of its own.
bool catalogueVersion(const QString &path, int *version, QString *error)
{
    const QString name = QStringLiteral("KORVEX2_UPDATE_CHECK");
    bool ok = false;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || file.read(16) != QByteArray("SQLite format 3", 16)) {
            *error = tr("Il file scaricato non è un database valido.");
            return false;
        }
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(QStringLiteral("SELECT valore FROM config WHERE chiave = 'dbVersion'")) && query.next()) {
                *version = query.value(0).toString().toInt(&ok, 10);
            }
            query.finish();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (!ok)
        *error = tr("Il file scaricato non è un database valido.");
    return ok;
}

void reopen()
{
    try {
        KorvexGlobals settings(nullptr);
        settings.loadSettings();
    } catch (const Korvex2Exception &) {
    }
}

} // namespace

bool installCatalogue(const QString &downloaded, QString *error)
{
    const QString target = KorvexGlobals::SqlDbHost;
    if (!QFileInfo::exists(downloaded)) {
        *error = tr("Il file scaricato non esiste: %1").arg(downloaded);
        return false;
    }
    if (QFileInfo(downloaded).fileName() != QFileInfo(target).fileName()) {
        *error = tr("Il file scaricato (%1) non è il database in uso (%2).")
                     .arg(QFileInfo(downloaded).fileName(), QFileInfo(target).fileName());
        return false;
    }
    int version = 0;
    if (!catalogueVersion(downloaded, &version, error))
        return false;
    if (KorvexGlobals::ordineUpload && KorvexGlobals::ordineUpload->processingUploads()) {
        *error = tr("È in corso l'invio di un ordine: riprovare al termine dell'invio.");
        return false;
    }

    const QString copy = QFileInfo(target).absolutePath() + QStringLiteral("/.") + QFileInfo(target).fileName()
                         + QStringLiteral(".new");
    QFile::remove(copy);
    if (!QFile::copy(downloaded, copy) || QFileInfo(copy).size() != QFileInfo(downloaded).size()) {
        *error = tr("Impossibile copiare il nuovo database in %1.").arg(QFileInfo(target).absolutePath());
        QFile::remove(copy);
        return false;
    }
    QFile::setPermissions(copy, QFile::permissions(copy) | QFileDevice::WriteOwner | QFileDevice::ReadOwner);

    KorvexGlobals::db.close();
    // One atomic rename over the old file: the database is never missing.
    if (std::rename(QFile::encodeName(copy).constData(), QFile::encodeName(target).constData()) != 0) {
        *error = tr("Impossibile sostituire il database %1.").arg(target);
        QFile::remove(copy);
        reopen();
        return false;
    }
    try {
        KorvexGlobals settings(nullptr);
        settings.loadSettings();
    } catch (const Korvex2Exception &e) {
        *error = tr("Impossibile caricare le impostazioni dal nuovo database: %1")
                     .arg(QString::fromStdString(e.message));
        return false;
    }
    return true;
}

} // namespace UpdatePackage
