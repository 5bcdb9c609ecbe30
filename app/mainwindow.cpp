#include "mainwindow.h"

#include "engine/simulation.h"
#include "engine/simulationthread.h"
#include "engine/stepframe.h"
#include "filedialogs.h"
#include "fileopenerdialog.h"
#include "inputfiles.h"
#include "liveplot.h"
#include "map/slippymap.h"
#include "map/visualization.h"
#include "osm/osmdata.h"
#include "renderoptionsdialog.h"
#include "runsettings.h"
#include "ui_mainwindow.h"

#include <QDockWidget>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QScreen>

#ifndef KOLVEX_VERSION
#define KOLVEX_VERSION "unknown"
#endif

// Outside any namespace, as the resource's initializer is declared there.
static QIcon kolvexIcon()
{
    Q_INIT_RESOURCE(kolvex); // the resource is linked from a static library, which keeps it only if named
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addFile(QStringLiteral(":/icons/kolvex-%1.png").arg(size), QSize(size, size));
    return icon;
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), stepSize(SimulationThread::DEFAULT_STEP_SIZE)
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
    connect(fileOpenerDialog, &FileOpenerDialog::closeSim, this, &MainWindow::closeStartDialog);
    connect(fileOpenerDialog, &FileOpenerDialog::cancelPreparation, this, &MainWindow::cancelPreparation);
    // The switches live in the map widget: the boxes work before, during and between runs.
    connectLayerSwitches();
    connect(ui->actionNewSimulation, &QAction::triggered, this, &MainWindow::newSimulation);
    connect(ui->actionSaveDraftedTimetable, &QAction::triggered, this, &MainWindow::saveDraftedTimetable);
    ui->actionSaveDraftedTimetable->setEnabled(false);
    connect(ui->actionRenderOptions, &QAction::triggered, renderOptionsDialog, &QDialog::open);
    connect(ui->actionAbout, &QAction::triggered, this, &MainWindow::showAbout);
    fileOpenerDialog->show();
}

