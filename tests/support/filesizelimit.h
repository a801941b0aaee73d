#pragma once

#include <QtGlobal>

#include <sys/resource.h>

// Lowers the process's file-size limit for its lifetime, so that a write past that many bytes
// fails with EFBIG (SIGXFSZ ignored meanwhile). Tests run as root, where permission bits stop
// nothing: this is how a test makes a write fail. The limit applies to the whole process, so
// keep other threads from writing larger files while one is in place.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    Q_DISABLE_COPY(FileSizeLimit)

    bool ok() const { return m_ok; }

private:
    rlimit m_old {};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};
