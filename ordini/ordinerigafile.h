#pragma once

#include <string>

#include "file.h"
#include "ordineriga.h"
#include "ordini_export.h"

class ordini__OrdineRigaFile;
class ordini__OrdineRigaFileRequest;

// A row that sends a file to the laboratory.
class ORDINI_EXPORT OrdineRigaFile : public OrdineRiga
{
public:
    class ORDINI_EXPORT OrdineRigaFileException : public Korvex2Exception
    {
    public:
        OrdineRigaFileException(std::string code, std::string message);
    };

    explicit OrdineRigaFile(Ordine *ordine);
    ~OrdineRigaFile() override;
    bool cancella() override;
    bool inserisci() override;
    bool modifica() override;

    OrdineRigaFile(const OrdineRigaFile &) = delete;
    // Takes the row's data and the file record's data.
    OrdineRigaFile &operator=(const OrdineRigaFile &other);

    void bindTo(ordini__OrdineRigaFileRequest *riga) const;
    void bindFrom(const ordini__OrdineRigaFile *riga);

    File file;
};
