#include "mainwindow.h"

#include "engine/simulation.h"
#include "engine/simulationthread.h"
#include "engine/stepframe.h"
#include "fileopenerdialog.h"
#include "inputfiles.h"
#include "liveplot.h"
#include "map/slippymap.h"
#include "map/visualization.h"
#include "renderoptionsdialog.h"
#include "ui_mainwindow.h"

#include <QCheckBox>
#include <QDockWidget>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMetaObject>
#include <QScreen>

#ifndef KOLVEX_VERSION
#define KOLVEX_VERSION "unknown"
#endif

namespace {

/// A check box and the map widget's switch of the same layer.
struct LayerSwitch
{
    const char *checkBox;
    void (Visualization::*change)(int);
    bool (Visualization::*isOn)() const;
};

const LayerSwitch RENDER_OPTION_LAYERS[] = {
    {"cbCells", &Visualization::changePaintCells, &Visualization::paintCells},
    {"cbCellsCrossroad", &Visualization::changePaintCrossCells, &Visualization::paintCrossCells},
    {"cbCellsConnections", &Visualization::changePaintCellsConnections, &Visualization::paintCellsConnections},
    {"cbCrossroads", &Visualization::changePaintCrossroads, &Visualization::paintCrossroads},
    {"cbGenerators", &Visualization::changePaintGenerators, &Visualization::paintGenerators},
    {"cbNodes", &Visualization::changePaintNodes, &Visualization::paintNodes},
    {"cbStopsBus", &Visualization::changePaintStopsBus, &Visualization::paintStopsBus},
    {"cbStopsTram", &Visualization::changePaintStopsTram, &Visualization::paintStopsTram},
    {"cbWays", &Visualization::changePaintWays, &Visualization::paintWays},
    {"cbVehiclesFancy", &Visualization::changePaintVehiclesFancy, &Visualization::paintVehiclesFancy},
};

const LayerSwitch PANEL_LAYERS[] = {
    {"cbStopPlatforms", &Visualization::changePaintStopPlatforms, &Visualization::paintStopPlatforms},
    {"cbMap", &Visualization::changePaintMap, &Visualization::paintMap},
    {"cbRails", &Visualization::changePaintRails, &Visualization::paintRails},
    {"cbEdges", &Visualization::changePaintRoadEdges, &Visualization::paintRoadEdges},
    {"cbCars", &Visualization::changePaintCars, &Visualization::paintCars},
    {"cbBuses", &Visualization::changePaintBuses, &Visualization::paintBuses},
    {"cbTrams", &Visualization::changePaintTrams, &Visualization::paintTrams},
    {"cbRoutes", &Visualization::changePaintRoutes, &Visualization::paintRoutes},
    {"cbSemaphores", &Visualization::changePaintSemaphores, &Visualization::paintSemaphores},
};

template <size_t N> void connectLayers(QWidget *owner, Visualization *map, const LayerSwitch (&layers)[N])
{
    for (const LayerSwitch &layer : layers) {
        auto *box = owner->findChild<QCheckBox *>(QLatin1String(layer.checkBox));
        Q_ASSERT(box);
        box->setChecked((map->*layer.isOn)());
        QObject::connect(box, &QCheckBox::stateChanged, map, layer.change);
    }
}

} // namespace

// Outside any namespace, as the resource's initializer is declared there.
static QIcon kolvexIcon()
{
    Q_INIT_RESOURCE(kolvex); // the resource is linked from a static library, which keeps it only if named
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addFile(QStringLiteral(":/icons/kolvex-%1.png").arg(size), QSize(size, size));
    return icon;
}

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    createLivePlot();
    resize(950, 600);
    centreOnScreen();
    setWindowTitle(QStringLiteral("Kolvex"));
    setWindowIcon(kolvexIcon());

    renderOptionsDialog = new RenderOptionsDialog(this);
    renderOptionsDialog->setWindowModality(Qt::WindowModal);
    fileOpenerDialog = new FileOpenerDialog(this);
    connect(fileOpenerDialog, &FileOpenerDialog::startSim, this, &MainWindow::startSim);
    connect(fileOpenerDialog, &FileOpenerDialog::closeSim, this, &QWidget::close);
    // Both work before a run exists: the boxes of the render options are connected once the map
    // widget has data.
    connect(ui->actionRenderOptions, &QAction::triggered, renderOptionsDialog, &QDialog::open);
    connect(ui->actionAbout, &QAction::triggered, this, &MainWindow::showAbout);
    fileOpenerDialog->show();
}

MainWindow::~MainWindow()
{
    delete m_simulation;
}

void MainWindow::centreOnScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect s = screen->geometry();
    // Slightly above the centre, as a window with a dialog over it looks best.
    move((s.width() - 1) / 2 - (width() - 1) / 2, (s.height() - 1) / 2 - (height() - 1) / 2 - 40);
}

