#include "app/mainwindow.h"
#include "engine/simulation.h"

#include <QApplication>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

TEST(MainWindow, StartsOneSimulationAndShowsItsPreparationLog)
{
    ASSERT_NE(qobject_cast<QApplication *>(QCoreApplication::instance()), nullptr);

    MainWindow window;
    window.show();
    bool ready = false;
    QObject::connect(&window, &MainWindow::simulationReady, [&] { ready = true; });
    QTimer timeout;
    timeout.setSingleShot(true);
    timeout.start(10000);
    while (!ready && timeout.isActive())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_TRUE(ready);
    ASSERT_NE(window.simulation(), nullptr);
    auto *log = window.findChild<QTextEdit *>("teLog");
    ASSERT_NE(log, nullptr);
    // The stages themselves are checked with the simulation; the window shows them all.
    EXPECT_TRUE(log->toPlainText().endsWith("Simulation data preparating DONE!"));
}
