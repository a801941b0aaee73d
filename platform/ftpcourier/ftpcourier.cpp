#include "ftpcourier.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <sys/socket.h>
#include <utility>
#include <vector>

#include <QFile>

#include <Poco/Exception.h>
#include <Poco/Net/DialogSocket.h>
#include <Poco/Net/FTPClientSession.h>
#include <Poco/Net/NetException.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/SocketStream.h>
#include <Poco/Net/StreamSocket.h>
#include <Poco/Net/StreamSocketImpl.h>
#include <Poco/Timespan.h>

namespace {

using Kind = FtpCourierException::Kind;

constexpr int defaultBufferSize = 16384;
constexpr int defaultTimeoutSeconds = 30;

// What a call was doing when it failed: it decides how a refusal of the server is read.
enum class Phase
{
    Connect,
    Login,
    WorkingDir,
    Transfer,
    Command,
};

[[noreturn]] void fail(Kind kind, std::string message, std::string code = {})
{
    throw FtpCourierException(std::move(code), std::move(message), kind);
}

std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// A write to a socket whose peer has gone raises SIGPIPE, which would end the program.
// While a call runs, the signal is blocked on the calling thread (writes raise it on the
// thread that writes), and one raised meanwhile is discarded before the mask is restored.
class SigpipeGuard
{
public:
    SigpipeGuard()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_previous);
    }

    ~SigpipeGuard()
    {
        if (sigismember(&m_previous, SIGPIPE) != 1) {
            sigset_t pending;
            sigemptyset(&pending);
            const timespec noWait{0, 0};
            while (sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1
                   && sigtimedwait(&m_pipe, nullptr, &noWait) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }

    SigpipeGuard(const SigpipeGuard &) = delete;
    SigpipeGuard &operator=(const SigpipeGuard &) = delete;

private:
    sigset_t m_pipe;
    sigset_t m_previous;
};

} // namespace

struct FtpCourier::Private
{
    std::string host;
    std::uint16_t port = 21;
    std::string user;
    std::string password;
    int timeoutSeconds = defaultTimeoutSeconds;
    std::string workingDir;
    int bufferSize = defaultBufferSize;

    std::unique_ptr<Poco::Net::FTPClientSession> session;
    std::string loginFolder;

    // abort() reaches the sockets of the call in progress through these copies (they share
    // the session's sockets). They are dropped, under the lock, before the session closes
    // a socket, so abort() never touches a closed descriptor.
    std::atomic<bool> aborted{false};
    std::mutex socketsMutex;
    std::optional<Poco::Net::StreamSocket> control;
    std::optional<Poco::Net::StreamSocket> data;

    Poco::Timespan timeout() const
    {
        return Poco::Timespan(static_cast<long>(timeoutSeconds), 0);
    }

    void throwIfAborted() const
    {
        if (aborted)
            fail(Kind::Aborted, "Invio del file annullato");
    }

    void watch(std::optional<Poco::Net::StreamSocket> &slot, const Poco::Net::StreamSocket &socket)
    {
        std::lock_guard<std::mutex> lock(socketsMutex);
        slot = socket;
    }

    void unwatch(std::optional<Poco::Net::StreamSocket> &slot)
    {
        std::lock_guard<std::mutex> lock(socketsMutex);
        slot.reset();
    }

    void shutdownWatched()
    {
        std::lock_guard<std::mutex> lock(socketsMutex);
        for (std::optional<Poco::Net::StreamSocket> *slot : {&data, &control}) {
            if (!*slot)
                continue;
            try {
                (*slot)->shutdown();
            } catch (const Poco::Exception &) {
                // already closed by the peer: nothing left to stop
            }
        }
    }

