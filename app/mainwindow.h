#ifndef KOLVEX_APP_MAINWINDOW_H
#define KOLVEX_APP_MAINWINDOW_H

#include <QMainWindow>

class QTextEdit;
class Simulation;

/// The application window: starts one simulation on the default inputs and shows its
/// preparation log. Runs in the GUI thread; the simulation is reached only by queued calls.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    Simulation *simulation() const { return m_simulation; }

signals:
    /// Emitted once the simulation is prepared and its step loop exists.
    void simulationReady();

public slots:
    void writeIntoLog(const QString &msg);

private slots:
    void startSim(const QString &osmFilePath, const QString &scheduleFilePath, const QTime &simInitTime);
    void simDataPrepared();
    void simStarted();

private:
    QTextEdit *log;
    Simulation *m_simulation = nullptr;
};

#endif
