#include "fileopenerdialog.h"

#include "engine/bundleddata.h"
#include "filedialogs.h"
#include "ui_fileopenerdialog.h"
#include "usersettings.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>

#include <algorithm>
#include <iostream>

FileOpenerDialog::FileOpenerDialog(QWidget *parent) : QDialog(parent), ui(new Ui::FileOpenerDialog)
{
    ui->setupUi(this);
    ui->btnStartSimulation->setEnabled(false);
    setFixedSize(sizeHint());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::CustomizeWindowHint);
    connect(ui->btnClose, &QPushButton::clicked, this, &FileOpenerDialog::closeSim);
    connect(ui->btnCancelPreparation, &QPushButton::clicked, this, &FileOpenerDialog::cancelPreparation);
    connect(ui->rbDraftSchedules, &QRadioButton::toggled, this, &FileOpenerDialog::updateStartButton);

    const RunSettings last = RunSettings::remembered(UserSettings());
    offer(last);
    if (!QFileInfo(m_osmFilePath).isFile()) {
        const QString note =
            QStringLiteral("The bundled map is neither in %1 nor in %2: choose a map and a schedule file.")
                .arg(QLatin1String(BundledData::WORKING_DIRECTORY), BundledData::installedDirectory());
        writeIntoLog(note);
        std::cerr << "FileOpenerDialog: " << note.toStdString() << std::endl;
    }
}

void FileOpenerDialog::offer(const RunSettings &run)
{
    m_osmFilePath = run.osmFilePath;
    m_scheduleFilePath = run.scheduleFilePath;
    ui->leOSMFilePath->setText(m_osmFilePath);
    ui->leScheduleFilePath->setText(m_scheduleFilePath);
    osmFileChosen = true;
    scheduleFileChosen = true;
    (run.timetable == TimetableSource::Draft ? ui->rbDraftSchedules : ui->rbScheduleFile)->setChecked(true);
    ui->sbDraftHeadway->setValue(run.draftHeadway);
    ui->teSimInitTime->setTime(run.start);
    ui->sbSeed->setValue(int(std::min<uint64_t>(run.seed, uint64_t(ui->sbSeed->maximum()))));
    ui->sbMaxCars->setValue(int(std::min<size_t>(run.maxCars, size_t(ui->sbMaxCars->maximum()))));
    ui->leBoundingBox->setText(run.bbox ? run.bbox->toText() : QString());
    updateStartButton();
}

FileOpenerDialog::~FileOpenerDialog() = default;

void FileOpenerDialog::reportFailure(const QString &msg)
{
    writeIntoLog(msg);
    auto *box = new QMessageBox(QMessageBox::Warning, windowTitle(), msg, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("mbFailure"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open(); // window-modal over the dialog, without blocking the event loop
    setPreparing(false);
}

void FileOpenerDialog::runStarted()
{
    ui->pbPreparation->setValue(ui->pbPreparation->maximum());
    ui->pbPreparation->setFormat(QStringLiteral("Prepared %p%"));
    UserSettings remembered;
    startedWith.remember(remembered);
    close();
    setPreparing(false);
}

void FileOpenerDialog::preparationCancelled()
{
    writeIntoLog(QStringLiteral("Preparation cancelled."));
    ui->pbPreparation->setFormat(QStringLiteral("Cancelled"));
    setPreparing(false);
}

void FileOpenerDialog::showStage(int stage, int stages, const QString &name)
{
    ui->pbPreparation->setFormat(QStringLiteral("%1 %p%").arg(name));
    showStageShare(stage, stages, 0);
}

void FileOpenerDialog::showStageShare(int stage, int stages, int percent)
{
    ui->pbPreparation->setRange(0, 100 * stages);
    ui->pbPreparation->setValue(100 * (stage - 1) + percent);
}

void FileOpenerDialog::draftInstead()
{
    ui->rbDraftSchedules->setChecked(true);
    show();
    raise();
    if (ui->btnStartSimulation->isEnabled())
        on_btnStartSimulation_clicked();
}

void FileOpenerDialog::writeIntoLog(const QString &msg)
{
    ui->teLog->append(msg);
}

void FileOpenerDialog::on_btnChooseOSMFile_clicked()
{
    const QString chosen = FileDialogs::openMap(this);
    if (chosen.isEmpty())
        return;
    m_osmFilePath = chosen;
    ui->leOSMFilePath->setText(m_osmFilePath);
    osmFileChosen = true;
    updateStartButton();
}

void FileOpenerDialog::on_btnChooseScheduleFile_clicked()
{
    const QString chosen = FileDialogs::openSchedules(this);
    if (chosen.isEmpty())
        return;
    m_scheduleFilePath = chosen;
    ui->leScheduleFilePath->setText(m_scheduleFilePath);
    ui->rbScheduleFile->setChecked(true);
    scheduleFileChosen = true;
    updateStartButton();
}

void FileOpenerDialog::on_btnStartSimulation_clicked()
{
    const QString boxProblem = boundingBoxProblem();
    if (!boxProblem.isEmpty()) {
        reportFailure(QStringLiteral("Cannot simulate within the box: %1.").arg(boxProblem));
        return;
    }
    setPreparing(true);
    ui->teLog->setFocus();
    startedWith = settings();
    emit startSim(startedWith);
}

void FileOpenerDialog::on_btnBundledCity_clicked()
{
    RunSettings bundled = settings(); // the start time and seed stay as chosen
    const RunSettings city = RunSettings::bundled();
    bundled.osmFilePath = city.osmFilePath;
    bundled.scheduleFilePath = city.scheduleFilePath;
    bundled.timetable = TimetableSource::ScheduleFile;
    offer(bundled);
}

RunSettings FileOpenerDialog::settings() const
{
    RunSettings run;
    run.osmFilePath = m_osmFilePath;
    run.timetable = ui->rbDraftSchedules->isChecked() ? TimetableSource::Draft : TimetableSource::ScheduleFile;
    run.scheduleFilePath = m_scheduleFilePath;
    run.draftHeadway = ui->sbDraftHeadway->value();
    run.start = ui->teSimInitTime->time();
    run.seed = uint64_t(ui->sbSeed->value());
    run.maxCars = size_t(ui->sbMaxCars->value());
    BoundingBox box;
    QString malformed;
    if (BoundingBox::parse(ui->leBoundingBox->text(), box, malformed))
        run.bbox = box;
    return run;
}

QString FileOpenerDialog::boundingBoxProblem() const
{
    const QString text = ui->leBoundingBox->text();
    if (text.trimmed().isEmpty())
        return QString();
    BoundingBox box;
    QString problem;
    BoundingBox::parse(text, box, problem);
    return problem;
}

void FileOpenerDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        event->ignore();
    else
        QDialog::keyPressEvent(event);
}

void FileOpenerDialog::setPreparing(bool on)
{
    preparing = on;
    ui->btnCancelPreparation->setEnabled(on);
    if (on) {
        ui->pbPreparation->setValue(0);
        ui->pbPreparation->setFormat(QStringLiteral("Starting %p%"));
    }
    ui->btnChooseOSMFile->setEnabled(!on);
    ui->btnBundledCity->setEnabled(!on);
    ui->groupBoxScheduleFile->setEnabled(!on);
    updateStartButton();
}

void FileOpenerDialog::updateStartButton()
{
    // While a run is being prepared a second one must not start beside it.
    const bool timetable = scheduleFileChosen || ui->rbDraftSchedules->isChecked();
    ui->btnStartSimulation->setEnabled(osmFileChosen && timetable && !preparing);
}
