#ifndef KOLVEX_APP_MAINWINDOW_H
#define KOLVEX_APP_MAINWINDOW_H

#include <QMainWindow>
#include <QTime>

#include <memory>

class FileOpenerDialog;
class LivePlot;
class QDockWidget;
class RenderOptionsDialog;
class Simulation;
class SimulationThread;

namespace Ui {
class MainWindow;
}

/// The application window: the map, the time, layer and statistics panels, the live plot, and
/// the start dialog that prepares one run. Runs in the GUI thread; the run and its step loop live
/// in threads of their own and are reached through queued calls, and what changes while it runs
/// is read from its step frames.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    /// Stops and frees the run, if any.
    ~MainWindow() override;

    /// The run, or null before Start Sim and after a run that could not be prepared.
    Simulation *simulation() const { return m_simulation; }

signals:
    void mapZoomIn();
    void mapZoomOut();

private slots:
    void startSim(QString osmFilePath, QString scheduleFilePath, QTime simInitTime);
    void simDataPrepared();
    void simStarted();
    void showAbout();
    /// Shows the frame the step loop has just published on the map, the panel and the plot.
    void showLatestFrame();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void centreOnScreen();
    void createLivePlot();
    /// Connects every layer check box of the panel and of the render options to the map widget.
    void connectLayerSwitches();
    /// Drops the run and lets the user choose other files.
    void abandonRun(const QString &msg);

    std::unique_ptr<Ui::MainWindow> ui;
    RenderOptionsDialog *renderOptionsDialog;
    FileOpenerDialog *fileOpenerDialog;
    Simulation *m_simulation = nullptr;
    SimulationThread *loop = nullptr; ///< the step loop of the run once it has started
    QDockWidget *livePlotDock = nullptr;
    LivePlot *livePlot = nullptr;
};

#endif
