#include "anagrafica.h"

std::string Anagrafica::WsEndpoint;
std::string Anagrafica::WsUsername;
std::string Anagrafica::WsPassword;
bool Anagrafica::WsOperatorAuth = false;
