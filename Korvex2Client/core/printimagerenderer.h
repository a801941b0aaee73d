#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include "ordinilocal.h"

// Renders the photograph of a print row to its print format: the whole picture fitted on
// white, or the chosen crop rectangle scaled to the format. The result is a JPEG encoded once,
// at the configured quality, with the format's resolution and the sRGB profile, upright and
// without any orientation tag. Every failure is thrown as Korvex2Exception: a print row is
// never sent without its rendering.
class PrintImageRenderer
{
    Q_DECLARE_TR_FUNCTIONS(PrintImageRenderer)

public:
    enum TransformationType { Fit = 1, Crop = 2 };

    struct Job
    {
        QString imagePath;
        int transformationType = 0; // Fit, Crop, anything else: the photograph unchanged
        QRectF cropRect;            // pixels of the upright photograph at its full size
        QSize formatSize;           // pixels, width by height
        int dpi = 0;
        QString iccProfilePath;     // sRGB profile: target of the colour conversion, embedded
        int jpegQuality = 100;
        // Decode a JPEG at the smallest scale that still covers the print (the decoder's
        // shrink-on-load); off, the photograph is always decoded at full size.
        bool shrinkOnLoad = true;
    };

    // The rendering in memory: upright, colours in the target profile, opaque.
    static QImage renderImage(const Job& job);
    // JPEG bytes of a rendering, with resolution and (when its file can be read) the profile.
    static QByteArray encode(const QImage& rendering, int dpi, const QString& iccProfilePath,
                             int jpegQuality);
    // Renders into a new file of the process's own temporary folder and returns its path.
    // The name is the photograph's base name with "_adjusted" (fit) or "_cropped" (crop) and a
    // number unique in the process; the caller removes the file after use.
    static QString renderToFile(const Job& job);

    // The rendering as the upload worker calls it: quality and profile from KorvexGlobals.
    static QString getOrdineRigaStampaImageTransformedFileName(
        QString path, OrdiniLocal::StampaLocalTransformation transformation, QSize formatSize,
        int dpi);
    // Renders a print row's photograph to the format of the row's print product in the local
    // catalogue. A product or format missing from the catalogue is reported with the text that
    // asks the customer to update it; the catalogue's own failures pass unchanged.
    static QString renderOrdineRigaStampa(const OrdiniLocal::OrdineRigaStampaLocal& riga);

    // Rewrite a JPEG file with the given resolution (and the sRGB profile of KorvexGlobals);
    // false when the file can't be read or written. The rendering no longer needs them: it
    // writes resolution and profile while it encodes.
    static bool setImageProperties(const QString& path, unsigned int dpi, bool embedProfile);
    static bool setImageDpi(const QString& path, unsigned int dpi);

    // Folder of this process's renderings under the temporary folder, readable by the owner
    // only, created on first use and removed with its contents when the process ends.
    static QString temporaryFolder();
};
