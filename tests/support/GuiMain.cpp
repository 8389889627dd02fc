#include "core/Pacing.h"
#include "TestSupport.h"
#include <QGuiApplication>
#include <QQmlExtensionPlugin>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <clocale>

// The window's views and their types, for the tests that draw them.
Q_IMPORT_QML_PLUGIN(MelodropPlugin)

int main(int argc, char **argv)
{
    QStandardPaths::setTestModeEnabled(true);
    TestSupport::isolateSessionBus();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    if (qEnvironmentVariableIsEmpty("MELODROP_CLI"))
        qputenv("MELODROP_CLI", MELODROP_CLI_PATH);
    if (qEnvironmentVariableIsEmpty("MELODROP_SANDBOX"))
        qputenv("MELODROP_SANDBOX", MELODROP_SANDBOX_PATH);
    qputenv("MELODROP_MPV_AO", "null"); // tests never make sound
    Pacing::setScale(0);                // the deliberate pauses are the product's, not the suite's
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C"); // for libmpv, after the application object set the locale
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
