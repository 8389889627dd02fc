#pragma once

#include <QString>

#include <functional>

// Sign-in and sign-out against the service's web login, keeping the session cookie `remixsid` and the user
// number cookie `l` in the shared state. Both block their caller.
namespace Session {

struct SignInResult
{
    enum Outcome { Unreachable, Failed, SignedIn };
    Outcome outcome = Failed;
    long probeCode = 0;
    // Why a sign-in failed, in the user's words: the probe's or the login's network error ("Connection
    // refused", "Timeout was reached" …), the probe's status, or that the service opened no session (which is
    // what wrong credentials look like). Empty after a sign-in.
    QString cause;
};

// Probes the service, empties the cookie store, sends the login request and scans the cookies. Logs
// "Код ответа для <host>: <code>", then (unless unreachable) "SID: <sid>" and "UID: <uid>", and on a failure
// "Причина: <cause>".
SignInResult signIn(const QString &email, const QString &password);

// Sends the logout request, empties the cookie store and the session; logs "Оффлайн". Always ends signed out.
void signOut();

// "<HOST>.rest недоступен на вашем устройстве": the overlay's details when the probe fails.
QString unreachableDetails();

// The login request's address for these credentials (both escaped in two stages).
QString loginUrl(const QString &email, const QString &password);

extern const char *const errorLogLine;

// Called inside the sign-in's guarded steps, right before the cookie scan; tests use it to raise an exception
// there. nullptr removes it.
void setBeforeCookieScan(std::function<void()> hook);

} // namespace Session
