#pragma once

#include <QString>

#include "ordinilocal.h"

class QMutex;

// Reading and rewriting of order files by the upload engine.
//
// The worker thread records the progress of the order it sends in the order file while
// the GUI thread may rewrite the same file (the queue's priorities, the windows). Every
// read-modify-write of an order file by the engine holds orderFileMutex(), and changes
// only the fields that its writer owns, on the file as it is on disk at that moment.
namespace OrdineFile {

// The engine's lock over reading and rewriting an order file.
QMutex &orderFileMutex();

// Path of the order file of uuid in folder.
QString path(const QString &folder, const QString &uuid);

// Reads and parses an order file. False when the file is missing, cannot be opened or does
// not parse; error then says why (may be empty for a missing file).
bool read(const QString &filePath, OrdiniLocal &store, OrdiniLocal::OrdineLocal &ordine,
          QString *error = nullptr);

} // namespace OrdineFile
