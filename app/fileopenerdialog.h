#ifndef KOLVEX_APP_FILEOPENERDIALOG_H
#define KOLVEX_APP_FILEOPENERDIALOG_H

#include "runsettings.h"

#include <QDialog>

#include <memory>

namespace Ui {
class FileOpenerDialog;
}

/// The start dialog: the map, the timetable (a schedule file, or one drafted from the map's route
/// relations), the start time and seed, the car cap and the box of the map to simulate, and the log
/// of the preparation. It offers the last run
/// started (kept in the user's settings), else the bundled city, which stays one click away.
class FileOpenerDialog : public QDialog
{
    Q_OBJECT
public:
    explicit FileOpenerDialog(QWidget *parent = nullptr);
    ~FileOpenerDialog() override;

    const QString &osmFilePath() const { return m_osmFilePath; }
    const QString &scheduleFilePath() const { return m_scheduleFilePath; }
    /// The run as chosen now; a box that cannot be read counts as none (Start Sim refuses it).
    RunSettings settings() const;

    /// A run could not be prepared: the message goes into the log and into a message box over
    /// the dialog, and Start Sim may be pressed again (with other files).
    void reportFailure(const QString &msg);
    /// A run was prepared and started: the next one may be chosen and started from here.
    void runStarted();
    /// The preparation was cancelled: the files may be chosen and Start Sim pressed again.
    void preparationCancelled();
    /// Starts the chosen map again with a timetable drafted from its route relations, as the user
    /// does by choosing that and pressing Start Sim.
    void draftInstead();

signals:
    void startSim(const RunSettings &settings);
    void closeSim();
    /// The user asks to stop the preparation under way.
    void cancelPreparation();

public slots:
    void writeIntoLog(const QString &msg);
    /// Moves the progress bar to the start of stage `stage` of `stages`, named `name`.
    void showStage(int stage, int stages, const QString &name);
    void showStageShare(int stage, int stages, int percent);

protected:
    /// Escape would hide the dialog and leave the window with no way to start a run: the Close
    /// button is the way out.
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void on_btnChooseOSMFile_clicked();
    void on_btnChooseScheduleFile_clicked();
    void on_btnStartSimulation_clicked();
    void on_btnBundledCity_clicked();

private:
    /// Shows `run` as the one to start.
    void offer(const RunSettings &run);
    void updateStartButton();
    /// Why the text of the box cannot be read; empty when it can or is empty.
    QString boundingBoxProblem() const;
    /// While a run is prepared its files stay as they are.
    void setPreparing(bool on);

    std::unique_ptr<Ui::FileOpenerDialog> ui;
    bool osmFileChosen = false;
    bool scheduleFileChosen = false;
    QString m_osmFilePath;
    QString m_scheduleFilePath;
    bool preparing = false;  ///< Start Sim was pressed and no failure came back yet
    RunSettings startedWith; ///< remembered once the run has started
};

#endif