    // Closes the connection without waiting for the server: a broken or stuck connection
    // would otherwise hold the caller for a whole time-out on the way out.
    void discardSession()
    {
        {
            std::lock_guard<std::mutex> lock(socketsMutex);
            for (std::optional<Poco::Net::StreamSocket> *slot : {&data, &control}) {
                if (!*slot)
                    continue;
                try {
                    (*slot)->shutdown();
                } catch (const Poco::Exception &) {
                }
                slot->reset();
            }
        }
        session.reset();
        loginFolder.clear();
    }

    std::string resolve(const std::string &name) const
    {
        if (!name.empty() && name.front() == '/')
            return name;
        std::string path = loginFolder.empty() ? std::string("/") : loginFolder;
        if (path.back() != '/')
            path += '/';
        return path + name;
    }

    std::string serverName() const { return host + ":" + std::to_string(port); }

    // Turns the exception being handled into an FtpCourierException and throws it. The
    // connection is kept only after a plain refusal, when it is still in order.
    [[noreturn]] void failed(Phase phase, const std::string &subject)
    {
        try {
            try {
                throw;
            } catch (const FtpCourierException &) {
                throw;
            } catch (const Poco::TimeoutException &) {
                fail(Kind::TimedOut, "Il server FTP " + serverName() + " non ha risposto entro "
                                         + std::to_string(timeoutSeconds) + " secondi");
            } catch (const Poco::Net::FTPException &e) {
                failedReply(phase, subject, e.code(), e.message());
            } catch (const Poco::IOException &e) {
                fail(Kind::ConnectionLost,
                     "Connessione al server FTP " + serverName() + " interrotta: " + e.displayText());
            } catch (const Poco::Exception &e) {
                fail(Kind::Protocol, "Errore nella comunicazione con il server FTP " + serverName()
                                         + ": " + e.displayText());
            } catch (const std::exception &e) {
                fail(Kind::Protocol, "Errore nella comunicazione con il server FTP " + serverName()
                                         + ": " + e.what());
            }
        } catch (const FtpCourierException &e) {
            const bool keep = !aborted && (e.kind == Kind::Refused || e.kind == Kind::NotFound);
            if (!keep)
                discardSession();
            throwIfAborted(); // whatever broke after abort() is the abort's doing
            throw;
        }
    }

    // A reply of the server that is not the expected one.
    [[noreturn]] void failedReply(Phase phase, const std::string &subject, int status,
                                  const std::string &response) const
    {
        const std::string code = status > 0 ? std::to_string(status) : std::string();
        const std::string said = trimmed(response);
        if (status <= 0)
            fail(Kind::ConnectionLost,
                 "Connessione al server FTP " + serverName() + " chiusa dal server", code);
        if (status / 100 == 4)
            fail(Kind::ServerBusy, "Il server FTP non è al momento disponibile: " + said, code);
        if (status / 100 != 5)
            fail(Kind::Protocol, "Risposta inattesa del server FTP: " + said, code);
        switch (phase) {
        case Phase::Connect:
        case Phase::Login:
            fail(Kind::LoginRefused, "Accesso al server FTP " + serverName() + " negato: " + said, code);
        case Phase::WorkingDir:
            fail(Kind::Refused, "Cartella " + subject + " non accessibile sul server FTP: " + said, code);
        case Phase::Transfer:
            fail(Kind::Refused, "Invio di " + subject + " rifiutato dal server FTP: " + said, code);
        case Phase::Command:
            break;
        }
        fail(Kind::Refused, "Operazione su " + subject + " rifiutata dal server FTP: " + said, code);
    }

    // A command on the open connection; its reply status, or a failure.
    int command(Phase phase, const std::string &subject, const std::string &name,
                const std::string &argument, std::string &response)
    {
        int status = 0;
        try {
            status = session->sendCommand(name, argument, response);
        } catch (...) {
            failed(phase, subject);
        }
        throwIfAborted();
        if (status <= 0) {
            try {
                throw Poco::Net::FTPException("no reply", response, status);
            } catch (...) {
                failed(phase, subject);
            }
        }
        return status;
    }

