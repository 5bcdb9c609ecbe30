#include "simulationthread.h"

#include "model/simulationlocks.h"
#include "simulationcontrol.h"

#include <QThread>
#include <QTimer>

SimulationThread::SimulationThread(SimulationControl *control) : QObject(nullptr), m_control(control)
{
    m_thread = new QThread(this);
    moveToThread(m_thread);
    m_pacer.setPeriod(int32_t(m_stepSize));
    m_thread->start(QThread::InheritPriority);
}

SimulationThread::~SimulationThread()
{
    m_thread->quit();
    m_thread->wait();
}

void SimulationThread::startSim()
{
    if (SimulationLocks::isSimulationLocked())
        return;
    // With a step already armed (running, or stopped before that timer fired) arming another
    // would chain two timers and double the step rate: the armed step carries the loop on.
    m_running = true;
    if (m_stepArmed)
        return;
    m_pacer.start();
    scheduleNextStep();
}

void SimulationThread::stopSim()
{
    m_running = false;
}

void SimulationThread::stepSim()
{
    m_control->step();
    emit updateVehicles();
}

void SimulationThread::doSimStep()
{
    m_stepArmed = false;
    // A step armed before stopSim still runs once; scheduleNextStep then arms no successor.
    m_control->step();
    emit updateVehicles();
    if (!SimulationLocks::isSimulationLocked())
        scheduleNextStep();
}

void SimulationThread::incSimStep()
{
    m_stepSize = qMin(2 * m_stepSize.load(), MAX_STEP_SIZE);
    m_pacer.setPeriod(int32_t(m_stepSize));
    emit newStepSize(m_stepSize, m_stepSize < MAX_STEP_SIZE ? 1 : 0);
}

void SimulationThread::decSimStep()
{
    m_stepSize = qMax(m_stepSize.load() / 2, MIN_STEP_SIZE);
    m_pacer.setPeriod(int32_t(m_stepSize));
    emit newStepSize(m_stepSize, m_stepSize < 2 ? 2 : 1);
}

void SimulationThread::scheduleNextStep()
{
    if (!m_running)
        return;
    m_stepArmed = true;
    QTimer::singleShot(m_pacer.nextDelay(), this, &SimulationThread::doSimStep);
}
