// The window driven as a user would: the start dialog, the panels and the map on the bundled
// city, with the real run and its step loop behind them.

#include "app/mainwindow.h"
#include "app/fileopenerdialog.h"
#include "app/metatypes.h"
#include "app/renderoptionsdialog.h"
#include "app/simvisualizationcontrol.h"
#include "app/usersettings.h"
#include "engine/bundleddata.h"
#include "engine/simulation.h"
#include "engine/simulationcontrol.h"
#include "engine/stepframe.h"
#include "map/visualization.h"
#include "model/simulationdata.h"
#include "report/diagnostics.h"
#include "tests/loopbacktileserver.h"
#include "timetable/scheduleparser.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimeEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>

namespace {

/// Keeps what the window remembers between starts in a folder of the test's own, never the user's.
class OwnSettings
{
public:
    OwnSettings() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path()); }

private:
    QTemporaryDir folder;
};

/// A working folder holding the bundled inputs under ./data, as the program expects them, so that
/// files the window writes stay out of the source tree; every tile request of the map goes to a
/// server on the loopback interface that answers "404 Not Found".
class BundledDataFolder
{
public:
    BundledDataFolder() : previous(QDir::currentPath())
    {
        registerMetaTypes();
        QStandardPaths::setTestModeEnabled(true);
        tiles.setHandler([](const LoopbackTileServer::Request &) {
            return LoopbackTileServer::Answer{404, {}, false};
        });
        QDir(folder.path()).mkdir(QStringLiteral("data"));
        for (const char *name : {"kesta_center_2014-04-15_compressed_edited.osm", "schedules.xml"})
            QFile::link(QStringLiteral(KOLVEX_SOURCE_DIR "/data/%1").arg(QLatin1String(name)),
                        folder.filePath(QStringLiteral("data/%1").arg(QLatin1String(name))));
        QDir::setCurrent(folder.path());
    }
    ~BundledDataFolder() { QDir::setCurrent(previous); }

    QString path(const QString &name) const { return folder.filePath(name); }

private:
    OwnSettings settings;
    LoopbackTileServer tiles;
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

/// Answers the next modal dialog with `answer`, as the user would.
void answerNextDialog(const std::function<void(QWidget *)> &answer)
{
    QTimer::singleShot(0, [answer] { answer(QApplication::activeModalWidget()); });
}

} // namespace

