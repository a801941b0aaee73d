#pragma once

#include <memory>

#include <QColor>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

#include "ordinilocal.h"

class TestHome;

// What the print list and the photo editor tests share: a private home with the fixture
// catalogue as the program's local database, and image files made on the spot.
//
// Products of the fixture catalogue used here: 1 (format 1, 1800 x 1200 at 300 dpi, paper
// "Lucida"), 3 (format 1, "Opaca"), 4 (format 2, 1200 x 1800, "Opaca"), 5 (format 3,
// "20x15", "Lucida"), 6 (format 4, 600 x 400 at 0 dpi); 7 fails to load (format 0), 99
// does not exist.
class PrintEditFixture
{
public:
    PrintEditFixture();
    ~PrintEditFixture();
    Q_DISABLE_COPY(PrintEditFixture)

    bool ok() const { return m_ok; }
    QString error() const { return m_error; }
    QString path(const QString &name) const;

    // Image files; "png" or "jpg" from the name.
    QString solid(const QString &name, const QSize &size, const QColor &colour) const;
    QString quadrants(const QString &name, const QSize &size) const;
    QString bytes(const QString &name, const QByteArray &content) const;

    // A print row of that file and product, with the product's texts when the catalogue
    // has it.
    static OrdiniLocal::OrdineRigaStampaLocal row(const QString &file, int idStampa, int type = 1,
                                                  const QRectF &crop = QRectF(), int qta = 1);

    // Points the program at a database without tables (every query fails), and back.
    void breakCatalogue();
    void restoreCatalogue();

private:
    std::unique_ptr<TestHome> m_home;
    QTemporaryDir m_images;
    QString m_catalogue;
    QString m_error;
    bool m_ok = false;
};
