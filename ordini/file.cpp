#include "file.h"

#include "serviceclient.h"
#include "soapordiniSOAPProxy.h"
#include "sqlfilter.h"

File::FileException::FileException(std::string code, std::string message)
    : Korvex2Exception(std::move(code), std::move(message))
{
}

File::File() : proxy(ordiniws::newProxy()) {}

File::~File() = default;

File &File::operator=(const File &other)
{
    if (this == &other)
        return *this;
    id = other.id;
    dimensione = other.dimensione;
    percorso = other.percorso;
    scaricato = other.scaricato;
    nome_file = other.nome_file;
    nome_file_scaricato = other.nome_file_scaricato;
    compresso = other.compresso;
    return *this;
}

void File::WSinit()
{
    ordiniws::prepare(*proxy, endpoint);
}

void File::bindTo(ordini__File *file) const
{
    file->id = id;
    file->dimensione = dimensione;
    file->percorso = percorso;
    file->scaricato = scaricato;
    file->nome_file = nome_file;
    file->nome_file_scaricato = nome_file_scaricato;
    file->compresso = compresso;
}

void File::bindFrom(const ordini__File *file)
{
    if (!file)
        return;
    id = file->id;
    dimensione = file->dimensione;
    percorso = file->percorso;
    scaricato = file->scaricato;
    nome_file = file->nome_file;
    nome_file_scaricato = file->nome_file_scaricato;
    compresso = file->compresso;
}

namespace {

[[noreturn]] void raise(ordiniSOAPProxy &proxy)
{
    const ordiniws::Failure failure = ordiniws::failure(proxy, "", false);
    throw File::FileException(failure.code, failure.message);
}

} // namespace

bool File::inserisci()
{
    ordini__File request;
    bindTo(&request);
    WSinit();
    ordini__inserisciFileResponse answer;
    if (proxy->inserisciFile(&request, answer) != SOAP_OK)
        raise(*proxy);
    const std::string newId = answer.inserisciFileResponse;
    ordiniws::release(*proxy);
    // a record named after an empty id would be unusable: report it as the failure it is
    if (newId.empty())
        throw FileException(std::string(), ordiniws::unknownErrorMessage);
    id = newId;
    return true;
}

bool File::modifica()
{
    ordini__File request;
    bindTo(&request);
    WSinit();
    ordini__modificaFileResponse answer;
    if (proxy->modificaFile(&request, answer) != SOAP_OK)
        raise(*proxy);
    const bool result = answer.modificaFileResponse;
    ordiniws::release(*proxy);
    return result;
}

bool File::cancella()
{
    WSinit();
    ordini__cancellaFileResponse answer;
    if (proxy->cancellaFile(id, answer) != SOAP_OK)
        raise(*proxy);
    const bool result = answer.cancellaFileResponse;
    ordiniws::release(*proxy);
    return result;
}

std::vector<File *> File::listaSQL(int offset, int length, std::string filter, std::string order,
                                   std::string guid)
{
    ordini__listaRequestType request;
    request.offset = offset;
    request.length = length;
    request.filter = std::move(filter);
    request.order = std::move(order);
    request.guid = std::move(guid);
    WSinit();
    ordini__listaFileResponse answer;
    if (proxy->listaFile(&request, answer) != SOAP_OK)
        raise(*proxy);

    std::vector<std::unique_ptr<File>> records;
    if (answer.listaFileResponse) {
        for (const ordini__File *entry : answer.listaFileResponse->Files) {
            if (!entry)
                continue;
            records.push_back(std::make_unique<File>());
            records.back()->bindFrom(entry);
        }
    }
    ordiniws::release(*proxy);

    std::vector<File *> result;
    result.reserve(records.size());
    for (auto &record : records)
        result.push_back(record.release());
    return result;
}

std::vector<File *> File::lista(std::map<std::string, std::string> campi)
{
    const korvexsoap::SqlFilter filter = korvexsoap::likeFilter(campi);
    if (!filter.ok())
        throw FileException(std::string(), filter.error);
    return listaSQL(0, 0, filter.text, std::string(), std::string());
}

bool File::init(std::string id)
{
    std::vector<std::unique_ptr<File>> found;
    for (File *record : listaSQL(0, 1, std::string(), std::string(), std::move(id)))
        found.emplace_back(record);
    if (found.empty())
        return false;
    *this = *found.front();
    return true;
}

std::string File::Getid() const
{
    return id;
}

void File::Setid(std::string newId)
{
    id = std::move(newId);
}
