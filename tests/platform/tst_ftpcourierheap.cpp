// The FTP upload client writes nothing into memory it has already freed: while the check is
// on, the small blocks that the process frees are held back, filled with a pattern, and a
// block whose pattern has changed was written after it was freed. The network library is not
// built with the address sanitizer, so this is the check that sees its late writes.

#include <QtTest>

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "ftpcourier.h"
#include "ftptestserver.h"

namespace {

constexpr unsigned char freedByte = 0xA5;
constexpr std::size_t heldMaxSize = 512;
constexpr std::size_t heldCapacity = 1 << 14;

std::mutex heldMutex;
void *held[heldCapacity];
std::size_t heldCount = 0;
bool holding = false;
std::atomic<int> overflowed{0};

bool stillFreed(void *block)
{
    const auto *bytes = static_cast<const unsigned char *>(block);
    const std::size_t size = malloc_usable_size(block);
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] != freedByte)
            return false;
    }
    return true;
}

void startHolding()
{
    std::lock_guard<std::mutex> lock(heldMutex);
    heldCount = 0;
    overflowed = 0;
    holding = true;
}

// Frees the blocks held back; the number of them that were written after they were freed.
int stopHolding()
{
    std::lock_guard<std::mutex> lock(heldMutex);
    holding = false;
    int written = 0;
    for (std::size_t i = 0; i < heldCount; ++i) {
        if (!stillFreed(held[i]))
            ++written;
        std::free(held[i]);
    }
    heldCount = 0;
    return written;
}

} // namespace

void *operator new(std::size_t size)
{
    if (void *block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}

void operator delete(void *block) noexcept
{
    if (!block)
        return;
    {
        std::lock_guard<std::mutex> lock(heldMutex);
        const std::size_t size = holding ? malloc_usable_size(block) : 0;
        if (holding && size <= heldMaxSize) {
            if (heldCount < heldCapacity) {
                std::memset(block, freedByte, size);
                held[heldCount++] = block;
                return;
            }
            ++overflowed;
        }
    }
    std::free(block);
}

void operator delete(void *block, std::size_t) noexcept
{
    operator delete(block);
}

class TestFtpCourierHeap : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void uploadsWriteNothingIntoFreedMemory_data();
    void uploadsWriteNothingIntoFreedMemory();

private:
    std::unique_ptr<FtpTestServer> m_server;
    QTemporaryDir m_local;
};

void TestFtpCourierHeap::initTestCase()
{
    m_server = std::make_unique<FtpTestServer>();
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
    QVERIFY(m_local.isValid());
}

void TestFtpCourierHeap::uploadsWriteNothingIntoFreedMemory_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("overwrite");
    QTest::newRow("empty file") << 0 << true;
    QTest::newRow("several blocks") << 100000 << true;
    QTest::newRow("new name, not overwritten") << 30000 << false;
}

void TestFtpCourierHeap::uploadsWriteNothingIntoFreedMemory()
{
    QFETCH(int, size);
    QFETCH(bool, overwrite);
    const QString local = m_local.filePath(QStringLiteral("foto.jpg"));
    {
        QFile file(local);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(QByteArray(size, 'k')), qint64(size));
    }
    static int names = 0;
    const std::string path = local.toStdString();

    startHolding();
    std::int64_t stored = -1;
    {
        FtpCourier courier(m_server->host().toStdString(), m_server->port(), m_server->user().toStdString(),
                           m_server->password().toStdString());
        courier.setTimeout(5);
        // Two uploads over one connection, then the size the server has.
        for (int i = 0; i < 2; ++i) {
            const std::string remote = "heap-" + std::to_string(++names);
            courier.uploadFile(path, remote, overwrite);
            stored = courier.sizeFile(remote);
        }
    }
    const int lost = overflowed;
    const int written = stopHolding();

    QCOMPARE(stored, std::int64_t(size));
    QVERIFY2(lost == 0, "more freed blocks than the check can hold");
    QCOMPARE(written, 0);
}

QTEST_GUILESS_MAIN(TestFtpCourierHeap)
#include "tst_ftpcourierheap.moc"
