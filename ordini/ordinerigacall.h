#pragma once
// The three row operations, shared by the row classes, each failing with its own class's
// exception. Included by the row classes' sources only.

#include "ordineriga.h"
#include "serviceclient.h"
#include "soapordiniSOAPProxy.h"

template <class E> bool OrdineRiga::inserisciRiga(ordini__OrdineRigaRequest *riga)
{
    ordini__RigaOrdineRequestType request;
    request.OrdineRigaRequest.push_back(riga);
    WSinit();
    ordini__inserisciRigaOrdineResponse answer;
    if (proxy->inserisciRigaOrdine(&request, answer) != SOAP_OK) {
        const ordiniws::Failure failure = ordiniws::failure(*proxy, "", false);
        throw E(failure.code, failure.message);
    }
    const std::string newGuid = answer.inserisciRigaOrdineResponse;
    ordiniws::release(*proxy);
    // a row without an id could never be changed or deleted: report it as the failure it is
    if (newGuid.empty())
        throw E(std::string(), ordiniws::unknownErrorMessage);
    guid = newGuid;
    return true;
}

template <class E> bool OrdineRiga::modificaRiga(ordini__OrdineRigaRequest *riga)
{
    ordini__RigaOrdineRequestType request;
    request.OrdineRigaRequest.push_back(riga);
    WSinit();
    ordini__modificaRigaOrdineResponse answer;
    if (proxy->modificaRigaOrdine(&request, answer) != SOAP_OK) {
        const ordiniws::Failure failure = ordiniws::failure(*proxy, "", false);
        throw E(failure.code, failure.message);
    }
    const bool result = answer.modificaRigaOrdineResponse;
    ordiniws::release(*proxy);
    return result;
}

template <class E> bool OrdineRiga::cancellaRiga()
{
    WSinit();
    ordini__cancellaRigaOrdineResponse answer;
    if (proxy->cancellaRigaOrdine(guid, answer) != SOAP_OK) {
        const ordiniws::Failure failure = ordiniws::failure(*proxy, "", false);
        throw E(failure.code, failure.message);
    }
    const bool result = answer.cancellaRigaOrdineResponse;
    ordiniws::release(*proxy);
    return result;
}
