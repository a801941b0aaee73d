#include "printeditfixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSqlDatabase>

#include "catalogfixture.h"
#include "korvex2exception.h"
#include "korvexglobals.h"
#include "testhome.h"
#include "testimages.h"

namespace {

void closeEveryConnection()
{
    KorvexGlobals::db.close();
    KorvexGlobals::db = QSqlDatabase();
    const QStringList names = QSqlDatabase::connectionNames();
    for (const QString &name : names)
        QSqlDatabase::removeDatabase(name);
}

} // namespace

PrintEditFixture::PrintEditFixture()
    : m_home(std::make_unique<TestHome>())
{
    if (!m_home->isValid() || !m_images.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    QCoreApplication::setOrganizationName(QStringLiteral("Vendrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvex2"));
    KorvexGlobals::appDataPath = m_home->dataFolder(QStringLiteral("Korvex2"));
    QDir().mkpath(KorvexGlobals::appDataPath);
    m_catalogue = KorvexGlobals::appDataPath + QStringLiteral("/korvex.s3db");
    if (!catalogfixture::buildFixture(m_catalogue, &m_error))
        return;
    restoreCatalogue();
    m_ok = KorvexGlobals::SqlDbHost == m_catalogue;
    if (!m_ok)
        m_error = QStringLiteral("the settings chose %1").arg(KorvexGlobals::SqlDbHost);
}

PrintEditFixture::~PrintEditFixture()
{
    closeEveryConnection();
}

QString PrintEditFixture::path(const QString &name) const
{
    return m_images.filePath(name);
}

QString PrintEditFixture::solid(const QString &name, const QSize &size, const QColor &colour) const
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    const QString file = path(name);
    if (name.endsWith(QLatin1String(".jpg")))
        TestImages::writeJpeg(file, image);
    else
        image.save(file);
    return file;
}

QString PrintEditFixture::quadrants(const QString &name, const QSize &size) const
{
    const QString file = path(name);
    const QImage image = TestImages::quadrants(size);
    if (name.endsWith(QLatin1String(".jpg")))
        TestImages::writeJpeg(file, image);
    else
        image.save(file);
    return file;
}

QString PrintEditFixture::bytes(const QString &name, const QByteArray &content) const
{
    const QString file = path(name);
    TestImages::writeFile(file, content);
    return file;
}

OrdiniLocal::OrdineRigaStampaLocal PrintEditFixture::row(const QString &file, int idStampa, int type,
                                                         const QRectF &crop, int qta)
{
    OrdiniLocal::OrdineRigaStampaLocal riga;
    riga.FilePath = file.isEmpty() ? QString() : QFileInfo(file).absoluteFilePath();
    riga.FileSize = QFileInfo(file).size();
    riga.IdStampa = idStampa;
    riga.Transformation.Type = type;
    riga.Transformation.CropRect = crop;
    riga.Qta = qta;
    if (idStampa >= 1) {
        try {
            const OrdiniLocal::StampaLocal stampa = OrdiniLocal().StampaLocalFromDb(idStampa);
            riga.Codice = stampa.codice;
            riga.Descrizione = stampa.descrizione;
            riga.Prezzo = stampa.prezzo;
            riga.FormatoDesc = stampa.formato.colonna2;
            riga.CartaDesc = stampa.carta.colonna2;
        } catch (const Korvex2Exception &) {
            riga.Descrizione = QStringLiteral("Stampa %1").arg(idStampa);
        }
    }
    return riga;
}

void PrintEditFixture::breakCatalogue()
{
    closeEveryConnection();
    const QString empty = m_home->path() + QStringLiteral("/vuoto.s3db");
    QFile::remove(empty);
    KorvexGlobals::SqlDbHost = empty;
}

void PrintEditFixture::restoreCatalogue()
{
    closeEveryConnection();
    KorvexGlobals().loadSettings();
}
