#include "prodotti.h"

std::string Prodotti::WsEndpoint;
std::string Prodotti::WsUsername;
std::string Prodotti::WsPassword;
bool Prodotti::WsOperatorAuth = false;
