#include "ordini.h"

std::string Ordini::WsEndpoint;
std::string Ordini::WsUsername;
std::string Ordini::WsPassword;
bool Ordini::WsOperatorAuth = false;
