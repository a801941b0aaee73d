#pragma once

#include <string>

#include "ftpcourier_export.h"
#include "korvex2exception.h"

// Failure of an FtpCourier call. `code` is the FTP server's reply code ("530", "550", ...)
// when the server refused something, empty otherwise; `message` is an Italian text for the
// user, with the server's own words where it gave any.
class FTPCOURIER_EXPORT FtpCourierException : public Korvex2Exception
{
public:
    enum class Kind
    {
        ConnectionLost,   // no connection, or the connection broke off
        TimedOut,         // the server did not answer or take data within the time-out
        ServerBusy,       // the server answered with a transient refusal (4xx)
        LoginRefused,     // user name or password not accepted
        Refused,          // the server refused the operation (permission, folder, ...)
        NotFound,         // the remote file does not exist
        LocalFile,        // the local file cannot be read
        Aborted,          // FtpCourier::abort() was called
        Protocol,         // an answer the client cannot make sense of
    };

    FtpCourierException(std::string code, std::string message, Kind kind);

    Kind kind;

    // A failure that may well not happen again on a new attempt with a fresh connection:
    // a lost connection, a time-out or a transient refusal of the server.
    bool transient() const;
};
