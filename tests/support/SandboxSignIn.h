#pragma once

#include "TestSupport.h"

#include "core/GlobalData.h"
#include "net/Http.h"
#include "sandbox/Sandbox.h"
#include "service/ServiceEndpoints.h"

#include <gtest/gtest.h>

namespace TestSupport {

// Signs in with the sandbox's own account; true when a session came back.
inline bool signInToSandbox()
{
    const Sandbox::Account account = Sandbox::defaultAccount();
    return signIn(QString::fromStdString(account.email), QString::fromStdString(account.password));
}

// A sandbox on a free port that every service address points at, with no session or cookie left from before;
// signed in with the sandbox's account unless the fixture says otherwise.
class ServiceSandboxTest : public ::testing::Test
{
protected:
    explicit ServiceSandboxTest(bool signedIn = true) : m_signedIn(signedIn) {}

    void SetUp() override
    {
        ASSERT_TRUE(sandbox.start());
        ASSERT_TRUE(ServiceEndpoints::useServiceBase(base()));
        global = GlobalData::sharedGlobalData();
        global->setVksid(QString());
        global->setVkuid(QString());
        Http::deleteAllCookies();
        if (m_signedIn)
            signIn();
    }

    QString base() const { return QString::fromStdString(sandbox.baseUrl()); }
    void signIn() { ASSERT_TRUE(signInToSandbox()); }

    Sandbox sandbox;
    GlobalData *global = nullptr;

private:
    bool m_signedIn;
};

} // namespace TestSupport
