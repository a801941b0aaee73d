#pragma once

#include <QObject>

#include <cstdint>
#include <memory>
#include <string>

#include "ftpcourier_export.h"
#include "ftpcourierexception.h"

// Uploads files to an FTP server: passive mode, binary type, one control connection kept
// open between calls and opened again after a failure. Every failure is thrown as
// FtpCourierException.
//
// Remote names are paths from the login folder (or absolute, when they start with "/"),
// whatever the working folder: setWorkingDir only names the folder that must exist on the
// server before anything is sent. A caller that puts its working folder in front of each
// remote name therefore gets each file where the name says, never in the folder twice.
//
// The calls are made from one thread at a time; abort() may be called from any thread.
class FTPCOURIER_EXPORT FtpCourier : public QObject
{
    Q_OBJECT

public:
    FtpCourier(std::string host, std::uint16_t port, std::string user, std::string password,
               QObject *parent = nullptr);
    ~FtpCourier() override;

    // Seconds allowed for connecting and for each answer or block of data sent; default 30.
    void setTimeout(int seconds);
    // Folder of the uploads, absolute or relative to the login folder; empty: the login folder.
    void setWorkingDir(const std::string &folder);
    // Bytes read from the file and sent at a time, and so between two progress signals;
    // 0 or less selects the default of 16384.
    void setTransferBufferSize(int bytes);

    // Sends the local file (a UTF-8 path) to the remote name. With overwrite false, a remote
    // file of that name is left alone and the upload refused. Emits onFileProgress with 0
    // bytes sent at the start and after each block.
    void uploadFile(const std::string &localPath, const std::string &remoteName, bool overwrite);
    // Size in bytes of the remote file; Kind::NotFound when there is none.
    std::int64_t sizeFile(const std::string &remoteName);

    // Stops this courier: the call in progress, if any, returns promptly with Kind::Aborted,
    // and so does every later call. Safe from any thread.
    void abort();

signals:
    void onFileProgress(qint64 fileSize, qint64 bytesSent);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
