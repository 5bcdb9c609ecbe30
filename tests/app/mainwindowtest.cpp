// The window driven as a user would: the start dialog, the panels, the map and the live plot on
// the bundled city, with the real run and its step loop behind them.

#include "app/mainwindow.h"
#include "app/fileopenerdialog.h"
#include "app/liveplot.h"
#include "app/metatypes.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkProxy>
#include <QPushButton>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimeEdit>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace {

bool waitFor(const std::function<bool()> &condition, int timeoutMs = 20000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void pause(int ms)
{
    waitFor([] { return false; }, ms);
}

/// Keeps the map's tile requests on this machine: every HTTP request goes through a proxy on the
/// loopback interface that answers "404 Not Found", and the response cache goes to a test folder.
class NoTileServer
{
public:
    NoTileServer() : previous(QNetworkProxy::applicationProxy())
    {
        QStandardPaths::setTestModeEnabled(true);
        proxy.listen(QHostAddress::LocalHost);
        QObject::connect(&proxy, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *socket = proxy.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    socket->readAll();
                    socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                    socket->disconnectFromHost();
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), proxy.serverPort()));
    }
    ~NoTileServer() { QNetworkProxy::setApplicationProxy(previous); }

private:
    QTcpServer proxy;
    QNetworkProxy previous;
};

/// A working folder holding the bundled inputs under ./data, as the program expects them, so
/// that tiles and other files the window writes stay out of the source tree.
class BundledDataFolder
{
public:
    BundledDataFolder() : previous(QDir::currentPath())
    {
        registerMetaTypes();
        QDir(folder.path()).mkdir(QStringLiteral("data"));
        for (const char *name : {"kesta_center_2014-04-15_compressed_edited.osm", "schedules.xml"})
            QFile::link(QStringLiteral(KOLVEX_SOURCE_DIR "/data/%1").arg(QLatin1String(name)),
                        folder.filePath(QStringLiteral("data/%1").arg(QLatin1String(name))));
        QDir::setCurrent(folder.path());
    }
    ~BundledDataFolder() { QDir::setCurrent(previous); }

    QString path(const QString &name) const { return folder.filePath(name); }

private:
    NoTileServer tiles;
    QTemporaryDir folder;
    QString previous;
};

template <typename W> W *child(QObject *parent, const char *name)
{
    W *w = parent->findChild<W *>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

int number(QObject *window, const char *label)
{
    return child<QLabel>(window, label)->text().toInt();
}

/// Answers the next file chooser with `path`, as the user would by typing it.
void chooseFileWith(QPushButton *chooser, const QString &path)
{
    QTimer::singleShot(0, [path] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(path);
        static_cast<QDialog *>(dialog)->accept(); // as the Open button does
    });
    chooser->click();
}

} // namespace

