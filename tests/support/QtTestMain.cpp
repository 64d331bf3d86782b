#include <QCoreApplication>

#ifdef QT_WIDGETS_LIB
#include <QApplication>
#endif

#include <gtest/gtest.h>

// Tests of Qt adapters need an application object; widgets need the GUI one (offscreen).
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
#ifdef QT_WIDGETS_LIB
    // Widgets need a display platform even when the test runner lists the tests.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