TEST(MainWindow, RunsTheBundledCityFromTheStartDialogAfterAnUnreadableMapToClosingWhileRunning)
{
    BundledDataFolder data;
    auto window = std::make_unique<MainWindow>();
    window->show();
    auto *dialog = window->findChild<FileOpenerDialog *>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(child<QLineEdit>(dialog, "leOSMFilePath")->text(),
              "./data/kesta_center_2014-04-15_compressed_edited.osm");
    auto *startSim = child<QPushButton>(dialog, "btnStartSimulation");
    auto *chooseMap = child<QPushButton>(dialog, "btnChooseOSMFile");

    const auto choose = [chooseMap](const QString &path) {
        answerNextDialog([path](QWidget *w) {
            auto *chooser = qobject_cast<QFileDialog *>(w);
            ASSERT_NE(chooser, nullptr);
            chooser->selectFile(path);
            static_cast<QDialog *>(chooser)->accept(); // as the Open button does
        });
        chooseMap->click();
    };
    // A map that is gone by the time Start Sim is pressed, or a file that is not a map, is reported, and
    // another can be chosen.
    const QString gone = data.path("gone.osm"), notAMap = data.path("foo.osm");
    QFile(gone).open(QIODevice::WriteOnly);
    QFile foo(notAMap);
    ASSERT_TRUE(foo.open(QIODevice::WriteOnly) && foo.write("<foo/>") == 6);
    foo.close();
    auto failure = [&] { return dialog->findChild<QMessageBox *>("mbFailure"); };
    for (const auto &[path, said] : {std::make_pair(gone, "Cannot read the map file"),
                                     std::make_pair(notAMap, "its root element is <foo>, not <osm>")}) {
        choose(path);
        EXPECT_EQ(dialog->osmFilePath(), path);
        QFile::remove(gone);
        startSim->click();
        ASSERT_TRUE(waitUntil([&] { return failure() && failure()->isVisible(); }, 60000));
        EXPECT_TRUE(failure()->text().contains(said)) << failure()->text().toStdString();
        EXPECT_EQ(window->simulation(), nullptr);
        EXPECT_TRUE(startSim->isEnabled());
        failure()->accept();
        waitUntil([&] { return !failure(); }, 2000);
    }

    choose(data.path("data/kesta_center_2014-04-15_compressed_edited.osm"));
    child<QTimeEdit>(dialog, "teSimInitTime")->setTime(QTime(8, 30));
    child<QSpinBox>(dialog, "sbSeed")->setValue(7);
    startSim->click();
    ASSERT_TRUE(waitUntil([&] { return !dialog->isVisible(); }, 60000)) << "the run was not prepared";
    QObject *w = window.get();
    EXPECT_EQ(child<QLabel>(w, "lSimTime")->text(), "08:30:00.000");
    // What repeats the run is on the panel, and the log says how to repeat it on the console.
    EXPECT_EQ(child<QLabel>(w, "lStartTime")->text(), "08:30:00");
    EXPECT_EQ(child<QLabel>(w, "lSeed")->text(), "7");
    EXPECT_EQ(window->simulation()->runSeed(), 7u);
    const QString log = child<QTextEdit>(dialog, "teLog")->toPlainText();
    EXPECT_TRUE(log.contains("kolvex-headless --osm " +
                             data.path("data/kesta_center_2014-04-15_compressed_edited.osm") +
                             " --schedules ./data/schedules.xml --start 08:30:00 --seed 7"))
        << log.toStdString();
    // What was dropped from the map is said there too, not only on standard error.
    EXPECT_TRUE(log.contains("Dropped way \"7973125\" (line 3277)")) << log.toStdString();
    EXPECT_EQ(child<QLabel>(w, "stepSizeLabel")->text(), "1.0x");

    auto *start = child<QPushButton>(w, "startButton");
    auto *stop = child<QPushButton>(w, "stopButton");
    auto *step = child<QPushButton>(w, "stepButton");
    const int vehiclesAtStart = number(w, "lVehicleCount");
    start->click();
    EXPECT_FALSE(start->isEnabled() || step->isEnabled());
    EXPECT_TRUE(
        waitUntil([&] { return number(w, "lSimStep") >= 40 && number(w, "lVehicleCount") > vehiclesAtStart; }, 60000))
        << "steps " << number(w, "lSimStep") << ", vehicles " << number(w, "lVehicleCount");
    EXPECT_EQ(number(w, "lVehicleCount"), number(w, "lCarCount") + number(w, "lBusCount") + number(w, "lTramCount"));

    stop->click();
    EXPECT_TRUE(start->isEnabled() && step->isEnabled() && !stop->isEnabled());
    // A step armed before the stop still runs: wait until the count holds still, however busy the
    // machine.
    int stopped = number(w, "lSimStep");
    for (int before = -1; before != stopped;) {
        before = stopped;
        waitUntil([] { return false; }, 300);
        stopped = number(w, "lSimStep");
    }
    for (int i = 1; i <= 3; ++i) {
        step->click();
        ASSERT_TRUE(waitUntil([&] { return number(w, "lSimStep") == stopped + i; }, 60000));
    }
    // A layer switched off and on again changes the map and brings it back.
    QWidget *map = child<QWidget>(w, "visualization");
    auto *cars = child<QCheckBox>(w, "cbCars");
    const QImage withCars = map->grab().toImage();
    cars->click();
    EXPECT_NE(map->grab().toImage(), withCars);
    cars->click();
    EXPECT_EQ(map->grab().toImage(), withCars);

    // Closing while the loop runs stops and frees the run.
    start->click();
    // Eight steps take two seconds at real time, longer on a machine busy with other tests.
    EXPECT_TRUE(waitUntil([&] { return number(w, "lSimStep") > stopped + 8; }, 60000));
    window->close();
    window.reset();
    // The next start offers the run's time and seed again.
    MainWindow again;
    EXPECT_EQ(child<QTimeEdit>(&again, "teSimInitTime")->time(), QTime(8, 30));
    EXPECT_EQ(child<QSpinBox>(&again, "sbSeed")->value(), 7);
}

