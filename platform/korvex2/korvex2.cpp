#include "korvex2.h"

namespace korvex2 {
std::string WsEndpoint;
std::string WsUsername;
std::string WsPassword;
bool WsOperatorAuth = false;
} // namespace korvex2
