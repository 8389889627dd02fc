#pragma once

#include "NetPages.h"
#include "TestSupport.h"

#include "sandbox/Sandbox.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utility>

// Runs of the command-line client against a sandbox of its own and a documents root of its own, and readers
// of the JSON lines it prints.
namespace TestSupport {

// The exit code and what was printed, to compare at once.
inline std::pair<int, QString> result(const CliRun &run)
{
    return {run.exitCode, run.out};
}

// Every output line must be one JSON array of `width` texts.
inline QList<QStringList> jsonArrays(const CliRun &run, int width = 7)
{
    QList<QStringList> result;
    for (const QString &line : run.out.split('\n', Qt::SkipEmptyParts)) {
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8());
        EXPECT_TRUE(document.isArray()) << line.toStdString();
        QStringList texts;
        for (const QJsonValue &value : document.array()) {
            EXPECT_TRUE(value.isString()) << line.toStdString();
            texts << value.toString();
        }
        EXPECT_EQ(texts.size(), width) << line.toStdString();
        result << texts;
    }
    return result;
}

// Every output line must be one JSON string.
inline QStringList jsonStrings(const CliRun &run)
{
    QStringList result;
    for (const QString &line : run.out.split('\n', Qt::SkipEmptyParts))
        result << jsonArrays({run.exitCode, "[" + line + "]", QString()}, 1).value(0).value(0);
    return result;
}

class CliSandboxTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(qEnvironmentVariable("MELODROP_CLI").isEmpty());
        ASSERT_TRUE(sandbox.start());
        base = QString::fromStdString(sandbox.baseUrl());
    }

    static CliRun cli(const QStringList &args, const QByteArray &input = QByteArray())
    {
        return runCli(args, input);
    }
    QStringList withRoot(const QStringList &args) const
    {
        return QStringList({"--root", root.path()}) + args;
    }
    QStringList withBase(const QStringList &args) const
    {
        return QStringList({"--service-base", base}) + withRoot(args);
    }
    // With the sandbox's own account, so that the client signs in first.
    QStringList signedIn(const QStringList &args) const
    {
        const Sandbox::Account account = Sandbox::defaultAccount();
        return withBase(QStringList({"--email", QString::fromStdString(account.email), "--password",
                                     QString::fromStdString(account.password)}) +
                        args);
    }

    Sandbox sandbox;
    QString base;
    QTemporaryDir root;
};

} // namespace TestSupport