TEST(MainWindow, AboutNamesProgramVersionLicenceAndMapAttribution)
{
    BundledDataFolder data;
    MainWindow window;
    window.show();
    QString text;
    answerNextDialog([&text](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        ASSERT_NE(box, nullptr);
        text = box->text() + box->informativeText();
        box->accept();
    });
    child<QAction>(&window, "actionAbout")->trigger();
    for (const char *part :
         {"Kolvex " KOLVEX_VERSION_TEXT, "General Public License", "© OpenStreetMap contributors", "ODbL"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << part << " in " << text.toStdString();
}

TEST(MainWindow, EveryLayerHasOneBoxInThePanelOrTheRenderOptionsThatSwitchesItAlone)
{
    BundledDataFolder data;
    MainWindow window;
    auto *map = window.findChild<Visualization *>("visualization");
    ASSERT_TRUE(map);
    QList<QCheckBox *> boxes = window.findChild<RenderOptionsDialog *>()->findChildren<QCheckBox *>();
    boxes += window.findChild<SimVisualizationControl *>()->findChildren<QCheckBox *>();
    const auto layers = [map] {
        std::vector<bool> on;
        for (int l = 0; l < Visualization::LayerCount; ++l)
            on.push_back(map->layer(Visualization::Layer(l)));
        return on;
    };
    std::vector<int> switched;
    for (QCheckBox *box : boxes) {
        const std::vector<bool> before = layers();
        box->click();
        const std::vector<bool> after = layers();
        int changed = 0;
        for (int l = 0; l < Visualization::LayerCount; ++l)
            if (before[size_t(l)] != after[size_t(l)]) {
                ++changed;
                switched.push_back(l);
                EXPECT_EQ(after[size_t(l)], box->isChecked()) << box->objectName().toStdString();
            }
        EXPECT_EQ(changed, 1) << box->objectName().toStdString();
    }
    std::sort(switched.begin(), switched.end());
    std::vector<int> every(Visualization::LayerCount);
    std::iota(every.begin(), every.end(), 0);
    EXPECT_EQ(switched, every) << "each box switches one layer, and no layer lacks a box";
}

TEST(MainWindow, StartedFromTheRootFolderHasItsIconAndSaysWhereTheBundledMapWasLookedFor)
{
    registerMetaTypes();
    QStandardPaths::setTestModeEnabled(true);
    OwnSettings settings;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QStringLiteral("/")));
    MainWindow window; // nothing is installed beside the test program
    QDir::setCurrent(previous);
    const QList<QSize> sizes = window.windowIcon().availableSizes();
    for (int size : {16, 32, 48, 64})
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    const QString log = child<QTextEdit>(&window, "teLog")->toPlainText();
    EXPECT_TRUE(log.contains("neither in ./data/ nor in " + BundledData::installedDirectory())) << log.toStdString();
}

