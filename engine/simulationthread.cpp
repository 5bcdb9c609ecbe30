#include "simulationthread.h"

#include "model/simulationdata.h"
#include "simulationcontrol.h"

#include <QThread>
#include <QTimer>

SimulationThread::SimulationThread(SimulationControl *control, uint stepSize)
    : QObject(nullptr), m_stepSize(qBound(MIN_STEP_SIZE, stepSize, MAX_STEP_SIZE)), m_control(control)
{
    m_thread = new QThread(this);
    threadEnd = std::make_unique<ThreadEnd>(m_thread);
    m_pacer.setPeriod(int32_t(m_stepSize));
    publishFrame(); // before the thread starts, so the frame is there for whoever looks first
    m_thread->start(QThread::InheritPriority);
    // A thread that could not be made (no memory for its stack) would leave the steps queued for
    // good: they then run on the caller's thread, between its events.
    if (m_thread->isRunning())
        moveToThread(m_thread);
}

SimulationThread::~SimulationThread()
{
    endLoop();
    threadEnd->quitAndWait();
}

void SimulationThread::startSim()
{
    if (m_ended)
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
    stepAndPublish();
}

void SimulationThread::doSimStep()
{
    m_stepArmed = false;
    // A step armed before stopSim still runs once; scheduleNextStep then arms no successor.
    stepAndPublish();
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

void SimulationThread::stepAndPublish()
{
    m_control->step();
    publishFrame();
    emit updateVehicles();
}

void SimulationThread::publishFrame()
{
    std::unique_ptr<StepFrame> frame = frames.blank();
    {
        SimulationControl::VehiclesLock lock(m_control->vehiclesMutex());
        frame->capture(*m_control->data());
    }
    frame->idlePercent = m_pacer.idlePercent();
    frame->overtime = m_pacer.overtime();
    frames.publish(std::move(frame));
}

void SimulationThread::scheduleNextStep()
{
    if (!m_running || m_ended)
        return;
    m_stepArmed = true;
    QTimer::singleShot(m_pacer.nextDelay(), this, &SimulationThread::doSimStep);
}
