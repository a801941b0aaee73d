#include "ftpcourierexception.h"

#include <utility>

FtpCourierException::FtpCourierException(std::string code, std::string message, Kind kind)
    : Korvex2Exception(std::move(code), std::move(message)), kind(kind)
{
}

bool FtpCourierException::transient() const
{
    return kind == Kind::ConnectionLost || kind == Kind::TimedOut || kind == Kind::ServerBusy;
}