TEST(MainWindow, RunsTheBundledCityFromTheStartDialogToClosingWhileRunning)
{
    BundledDataFolder data;
    auto window = std::make_unique<MainWindow>();
    window->show();
    auto *dialog = window->findChild<FileOpenerDialog *>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(child<QLineEdit>(dialog, "leOSMFilePath")->text(),
              "./data/kesta_center_2014-04-15_compressed_edited.osm");
    EXPECT_EQ(child<QTimeEdit>(dialog, "teSimInitTime")->time(), QTime(14, 0));
    child<QTimeEdit>(dialog, "teSimInitTime")->setTime(QTime(8, 30));
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(dialog, &escape);
    EXPECT_TRUE(dialog->isVisible()) << "nothing would be left to start a run";
    auto *startSim = child<QPushButton>(dialog, "btnStartSimulation");
    ASSERT_TRUE(startSim->isEnabled());
    startSim->click();
    EXPECT_FALSE(child<QPushButton>(dialog, "btnChooseOSMFile")->isEnabled());
    ASSERT_TRUE(waitFor([&] { return !dialog->isVisible(); })) << "the run was not prepared";
    const QStringList log = child<QTextEdit>(dialog, "teLog")->toPlainText().split('\n');
    ASSERT_EQ(log.size(), 9);
    EXPECT_EQ(log.front(), "Parsing schedules...");
    EXPECT_EQ(log.back(), "Simulation data preparating DONE!");
    QObject *w = window.get();
    EXPECT_EQ(child<QLabel>(w, "lSimTime")->text(), "08:30:00.000");
    EXPECT_EQ(child<QLabel>(w, "lSimStep")->text(), "0");
    EXPECT_EQ(child<QLabel>(w, "stepSizeLabel")->text(), "1.0x");

    // Faster: the label follows the step loop's answer.
    auto *faster = child<QPushButton>(w, "decStepButton");
    for (const char *label : {"2.0x", "4.0x", "8.1x"}) {
        faster->click();
        EXPECT_TRUE(waitFor([&] { return child<QLabel>(w, "stepSizeLabel")->text() == label; })) << label;
    }

    auto *start = child<QPushButton>(w, "startButton");
    auto *stop = child<QPushButton>(w, "stopButton");
    auto *step = child<QPushButton>(w, "stepButton");
    const int vehiclesAtStart = number(w, "lVehicleCount");
    start->click();
    EXPECT_TRUE(waitFor([&] {
        return number(w, "lSimStep") >= 40 && number(w, "lVehicleCount") > vehiclesAtStart &&
               number(w, "lCarCount") > 0;
    })) << "steps "
        << number(w, "lSimStep") << ", vehicles " << number(w, "lVehicleCount");
    EXPECT_EQ(number(w, "lVehicleCount"), number(w, "lCarCount") + number(w, "lBusCount") + number(w, "lTramCount"));
    EXPECT_NE(child<QLabel>(w, "lSimTime")->text(), "08:30:00.000");

    stop->click();
    EXPECT_TRUE(start->isEnabled() && step->isEnabled() && !stop->isEnabled());
    // A step armed before the stop still runs; then the count holds still.
    pause(200);
    const int stopped = number(w, "lSimStep");
    step->click();
    EXPECT_TRUE(waitFor([&] { return number(w, "lSimStep") == stopped + 1; }));
    pause(200);
    EXPECT_EQ(number(w, "lSimStep"), stopped + 1);

    child<QPushButton>(w, "incStepButton")->click();
    EXPECT_TRUE(waitFor([&] { return child<QLabel>(w, "stepSizeLabel")->text() == "4.0x"; }));

    // The live plot follows the info panel; hidden, it keeps collecting.
    auto *plot = child<LivePlot>(w, "livePlot");
    EXPECT_GE(plot->sampleCount(), 2);
    auto *dock = child<QDockWidget>(w, "dockLivePlot");
    dock->toggleViewAction()->trigger();
    EXPECT_FALSE(dock->isVisible());
    const int samples = plot->sampleCount();
    for (int i = 1; i <= 8; ++i) {
        step->click();
        ASSERT_TRUE(waitFor([&] { return number(w, "lSimStep") == stopped + 1 + i; }));
    }
    EXPECT_EQ(plot->sampleCount(), samples + 2); // one a simulated second
    dock->toggleViewAction()->trigger();
    EXPECT_TRUE(dock->isVisible());

    // A layer switched off and on again changes the map and brings it back.
    QWidget *map = child<QWidget>(w, "visualization");
    auto *cars = child<QCheckBox>(w, "cbCars");
    ASSERT_TRUE(cars->isChecked());
    const QImage withCars = map->grab().toImage();
    cars->click();
    const QImage withoutCars = map->grab().toImage();
    cars->click();
    EXPECT_NE(withCars, withoutCars);
    EXPECT_EQ(map->grab().toImage(), withCars);

    // Closing while the loop runs stops and frees the run.
    start->click();
    const int running = number(w, "lSimStep");
    EXPECT_TRUE(waitFor([&] { return number(w, "lSimStep") > running + 4; }));
    window->close();
    window.reset();
}

TEST(MainWindow, AnUnreadableOrUnusableInputIsReportedAndAnotherFileCanBeChosen)
{
    BundledDataFolder data;
    MainWindow window;
    window.show();
    auto *dialog = window.findChild<FileOpenerDialog *>();
    ASSERT_NE(dialog, nullptr);
    auto *startSim = child<QPushButton>(dialog, "btnStartSimulation");
    auto *chooseMap = child<QPushButton>(dialog, "btnChooseOSMFile");
    auto *logView = child<QTextEdit>(dialog, "teLog");
    auto failure = [&] { return dialog->findChild<QMessageBox *>("mbFailure"); };

    struct Case
    {
        const char *content; ///< null: the file is gone by the time Start Sim is pressed
        const char *message;
    };
    const Case cases[] = {
        {nullptr, "Cannot read the map file"},
        {"this is not a map", "No road network could be built from the map file"},
    };
    for (const Case &c : cases) {
        const QString path = data.path(QStringLiteral("chosen.osm"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.content ? c.content : "");
        file.close();
        chooseFileWith(chooseMap, path);
        EXPECT_EQ(child<QLineEdit>(dialog, "leOSMFilePath")->text(), path);
        if (!c.content)
            QFile::remove(path);
        startSim->click();
        ASSERT_TRUE(waitFor([&] { return failure() && failure()->isVisible(); })) << c.message;
        EXPECT_TRUE(failure()->text().contains(c.message)) << failure()->text().toStdString();
        EXPECT_TRUE(logView->toPlainText().contains(c.message));
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(window.simulation(), nullptr);
        EXPECT_TRUE(startSim->isEnabled());
        failure()->accept();
        waitFor([&] { return !failure(); }, 2000);
    }

    // Cancelling the chooser keeps the path; the bundled map then starts the run.
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    chooseMap->click();
    EXPECT_EQ(dialog->osmFilePath(), data.path("chosen.osm"));
    chooseFileWith(chooseMap, data.path("data/kesta_center_2014-04-15_compressed_edited.osm"));
    startSim->click();
    EXPECT_TRUE(waitFor([&] { return !dialog->isVisible(); }));
    EXPECT_NE(window.simulation(), nullptr);
}

TEST(MainWindow, AboutNamesProgramVersionLicenceAndMapAttribution)
{
    BundledDataFolder data;
    MainWindow window;
    window.show();
    QString text;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        text = box->text() + box->informativeText();
        box->accept();
    });
    child<QAction>(&window, "actionAbout")->trigger();
    for (const char *part :
         {"Kolvex " KOLVEX_VERSION_TEXT, "General Public License", "© OpenStreetMap contributors", "ODbL"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << part << " in " << text.toStdString();
}
