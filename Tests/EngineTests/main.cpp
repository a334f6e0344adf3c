#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // The real scheduler needs an event loop; the engine tests run without one in virtual time.
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Mofli");
    QCoreApplication::setApplicationName("Mofli");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