    Poco::Net::StreamSocket connectSocket()
    {
        Poco::Net::SocketAddress address;
        try {
            address = Poco::Net::SocketAddress(host, port);
        } catch (const Poco::Exception &e) {
            fail(Kind::ConnectionLost, "Server FTP " + serverName() + " non trovato: " + e.displayText());
        }

        Poco::Net::StreamSocket socket(address.family());
        watch(control, socket);
        try {
            socket.connectNB(address);
            // Wait in short steps, so that abort() is seen while the server is silent.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
            while (!socket.poll(Poco::Timespan(0, 50000),
                                Poco::Net::Socket::SELECT_WRITE | Poco::Net::Socket::SELECT_ERROR)) {
                throwIfAborted();
                if (std::chrono::steady_clock::now() >= deadline)
                    throw Poco::TimeoutException("connect");
            }
            throwIfAborted();
            const int error = socket.impl()->socketError();
            if (error != 0)
                fail(Kind::ConnectionLost, "Impossibile connettersi al server FTP " + serverName() + ": "
                                               + std::strerror(error));
            socket.setBlocking(true);
            socket.setSendTimeout(timeout());
            socket.setReceiveTimeout(timeout());
        } catch (...) {
            unwatch(control);
            failed(Phase::Connect, serverName());
        }
        return socket;
    }

    void connect()
    {
        throwIfAborted();
        const Poco::Net::StreamSocket socket = connectSocket();
        try {
            // The greeting is read here, with this courier's time-out; the session then
            // starts at the login.
            Poco::Net::DialogSocket greeting(socket);
            std::string response;
            const int status = greeting.receiveStatusMessage(response);
            if (status / 100 != 2)
                throw Poco::Net::FTPException("greeting", response, status);
        } catch (...) {
            failed(Phase::Connect, serverName());
        }
        try {
            session = std::make_unique<Poco::Net::FTPClientSession>(socket, false);
            session->setTimeout(timeout());
            session->setPassive(true);
            session->login(user, password);
            session->setFileType(Poco::Net::FTPClientSession::TYPE_BINARY);
            loginFolder = session->getWorkingDirectory();
        } catch (...) {
            failed(Phase::Login, user);
        }
        throwIfAborted();
        if (!workingDir.empty()) {
            const std::string folder = resolve(workingDir);
            try {
                session->setWorkingDirectory(folder);
            } catch (...) {
                failed(Phase::WorkingDir, folder);
            }
        }
    }

    // An open, logged-in connection: the one kept from the last call when it still answers,
    // otherwise a new one.
    void ensureSession()
    {
        throwIfAborted();
        if (session) {
            int status = 0;
            try {
                std::string response;
                session->setTimeout(timeout());
                status = session->sendCommand("NOOP", response);
            } catch (const Poco::Exception &) {
                status = 0;
            }
            throwIfAborted();
            if (status / 100 == 2)
                return;
            discardSession();
        }
        connect();
    }

    void sendAll(Poco::Net::StreamSocket &socket, const char *bytes, qint64 length)
    {
        while (length > 0) {
            const int chunk = static_cast<int>(std::min<qint64>(length, 1 << 30));
            const int sent = socket.sendBytes(bytes, chunk, MSG_NOSIGNAL);
            if (sent <= 0)
                throw Poco::Net::ConnectionResetException("data connection");
            bytes += sent;
            length -= sent;
        }
    }
};

FtpCourier::FtpCourier(std::string host, std::uint16_t port, std::string user,
                       std::string password, QObject *parent)
    : QObject(parent), d(std::make_unique<Private>())
{
    d->host = std::move(host);
    d->port = port;
    d->user = std::move(user);
    d->password = std::move(password);
}

// The connection is closed without a goodbye: waiting for the server's answer could hold
// the thread that destroys the courier for a whole time-out.
FtpCourier::~FtpCourier()
{
    if (!d->session)
        return;
    SigpipeGuard guard;
    d->discardSession();
}

