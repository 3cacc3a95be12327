// Test entry for the window tests: a QApplication on the offscreen platform.
// With QUARN_NO_NETWORK the process first moves into a network namespace of its
// own, so no adapter exists and nothing touches the machine's interfaces.
#include <QApplication>

#include <gtest/gtest.h>

#include <sched.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
#ifdef QUARN_NO_NETWORK
    // Without root there is no packet socket, so no adapter either.
    if (geteuid() == 0 && unshare(CLONE_NEWNET) != 0) {
        perror("unshare(CLONE_NEWNET)");
        return 1;
    }
#endif
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
