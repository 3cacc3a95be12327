// GoogleTest main for the Qt tests: one application object. The window tests
// run offscreen unless a platform is chosen (screenshots run them on a real X
// server); the database tests, built with QUARN_TEST_CORE_APPLICATION, need
// no windows, only the object that Qt SQL loads its drivers through.
#ifdef QUARN_TEST_CORE_APPLICATION
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#else
#include <QApplication>
using TestApplication = QApplication;
#endif

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
#ifndef QUARN_TEST_CORE_APPLICATION
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    TestApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