TEST(MainWindow, NewSimulationReplacesTheRunWithAnotherMapKeepingLayersAndSpeedAndSaysWhyNoLineWasCreated)
{
    BundledDataFolder data;
    const QString smallMap = data.path("n6w2r2.osm");
    ASSERT_TRUE(QFile::copy(QStringLiteral(KOLVEX_TEST_DATA_DIR "/osm/n6w2r2.osm"), smallMap));
    auto window = std::make_unique<MainWindow>();
    window->show();
    QObject *w = window.get();
    auto *dialog = window->findChild<FileOpenerDialog *>();
    auto *map = window->findChild<Visualization *>("visualization");
    ASSERT_TRUE(dialog && map);
    // The render options work before a run, and the map keeps them for every run.
    auto *cells = child<QCheckBox>(w, "cbCells");
    cells->click();
    EXPECT_TRUE(map->layer(Visualization::Cells));

    child<QPushButton>(dialog, "btnStartSimulation")->click();
    ASSERT_TRUE(waitUntil([&] { return !dialog->isVisible(); }, 60000));
    EXPECT_GT(number(w, "lVehicleCount"), 0); // the city starts with buses and trams under way
    child<QPushButton>(w, "decStepButton")->click();
    EXPECT_TRUE(waitUntil([&] { return child<QLabel>(w, "stepSizeLabel")->text() == "2.0x"; }));
    child<QPushButton>(w, "stepButton")->click();
    ASSERT_TRUE(waitUntil([&] { return number(w, "lSimStep") == 1; }));

    child<QAction>(w, "actionNewSimulation")->trigger();
    EXPECT_TRUE(dialog->isVisible());
    answerNextDialog([&](QWidget *chooser) {
        static_cast<QFileDialog *>(chooser)->selectFile(smallMap);
        static_cast<QDialog *>(chooser)->accept();
    });
    child<QPushButton>(dialog, "btnChooseOSMFile")->click();
    child<QTimeEdit>(dialog, "teSimInitTime")->setTime(QTime(9, 15));
    child<QPushButton>(dialog, "btnStartSimulation")->click();
    // The old run is gone at once: nothing of it is painted while the new one is prepared.
    EXPECT_EQ(map->frame(), nullptr);
    EXPECT_EQ(number(w, "lVehicleCount"), 0);
    auto problems = [&] { return window->findChild<QMessageBox *>("mbProblems"); };
    ASSERT_TRUE(waitUntil([&] { return !dialog->isVisible() && problems(); }, 60000));
    // No schedule of the bundled city has a route on this map: the box and the log say so and why.
    const QString why = problems()->informativeText();
    EXPECT_TRUE(why.contains("No line created from the 114 schedules") && why.contains("no route of that name"))
        << why.toStdString();
    EXPECT_TRUE(child<QTextEdit>(dialog, "teLog")->toPlainText().contains(why));
    problems()->accept();
    // The panel keeps saying it while the run goes on.
    EXPECT_EQ(child<QLabel>(w, "lLines")->text(), "0 of 114");
    const QString leftOut = child<QLabel>(w, "lLinesLeftOut")->text();
    EXPECT_TRUE(leftOut.startsWith("Schedules left out 114: ") && leftOut.contains("no route of that name"))
        << leftOut.toStdString();
    EXPECT_EQ(child<QLabel>(w, "lSimTime")->text(), "09:15:00.000");
    EXPECT_EQ(child<QLabel>(w, "stepSizeLabel")->text(), "2.0x");
    EXPECT_TRUE(cells->isChecked() && map->layer(Visualization::Cells));

    // The counts are the small map's: as many cars as a run of it alone has after the same steps.
    Simulation alone(smallMap, QStringLiteral("data/schedules.xml"), QTime(9, 15));
    alone.prepData();
    alone.startSim();
    for (int i = 0; i < 40; ++i)
        alone.simulationControl()->step();
    const TrafficCounts expected = TrafficCounts::of(*alone.simulationData());
    for (int i = 1; i <= 40; ++i) {
        child<QPushButton>(w, "stepButton")->click();
        ASSERT_TRUE(waitUntil([&] { return number(w, "lSimStep") == i; }));
    }
    EXPECT_EQ(size_t(number(w, "lCarCount")), expected.cars);
    EXPECT_EQ(number(w, "lBusCount") + number(w, "lTramCount"), 0);
    EXPECT_EQ(map->frame()->step, 40);
}

TEST(MainWindow, FileChoosersOfferWhatKolvexReadsWithAllFilesLastAndOpenInTheFolderLastUsed)
{
    BundledDataFolder data;
    const QString maps = data.path("maps");
    ASSERT_TRUE(QDir().mkpath(maps));
    const QString map = maps + "/n6w2r2.osm";
    ASSERT_TRUE(QFile::copy(QStringLiteral(KOLVEX_TEST_DATA_DIR "/osm/n6w2r2.osm"), map));
    QStringList filters;
    QString folder;
    // Opens the chooser behind `button`, notes what it offers, and picks `file` or cancels.
    const auto choose = [&](QWidget *dialog, const char *button, const QString &file) {
        answerNextDialog([&filters, &folder, file](QWidget *w) {
            auto *chooser = qobject_cast<QFileDialog *>(w);
            ASSERT_NE(chooser, nullptr);
            filters = chooser->nameFilters();
            folder = QFileInfo(chooser->directory().absolutePath()).canonicalFilePath();
            if (file.isEmpty()) {
                chooser->reject();
                return;
            }
            chooser->selectFile(file);
            static_cast<QDialog *>(chooser)->accept();
        });
        child<QPushButton>(dialog, button)->click();
    };
    const QString canonicalMaps = QFileInfo(maps).canonicalFilePath();
    {
        MainWindow window;
        auto *dialog = window.findChild<FileOpenerDialog *>();
        choose(dialog, "btnChooseOSMFile", map);
        EXPECT_EQ(filters, QStringList({"OpenStreetMap (*.osm *.osm.pbf *.pbf *.osm.gz *.osm.bz2)", "All files (*)"}));
        EXPECT_EQ(dialog->osmFilePath(), map);
        choose(dialog, "btnChooseScheduleFile", QString());
        EXPECT_EQ(filters, QStringList({"Schedules (*.xml)", "All files (*)"}));
        EXPECT_EQ(folder, canonicalMaps);
    }
    // The next start of the program opens in that folder too.
    MainWindow again;
    choose(again.findChild<FileOpenerDialog *>(), "btnChooseOSMFile", QString());
    EXPECT_EQ(folder, canonicalMaps);
}

