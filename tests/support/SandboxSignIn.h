#pragma once

#include "TestSupport.h"

#include "sandbox/Sandbox.h"

namespace TestSupport {

// Signs in with the sandbox's own account; true when a session came back.
inline bool signInToSandbox()
{
    const Sandbox::Account account = Sandbox::defaultAccount();
    return signIn(QString::fromStdString(account.email), QString::fromStdString(account.password));
}

} // namespace TestSupport
