#pragma once

#include <QSet>
#include <QString>

#include "ordineupload.h"

// An upload queue that cannot remove the order files of the orders named in `kept`, as when
// such a file is immutable. Tests run as root, who may remove any file: this is how a test
// makes a removal fail.
class UndeletableQueue : public OrdineUpload
{
public:
    using OrdineUpload::OrdineUpload;

    QSet<QString> kept;

protected:
    bool deleteOrderFile(const OrdiniLocal::OrdineLocal &ordine, QString *error) override
    {
        if (!kept.contains(ordine.Uuid))
            return OrdineUpload::deleteOrderFile(ordine, error);
        if (error)
            *error = QStringLiteral("Operazione non permessa");
        return false;
    }
};
