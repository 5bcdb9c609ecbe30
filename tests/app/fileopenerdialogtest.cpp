// The start dialog's car cap and box: handed to the run, remembered, and repeated on the console.

#include "app/fileopenerdialog.h"
#include "engine/simulation.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

const char *const BOX = "24.94,60.168,24.948,60.175";

template <typename W> W *child(QObject *parent, const char *name)
{
    return parent->findChild<W *>(QLatin1String(name));
}

} // namespace

TEST(FileOpenerDialog, TheCarCapAndTheBoxAreHandedToTheRunRememberedAndRepeatedOnTheConsole)
{
    QTemporaryDir ownSettings; // what the dialog remembers stays out of the user's settings
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, ownSettings.path());
    FileOpenerDialog dialog;
    auto *maxCars = child<QSpinBox>(&dialog, "sbMaxCars");
    auto *box = child<QLineEdit>(&dialog, "leBoundingBox");
    ASSERT_TRUE(maxCars && box);
    EXPECT_EQ(maxCars->value(), 667);
    EXPECT_FALSE(dialog.settings().bbox);
    EXPECT_FALSE(dialog.settings().consoleCommand().contains(QRegularExpression("--max-cars|--bbox")));

    std::optional<RunSettings> started;
    QObject::connect(&dialog, &FileOpenerDialog::startSim, [&](const RunSettings &run) { started = run; });
    maxCars->setValue(2500);
    box->setText(" 24.94, 60.168 , 24.948,60.175");
    child<QRadioButton>(&dialog, "rbDraftSchedules")->setChecked(true);
    child<QPushButton>(&dialog, "btnStartSimulation")->click();
    ASSERT_TRUE(started && started->bbox);
    EXPECT_EQ(started->maxCars, 2500u);
    // Both commands, the drafting one too, keep to the box.
    const QString command = started->consoleCommand();
    EXPECT_EQ(command.count(QStringLiteral(" --bbox %1").arg(BOX)), 2) << command.toStdString();
    EXPECT_TRUE(command.endsWith(QStringLiteral("--max-cars 2500 --bbox %1").arg(BOX))) << command.toStdString();

    dialog.runStarted();
    FileOpenerDialog next;
    EXPECT_EQ(child<QSpinBox>(&next, "sbMaxCars")->value(), 2500);
    EXPECT_EQ(child<QLineEdit>(&next, "leBoundingBox")->text(), BOX);

    // A box that is none is refused with the reason, and no run starts.
    started.reset();
    child<QLineEdit>(&next, "leBoundingBox")->setText("24.948,60.168,24.94,60.175");
    child<QPushButton>(&next, "btnStartSimulation")->click();
    EXPECT_FALSE(started);
    auto *failure = child<QMessageBox>(&next, "mbFailure");
    ASSERT_NE(failure, nullptr);
    EXPECT_TRUE(failure->text().contains("each minimum must be below its maximum")) << failure->text().toStdString();
}

TEST(FileOpenerDialog, TheRunPreparesOnlyTheBoxWithTheCarCapChosen)
{
    RunSettings run = RunSettings::bundled();
    run.osmFilePath = QStringLiteral(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm");
    run.scheduleFilePath = QStringLiteral(KOLVEX_SOURCE_DIR "/data/schedules.xml");
    run.maxCars = 1234;
    run.bbox = BoundingBox{24.94, 60.168, 24.948, 60.175};
    Simulation simulation(run.osmFilePath, run.scheduleFilePath, run.start, run.seed);
    run.configure(simulation);
    simulation.prepData(); // in this thread: the stages run at once
    ASSERT_TRUE(simulation.hasNetwork()) << simulation.preparationProblems().join('\n').toStdString();
    EXPECT_EQ(simulation.simulationData()->maxCars, 1234u);
    for (const Node *node : simulation.osmData()->nodes()->nodes())
        ASSERT_TRUE(run.bbox->contains(node->getLocation())) << node->getId();
}