void MainWindow::createLivePlot()
{
    livePlot = new LivePlot;
    livePlot->setObjectName(QStringLiteral("livePlot"));
    livePlotDock = new QDockWidget(QStringLiteral("Live plot"), this);
    livePlotDock->setObjectName(QStringLiteral("dockLivePlot"));
    livePlotDock->setWidget(livePlot); // the dock owns the plot
    addDockWidget(Qt::BottomDockWidgetArea, livePlotDock);
    QAction *toggle = livePlotDock->toggleViewAction();
    toggle->setObjectName(QStringLiteral("actionLivePlot"));
    ui->menuView->addAction(toggle);
}

void MainWindow::startSim(QString osmFilePath, QString scheduleFilePath, QTime simInitTime)
{
    if (m_simulation)
        return; // one run per window
    const QString problem = InputFiles::unreadable(osmFilePath, scheduleFilePath);
    if (!problem.isEmpty()) {
        fileOpenerDialog->reportFailure(problem);
        return;
    }
    m_simulation = new Simulation(osmFilePath, scheduleFilePath, simInitTime);
    connect(m_simulation, &Simulation::log, fileOpenerDialog, &FileOpenerDialog::writeIntoLog);
    connect(m_simulation, &Simulation::prepDataDone, this, &MainWindow::simDataPrepared);
    connect(m_simulation, &Simulation::simStartDone, this, &MainWindow::simStarted);
    QMetaObject::invokeMethod(m_simulation, "prepData", Qt::QueuedConnection);
}

void MainWindow::simDataPrepared()
{
    // Reading the state makes the whole preparation visible to this thread.
    if (!m_simulation || m_simulation->state() != Simulation::State::Prepared)
        return;
    const QString problem = InputFiles::unusable(*m_simulation, fileOpenerDialog->scheduleFilePath());
    if (!problem.isEmpty()) {
        abandonRun(problem);
        return;
    }
    QMetaObject::invokeMethod(m_simulation, "startSim", Qt::QueuedConnection);
}

void MainWindow::abandonRun(const QString &msg)
{
    // The preparation has ended (this runs on its last signal), so the run can go at once.
    delete m_simulation;
    m_simulation = nullptr;
    fileOpenerDialog->reportFailure(msg);
}

void MainWindow::simStarted()
{
    // Reading the state makes what startSim made visible to this thread.
    if (!m_simulation || m_simulation->state() != Simulation::State::Started)
        return;
    fileOpenerDialog->close();
    connectLayerSwitches();
    loop = m_simulation->simulationThread();

    SimTimeControl *time = ui->simTimeControl;
    // By signature, so that the step thread finds its slots through its own meta-object and reads
    // nothing this thread made for the connection.
    connect(time, SIGNAL(start()), loop, SLOT(startSim()));
    connect(time, SIGNAL(stop()), loop, SLOT(stopSim()));
    connect(time, SIGNAL(step()), loop, SLOT(stepSim()));
    connect(time, SIGNAL(incStep()), loop, SLOT(incSimStep()));
    connect(time, SIGNAL(decStep()), loop, SLOT(decSimStep()));
    connect(loop, &SimulationThread::newStepSize, time, &SimTimeControl::setNewStepSize);
    time->setNewStepSize(loop->stepSize(), 1);
    const bool running = loop->isRunning();
    time->setStartButtonEnabled(!running);
    time->setStopButtonEnabled(running);
    time->setStepButtonEnabled(!running);

    Visualization *map = ui->visualization;
    map->setSimulation(m_simulation);
    connect(this, &MainWindow::mapZoomIn, map->map(), &SlippyMap::zoomIn);
    connect(this, &MainWindow::mapZoomOut, map->map(), &SlippyMap::zoomOut);

    livePlot->clear();
    connect(loop, &SimulationThread::updateVehicles, this, &MainWindow::showLatestFrame);
    showLatestFrame();
}

void MainWindow::showLatestFrame()
{
    if (!loop)
        return;
    std::shared_ptr<const StepFrame> frame = loop->latestFrame();
    ui->simInfo->showFrame(*frame);
    livePlot->addFrame(*frame);
    ui->visualization->showFrame(std::move(frame)); // repaints at the frame rate, not the step rate
}

void MainWindow::connectLayerSwitches()
{
    connectLayers(renderOptionsDialog, ui->visualization, RENDER_OPTION_LAYERS);
    connectLayers(ui->simVisualizationControl, ui->visualization, PANEL_LAYERS);
}

void MainWindow::showAbout()
{
    QMessageBox box(this);
    box.setObjectName(QStringLiteral("mbAbout"));
    box.setWindowTitle(QStringLiteral("About Kolvex"));
    box.setTextFormat(Qt::RichText);
    box.setText(QStringLiteral("<b>Kolvex %1</b><br>A micro-simulator of city traffic and public transport.")
                    .arg(QStringLiteral(KOLVEX_VERSION)));
    box.setInformativeText(
        QStringLiteral("Licensed under the GNU General Public License, version 3 or later.<br><br>"
                       "Map data © OpenStreetMap contributors, available under the Open Database License "
                       "(ODbL): <a href=\"https://www.openstreetmap.org/copyright\">"
                       "openstreetmap.org/copyright</a>."));
    box.exec();
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Plus)
        emit mapZoomIn();
    else if (event->key() == Qt::Key_Minus)
        emit mapZoomOut();
    else
        QMainWindow::keyPressEvent(event);
}
