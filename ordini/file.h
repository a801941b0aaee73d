#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "korvex2exception.h"
#include "ordini_export.h"

class ordini__File;
class ordiniSOAPProxy;

// The service's record of one file sent to the laboratory.
class ORDINI_EXPORT File
{
public:
    class ORDINI_EXPORT FileException : public Korvex2Exception
    {
    public:
        FileException(std::string code, std::string message);
    };

    File();
    ~File();
    File(const File &) = delete;
    // Takes the seven data fields; each record keeps its own service client.
    File &operator=(const File &other);

    bool inserisci();
    bool modifica();
    bool cancella();
    bool init(std::string id);
    // New records, owned by the caller.
    std::vector<File *> listaSQL(int offset, int length, std::string filter, std::string order,
                                 std::string guid);
    std::vector<File *> lista(std::map<std::string, std::string> campi);

    void bindTo(ordini__File *file) const;
    void bindFrom(const ordini__File *file);

    std::string Getid() const;
    void Setid(std::string id);

    void WSinit();

    long long dimensione = 0;
    std::string percorso;
    bool scaricato = false;
    std::string nome_file;
    std::string nome_file_scaricato;
    bool compresso = false;

private:
    std::unique_ptr<std::string> endpoint;

public:
    std::string id;

private:
    std::unique_ptr<ordiniSOAPProxy> proxy;
};
