#ifndef KOLVEX_APP_MAINWINDOW_H
#define KOLVEX_APP_MAINWINDOW_H

#include <QMainWindow>

#include <memory>

class FileOpenerDialog;
class LivePlot;
class QDockWidget;
class RenderOptionsDialog;
class Simulation;
class SimulationThread;
struct RunSettings;

namespace Ui {
class MainWindow;
}

/// The application window: the map, the time, layer and statistics panels, the live plot, and
/// the start dialog that prepares a run; Menu → New simulation… replaces the run with another.
/// Runs in the GUI thread; the run and its step loop live in threads of their own and are reached
/// through queued calls, and what changes while it runs is read from its step frames.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    /// Stops and frees the run, if any.
    ~MainWindow() override;

    /// The run (prepared, or being prepared), or null before Start Sim and after a run that could
    /// not be prepared.
    Simulation *simulation() const { return m_simulation; }

signals:
    void mapZoomIn();
    void mapZoomOut();

private slots:
    void startSim(const RunSettings &settings);
    void simDataPrepared();
    void simStarted();
    void showAbout();
    /// Opens the start dialog again; its Start Sim replaces the current run.
    void newSimulation();
    /// The start dialog's Close: ends the program while no run was shown yet, else only closes it.
    void closeStartDialog();
    /// Shows the frame the step loop has just published on the map, the panel and the plot.
    void showLatestFrame();
    /// Asks the run being prepared to stop; the window is then left without a run.
    void cancelPreparation();
    void preparationCancelled();
    /// Asks where to write the timetable drafted for the run, and writes it.
    void saveDraftedTimetable();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void centreOnScreen();
    void createLivePlot();
    /// Gives the layer panel and the render options a check box for every layer of the map widget.
    void connectLayerSwitches();
    /// Says what the run goes on without; where a schedule file gave no line, offers to draft one.
    void showProblems(const QStringList &problems);
    /// Drops the run and lets the user choose other files.
    void abandonRun(const QString &msg);
    /// Stops and frees the current run, if any, and clears what showed it; the layer switches and
    /// the step size stay for the next run.
    void endRun();

    std::unique_ptr<Ui::MainWindow> ui;
    RenderOptionsDialog *renderOptionsDialog;
    FileOpenerDialog *fileOpenerDialog;
    Simulation *m_simulation = nullptr;
    SimulationThread *loop = nullptr; ///< the step loop of the run once it has started
    uint stepSize;                    ///< of the run's loop, carried to the next run
    bool runShown = false;            ///< a run has started in this window
    bool cancelling = false;          ///< the run being prepared is to be dropped
    QDockWidget *livePlotDock = nullptr;
    LivePlot *livePlot = nullptr;
};

#endif