TEST(MainWindow, ACityFromItsPbfWhoseLinesTheScheduleFileLacksRunsWithATimetableDraftedFromTheMap)
{
    const QString city = QStringLiteral(KOLVEX_SOURCE_DIR "/tests/data/cities/darmstadt-hbf.osm.pbf");
    BundledDataFolder data;
    auto window = std::make_unique<MainWindow>();
    window->show();
    QObject *w = window.get();
    auto *dialog = window->findChild<FileOpenerDialog *>();
    answerNextDialog([&](QWidget *chooser) {
        static_cast<QFileDialog *>(chooser)->selectFile(city);
        static_cast<QDialog *>(chooser)->accept();
    });
    child<QPushButton>(dialog, "btnChooseOSMFile")->click();

    // As a new user would: the bundled city's schedule file stays chosen. No line of it runs here,
    // and the box offers to draft the lines from the map instead.
    child<QPushButton>(dialog, "btnStartSimulation")->click();
    auto problems = [&] { return window->findChild<QMessageBox *>("mbProblems"); };
    ASSERT_TRUE(waitUntil([&] { return !dialog->isVisible() && problems(); }, 120000));
    auto *draft = problems()->findChild<QPushButton *>("btnDraftInstead");
    ASSERT_NE(draft, nullptr) << problems()->informativeText().toStdString();
    EXPECT_TRUE(child<QTextEdit>(dialog, "teLog")->toPlainText().contains("drafted from the map's route relations"));
    EXPECT_FALSE(child<QAction>(w, "actionSaveDraftedTimetable")->isEnabled());
    draft->click();
    ASSERT_TRUE(waitUntil([&] { return dialog->isVisible(); }, 5000)); // the map is prepared again
    EXPECT_TRUE(child<QRadioButton>(dialog, "rbDraftSchedules")->isChecked());
    EXPECT_EQ(child<QSpinBox>(dialog, "sbDraftHeadway")->value(), 15);
    ASSERT_TRUE(waitUntil(
        [&] { return !dialog->isVisible() && child<QAction>(w, "actionSaveDraftedTimetable")->isEnabled(); }, 120000));
    EXPECT_TRUE(!problems() || !problems()->isVisible()) << problems()->informativeText().toStdString();
    const int drafted = window->simulation()->draftResult()->drafted;
    EXPECT_GT(drafted, 0);
    EXPECT_EQ(window->simulation()->lineReport().created, drafted);
    EXPECT_EQ(child<QLabel>(w, "lLines")->text(), QString("%1 of %1").arg(drafted));
    const QString leftOut = child<QLabel>(w, "lLinesLeftOut")->text();
    EXPECT_TRUE(leftOut.startsWith("Drafted from ") && leftOut.endsWith("No schedule left out."))
        << leftOut.toStdString();

    // The lines run within ten simulated minutes, at the fastest pace.
    auto *faster = child<QPushButton>(w, "decStepButton");
    auto *speed = child<QLabel>(w, "stepSizeLabel");
    while (faster->isEnabled()) {
        const QString before = speed->text();
        faster->click();
        ASSERT_TRUE(waitUntil([&] { return speed->text() != before; }));
    }
    child<QPushButton>(w, "startButton")->click();
    // This city's lines are tram lines: its trams are on the rails within ten simulated minutes.
    const auto lineVehicles = [&] { return number(w, "lBusCount") + number(w, "lTramCount"); };
    EXPECT_TRUE(waitUntil([&] { return lineVehicles() > 0 || number(w, "lSimStep") >= 2400; }, 120000));
    EXPECT_GT(lineVehicles(), 0) << "at step " << number(w, "lSimStep");
    EXPECT_LE(number(w, "lSimStep"), 2400);
    child<QPushButton>(w, "stopButton")->click();

    // Nothing was written until asked; saved, the timetable reads back line for line.
    const QString saved = data.path("city-drafted");
    answerNextDialog([&](QWidget *chooser) {
        static_cast<QFileDialog *>(chooser)->selectFile(saved);
        static_cast<QDialog *>(chooser)->accept();
    });
    child<QAction>(w, "actionSaveDraftedTimetable")->trigger();
    ScheduleParser parser;
    Diagnostics diagnostics;
    EXPECT_TRUE(parser.parse(saved + ".xml", diagnostics));
    EXPECT_EQ(parser.schedules().size(), size_t(drafted));

    // The next start offers this run again, and the bundled city is one click away.
    window.reset();
    MainWindow again;
    auto *next = again.findChild<FileOpenerDialog *>();
    const RunSettings offered = next->settings();
    EXPECT_EQ(QFileInfo(offered.osmFilePath).canonicalFilePath(), QFileInfo(city).canonicalFilePath());
    EXPECT_EQ(offered.timetable, TimetableSource::Draft);
    EXPECT_EQ(offered.draftHeadway, 15);
    EXPECT_EQ(offered.start, QTime(14, 0));
    child<QPushButton>(next, "btnBundledCity")->click();
    EXPECT_EQ(next->settings().osmFilePath, BundledData::mapPath());
    EXPECT_EQ(next->settings().timetable, TimetableSource::ScheduleFile);
    EXPECT_TRUE(child<QPushButton>(next, "btnStartSimulation")->isEnabled());

    // A remembered map that is gone gives way to the bundled city with its schedule file.
    UserSettings settings;
    settings.setValue("lastRun/map", data.path("gone.osm.pbf"));
    const RunSettings fallback = RunSettings::remembered(settings);
    EXPECT_EQ(fallback.osmFilePath, BundledData::mapPath());
    EXPECT_EQ(fallback.timetable, TimetableSource::ScheduleFile);
    EXPECT_EQ(fallback.start, QTime(14, 0));
}

