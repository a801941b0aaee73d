#pragma once

class Utente;

// The logged-in customer (KorvexGlobals::utente) and the upload queue that works for it.
// A customer object is deleted only once no upload worker can be reading it.
namespace Session {

// Makes utente the logged-in customer (the program owns it from now on). The previous
// customer, if another one, is deleted after the upload queue has stopped sending.
void replaceUtente(Utente *utente);

// Deletes the logged-in customer, once the upload queue has stopped sending; nobody is
// logged in afterwards.
void releaseUtente();

// Asks the upload queue to stop sending and returns once its worker thread has ended (an
// FTP transfer is aborted at once, a service call ends within its time-out), or after
// timeoutMs (-1: no limit). The order being sent stays queued and resumes at the next start.
// False when the worker still runs.
bool stopUploads(int timeoutMs = -1);

} // namespace Session
