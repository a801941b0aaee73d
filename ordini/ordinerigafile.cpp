#include "ordinerigafile.h"

#include "ordinerigacall.h"

OrdineRigaFile::OrdineRigaFileException::OrdineRigaFileException(std::string code,
                                                                 std::string message)
    : Korvex2Exception(std::move(code), std::move(message))
{
}

OrdineRigaFile::OrdineRigaFile(Ordine *ordine) : OrdineRiga(ordine, 1) {}

OrdineRigaFile::~OrdineRigaFile() = default;

OrdineRigaFile &OrdineRigaFile::operator=(const OrdineRigaFile &other)
{
    if (this == &other)
        return *this;
    OrdineRiga::operator=(other);
    file = other.file;
    return *this;
}

void OrdineRigaFile::bindTo(ordini__OrdineRigaFileRequest *riga) const
{
    OrdineRiga::bindTo(riga);
    riga->id_file = file.Getid();
}

void OrdineRigaFile::bindFrom(const ordini__OrdineRigaFile *riga)
{
    if (!riga)
        return;
    OrdineRiga::bindFrom(riga);
    file.bindFrom(riga->file);
}

bool OrdineRigaFile::inserisci()
{
    ordini__OrdineRigaFileRequest riga;
    bindTo(&riga);
    return inserisciRiga<OrdineRigaFileException>(&riga);
}

bool OrdineRigaFile::modifica()
{
    ordini__OrdineRigaFileRequest riga;
    bindTo(&riga);
    return modificaRiga<OrdineRigaFileException>(&riga);
}

bool OrdineRigaFile::cancella()
{
    return cancellaRiga<OrdineRigaFileException>();
}
