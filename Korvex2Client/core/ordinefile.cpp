#include "ordinefile.h"

#include <QDir>
#include <QFile>
#include <QMutex>

#include "korvex2exception.h"

namespace OrdineFile {

QMutex &orderFileMutex()
{
    static QMutex mutex;
    return mutex;
}

QString path(const QString &folder, const QString &uuid)
{
    return QDir(folder).absoluteFilePath(uuid + QStringLiteral(".kv2"));
}

bool read(const QString &filePath, OrdiniLocal &store, OrdiniLocal::OrdineLocal &ordine,
          QString *error)
{
    QFile file(filePath);
    if (!file.exists()) {
        if (error)
            error->clear();
        return false;
    }
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QByteArray bytes = file.readAll();
    const int zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    try {
        ordine = store.FromXML(QString::fromUtf8(bytes));
    } catch (const Korvex2Exception &e) {
        if (error)
            *error = QString::fromStdString(e.message);
        return false;
    }
    return true;
}

} // namespace OrdineFile
