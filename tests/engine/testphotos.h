#pragma once

#include <QSize>
#include <QString>

// Files for the upload tests and the benchmark: photo-like JPEGs (gradients and fine detail,
// so that they compress like photographs) and files of arbitrary bytes.
namespace testphotos {

// Writes a JPEG of the given size; a different seed gives a different picture.
bool writePhoto(const QString &path, const QSize &size, int seed, int quality = 90);

// Writes `bytes` bytes that do not compress.
bool writeBytes(const QString &path, qint64 bytes, int seed);

} // namespace testphotos