MainWindow::~MainWindow()
{
    endRun();
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

void MainWindow::newSimulation()
{
    fileOpenerDialog->show();
    fileOpenerDialog->raise();
    fileOpenerDialog->activateWindow();
}

void MainWindow::closeStartDialog()
{
    if (runShown)
        fileOpenerDialog->close();
    else
        close();
}

void MainWindow::startSim(const RunSettings &settings)
{
    if (m_simulation && !loop)
        return; // one is being prepared
    // Files that cannot be read leave the current run as it is.
    const QString problem = InputFiles::unreadable(settings);
    if (!problem.isEmpty()) {
        fileOpenerDialog->reportFailure(problem);
        return;
    }
    endRun();
    fileOpenerDialog->writeIntoLog(QStringLiteral("The same run on the console: ") + settings.consoleCommand());
    m_simulation = new Simulation(settings.osmFilePath, settings.scheduleFilePath, settings.start, settings.seed);
    m_simulation->setStepSize(stepSize);
    settings.configure(*m_simulation);
    cancelling = false;
    connect(m_simulation, &Simulation::log, fileOpenerDialog, &FileOpenerDialog::writeIntoLog);
    connect(m_simulation, &Simulation::diagnostic, fileOpenerDialog, &FileOpenerDialog::writeIntoLog);
    connect(m_simulation, &Simulation::stageStarted, fileOpenerDialog, &FileOpenerDialog::showStage);
    connect(m_simulation, &Simulation::stageShare, fileOpenerDialog, &FileOpenerDialog::showStageShare);
    connect(m_simulation, &Simulation::prepDataCancelled, this, &MainWindow::preparationCancelled);
    connect(m_simulation, &Simulation::prepDataDone, this, &MainWindow::simDataPrepared);
    connect(m_simulation, &Simulation::simStartDone, this, &MainWindow::simStarted);
    QMetaObject::invokeMethod(m_simulation, "prepData", Qt::QueuedConnection);
}

void MainWindow::simDataPrepared()
{
    // Reading the state makes the whole preparation visible to this thread.
    if (!m_simulation || m_simulation->state() != Simulation::State::Prepared)
        return;
    if (cancelling) { // the cancel came too late to stop the stages
        preparationCancelled();
        return;
    }
    const QString schedules = fileOpenerDialog->scheduleFilePath();
    // What the console is told in detail goes into the log too.
    for (const QString &problem : InputFiles::problems(*m_simulation, schedules))
        fileOpenerDialog->writeIntoLog(problem);
    const QString problem = InputFiles::unusable(*m_simulation, schedules);
    if (!problem.isEmpty()) {
        abandonRun(problem);
        return;
    }
    QMetaObject::invokeMethod(m_simulation, "startSim", Qt::QueuedConnection);
}

void MainWindow::cancelPreparation()
{
    if (!m_simulation || loop)
        return; // nothing is being prepared
    cancelling = true;
    m_simulation->cancelPreparation();
}

void MainWindow::preparationCancelled()
{
    if (!cancelling)
        return;
    cancelling = false;
    // The preparation has ended (this runs on its last signal), so the run can go at once.
    endRun();
    fileOpenerDialog->preparationCancelled();
}

void MainWindow::abandonRun(const QString &msg)
{
    // The preparation has ended (this runs on its last signal), so the run can go at once.
    endRun();
    fileOpenerDialog->show();
    fileOpenerDialog->reportFailure(msg);
}

void MainWindow::endRun()
{
    if (!m_simulation)
        return;
    if (loop)
        stepSize = loop->stepSize();
    loop = nullptr;
    ui->actionSaveDraftedTimetable->setEnabled(false);
    // Nothing of the run stays on the map while the next one is prepared.
    ui->visualization->setSimulation(nullptr);
    ui->simInfo->clear();
    livePlot->clear();
    SimTimeControl *time = ui->simTimeControl;
    time->setStartButtonEnabled(false);
    time->setStopButtonEnabled(false);
    time->setStepButtonEnabled(false);
    delete m_simulation; // stops its threads; the connections to its loop go with it
    m_simulation = nullptr;
}

void MainWindow::simStarted()
{
    // Reading the state makes what startSim made visible to this thread.
    if (!m_simulation || m_simulation->state() != Simulation::State::Started)
        return;
    if (cancelling) {
        preparationCancelled();
        return;
    }
    fileOpenerDialog->runStarted();
    loop = m_simulation->simulationThread();
    runShown = true;

    SimTimeControl *time = ui->simTimeControl;
    // By signature, so that the step thread finds its slots through its own meta-object and reads
    // nothing this thread made for the connection.
    connect(time, SIGNAL(start()), loop, SLOT(startSim()));
    connect(time, SIGNAL(stop()), loop, SLOT(stopSim()));
    connect(time, SIGNAL(step()), loop, SLOT(stepSim()));
    connect(time, SIGNAL(incStep()), loop, SLOT(incSimStep()));
    connect(time, SIGNAL(decStep()), loop, SLOT(decSimStep()));
    connect(loop, &SimulationThread::newStepSize, time, &SimTimeControl::setNewStepSize);
    const uint size = loop->stepSize();
    time->setNewStepSize(size, size >= SimulationThread::MAX_STEP_SIZE   ? 0
                               : size <= SimulationThread::MIN_STEP_SIZE ? 2
                                                                         : 1);
    const bool running = loop->isRunning();
    time->setStartButtonEnabled(!running);
    time->setStopButtonEnabled(running);
    time->setStepButtonEnabled(!running);

    Visualization *map = ui->visualization;
    map->setSimulation(m_simulation);
    connect(this, &MainWindow::mapZoomIn, map->map(), &SlippyMap::zoomIn, Qt::UniqueConnection);
    connect(this, &MainWindow::mapZoomOut, map->map(), &SlippyMap::zoomOut, Qt::UniqueConnection);

    ui->simInfo->showRun(*m_simulation);
    livePlot->clear();
    connect(loop, &SimulationThread::updateVehicles, this, &MainWindow::showLatestFrame);
    showLatestFrame();

    const ScheduleDrafter::Result *drafted = m_simulation->draftResult();
    ui->actionSaveDraftedTimetable->setEnabled(drafted && drafted->drafted > 0);
    const QStringList problems = InputFiles::problems(*m_simulation, fileOpenerDialog->scheduleFilePath());
    if (!problems.isEmpty())
        showProblems(problems);
}

void MainWindow::showProblems(const QStringList &problems)
{
    auto *box = new QMessageBox(QMessageBox::Warning, windowTitle(),
                                QStringLiteral("The run goes on with what could be used."), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("mbProblems"));
    box->setInformativeText(problems.join(QLatin1Char('\n')));
    box->setAttribute(Qt::WA_DeleteOnClose);
    // A schedule file of another city gives no line; the map's own route relations may.
    const LineCreationReport &lines = m_simulation->lineReport();
    const bool offerDraft = !m_simulation->draftResult() && lines.created == 0 &&
                            !m_simulation->osmData()->routeRelations()->relations().empty();
    if (offerDraft) {
        const QString offer =
            QStringLiteral("No line of the schedule file runs on this map: a timetable can be drafted "
                           "from the map's route relations instead.");
        fileOpenerDialog->writeIntoLog(offer);
        box->setText(offer);
        QPushButton *draft = box->addButton(QStringLiteral("Draft from the map"), QMessageBox::AcceptRole);
        draft->setObjectName(QStringLiteral("btnDraftInstead"));
        box->button(QMessageBox::Ok)->setText(QStringLiteral("Run without lines"));
        connect(draft, &QPushButton::clicked, fileOpenerDialog, &FileOpenerDialog::draftInstead,
                Qt::QueuedConnection); // after the box has closed
    }
    box->open(); // window-modal, without blocking the event loop
}

void MainWindow::saveDraftedTimetable()
{
    if (!m_simulation || !loop)
        return;
    const QString path = FileDialogs::saveSchedules(this);
    if (path.isEmpty())
        return;
    QString problem;
    if (!m_simulation->writeDraftedSchedules(path, &problem)) {
        auto *box = new QMessageBox(QMessageBox::Warning, windowTitle(),
                                    QStringLiteral("The drafted timetable was not saved: %1.").arg(problem),
                                    QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("mbSaveFailed"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
}

void MainWindow::showLatestFrame()
{
    // A signal of a run that has just been replaced may still be on its way.
    if (!loop)
        return;
    std::shared_ptr<const StepFrame> frame = loop->latestFrame();
    ui->simInfo->showFrame(*frame);
    livePlot->addFrame(*frame);
    ui->visualization->showFrame(std::move(frame)); // repaints at the frame rate, not the step rate
}

void MainWindow::connectLayerSwitches()
{
    renderOptionsDialog->showLayers(ui->visualization);
    ui->simVisualizationControl->showLayers(ui->visualization);
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