TEST(MainWindow, APreparationCancelledMidwayLeavesNoRunAndTheNextOneRunsWithTheProgressBarMovingThroughEveryStage)
{
    BundledDataFolder data;
    MainWindow window;
    window.show();
    auto *dialog = window.findChild<FileOpenerDialog *>();
    auto *startSim = child<QPushButton>(dialog, "btnStartSimulation");
    auto *cancel = child<QPushButton>(dialog, "btnCancelPreparation");
    auto *progress = child<QProgressBar>(dialog, "pbPreparation");
    EXPECT_FALSE(cancel->isEnabled());
    startSim->click();
    EXPECT_TRUE(cancel->isEnabled() && !startSim->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return progress->value() >= 1; }, 60000)); // the map is being read
    cancel->click();
    ASSERT_TRUE(waitUntil([&] { return startSim->isEnabled(); }, 60000));
    EXPECT_EQ(window.simulation(), nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(cancel->isEnabled());
    EXPECT_TRUE(child<QTextEdit>(dialog, "teLog")->toPlainText().endsWith("Preparation cancelled."));

    std::vector<int> shown;
    QObject::connect(progress, &QProgressBar::valueChanged, [&](int value) { shown.push_back(value); });
    startSim->click();
    ASSERT_TRUE(waitUntil([&] { return !dialog->isVisible(); }, 60000)) << "the second run was not prepared";
    EXPECT_GT(number(&window, "lVehicleCount"), 0);
    // Started from 0, every stage after the first moves the bar on, the conversion to cells after
    // each of its own 13 stages, and the prepared run fills it.
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), 0);
    EXPECT_EQ(shown.back(), progress->maximum());
    EXPECT_TRUE(std::adjacent_find(shown.begin(), shown.end(), std::greater_equal<int>()) == shown.end());
    EXPECT_EQ(shown.size(), 9u + 13u) << shown.size();
}