void FtpCourier::setTimeout(int seconds)
{
    d->timeoutSeconds = seconds > 0 ? seconds : defaultTimeoutSeconds;
}

void FtpCourier::setWorkingDir(const std::string &folder)
{
    if (folder == d->workingDir)
        return;
    d->workingDir = folder;
    if (d->session) {
        SigpipeGuard guard;
        d->discardSession(); // the next call checks the new folder on a new connection
    }
}

void FtpCourier::setTransferBufferSize(int bytes)
{
    d->bufferSize = bytes > 0 ? bytes : defaultBufferSize;
}

void FtpCourier::uploadFile(const std::string &localPath, const std::string &remoteName,
                            bool overwrite)
{
    SigpipeGuard guard;
    d->throwIfAborted();

    QFile file(QString::fromUtf8(localPath.data(), static_cast<int>(localPath.size())));
    if (!file.open(QIODevice::ReadOnly))
        fail(Kind::LocalFile, "Impossibile leggere il file " + localPath + ": "
                                  + file.errorString().toStdString());
    const qint64 fileSize = file.size();

    d->ensureSession();
    const std::string path = d->resolve(remoteName);

    if (!overwrite) {
        std::string response;
        const int status = d->command(Phase::Transfer, path, "SIZE", path, response);
        if (status / 100 == 2)
            fail(Kind::Refused, "Il file " + path + " esiste già sul server FTP");
    }

    try {
        std::ostream &stream = d->session->beginUpload(path);
        {
            // A handle of our own on the data connection: SocketStream::socket() hands out the
            // stream's socket without a reference of its own, and the stream would later
            // release a socket already freed. The handle takes the reference added here.
            Poco::Net::StreamSocketImpl *impl = dynamic_cast<Poco::Net::SocketStream &>(stream).rdbuf()->socketImpl();
            impl->duplicate();
            Poco::Net::StreamSocket data(impl);
            d->watch(d->data, data);
            d->throwIfAborted();
            data.setSendTimeout(d->timeout());

            emit onFileProgress(fileSize, 0);
            std::vector<char> buffer(static_cast<size_t>(d->bufferSize));
            qint64 sent = 0;
            for (;;) {
                d->throwIfAborted();
                const qint64 read = file.read(buffer.data(), static_cast<qint64>(buffer.size()));
                if (read < 0)
                    fail(Kind::LocalFile, "Impossibile leggere il file " + localPath + ": "
                                              + file.errorString().toStdString());
                if (read == 0)
                    break;
                d->sendAll(data, buffer.data(), read);
                sent += read;
                emit onFileProgress(fileSize, sent);
            }
            // The end of the data is the end of the file for the server.
            data.shutdownSend();
            d->unwatch(d->data);
        }
        d->session->endUpload();
    } catch (...) {
        d->failed(Phase::Transfer, path);
    }
    d->throwIfAborted();
}

std::int64_t FtpCourier::sizeFile(const std::string &remoteName)
{
    SigpipeGuard guard;
    d->ensureSession();
    const std::string path = d->resolve(remoteName);

    std::string response;
    const int status = d->command(Phase::Command, path, "SIZE", path, response);
    if (status == 550)
        fail(Kind::NotFound, "File " + path + " non trovato sul server FTP: " + trimmed(response), "550");
    if (status != 213) {
        try {
            throw Poco::Net::FTPException("SIZE", response, status);
        } catch (...) {
            d->failed(Phase::Command, path);
        }
    }
    // "213 <size>"
    const std::string text = trimmed(response);
    const size_t digits = text.find_first_of("0123456789", 3);
    if (digits == std::string::npos)
        fail(Kind::Protocol, "Risposta inattesa del server FTP: " + text, "213");
    try {
        return std::stoll(text.substr(digits));
    } catch (const std::exception &) {
        fail(Kind::Protocol, "Risposta inattesa del server FTP: " + text, "213");
    }
}

void FtpCourier::abort()
{
    d->aborted = true;
    d->shutdownWatched();
}
