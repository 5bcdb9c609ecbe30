#include "mainwindow.h"

#include "engine/simulation.h"

#include <QMetaObject>
#include <QTextEdit>
#include <QTime>

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Kolvex"));
    resize(950, 600);
    log = new QTextEdit(this);
    log->setReadOnly(true);
    log->setObjectName(QStringLiteral("teLog"));
    setCentralWidget(log);
    QMetaObject::invokeMethod(
        this,
        [this] {
            startSim(QString::fromUtf8(Simulation::DEFAULT_OSM_PATH),
                     QString::fromUtf8(Simulation::DEFAULT_SCHEDULE_PATH), QTime(14, 0, 0));
        },
        Qt::QueuedConnection);
}

MainWindow::~MainWindow()
{
    delete m_simulation;
}

void MainWindow::writeIntoLog(const QString &msg)
{
    log->append(msg);
}

void MainWindow::startSim(const QString &osmFilePath, const QString &scheduleFilePath, const QTime &simInitTime)
{
    m_simulation = new Simulation(osmFilePath, scheduleFilePath, simInitTime);
    connect(m_simulation, &Simulation::log, this, &MainWindow::writeIntoLog);
    connect(m_simulation, &Simulation::prepDataDone, this, &MainWindow::simDataPrepared);
    connect(m_simulation, &Simulation::simStartDone, this, &MainWindow::simStarted);
    QMetaObject::invokeMethod(m_simulation, "prepData", Qt::QueuedConnection);
}

void MainWindow::simDataPrepared()
{
    QMetaObject::invokeMethod(m_simulation, "startSim", Qt::QueuedConnection);
}

void MainWindow::simStarted()
{
    emit simulationReady();
}
