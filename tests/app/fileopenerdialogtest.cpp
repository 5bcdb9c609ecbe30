// The start dialog's car cap and box: offered, handed to the run, remembered, and repeated on the console.

#include "app/fileopenerdialog.h"
#include "engine/simulation.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

/// Keeps what the dialog remembers in a folder of the test's own, never the user's.
class OwnSettings
{
public:
    OwnSettings() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path()); }

private:
    QTemporaryDir folder;
};

template <typename W> W *child(QObject *parent, const char *name)
{
    W *w = parent->findChild<W *>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

const char *const BOX = "24.94,60.168,24.948,60.175";

} // namespace

TEST(FileOpenerDialog, TheCarCapAndTheBoxAreHandedToTheRunRememberedAndRepeatedOnTheConsole)
{
    OwnSettings own;
    FileOpenerDialog dialog;
    auto *maxCars = child<QSpinBox>(&dialog, "sbMaxCars");
    auto *box = child<QLineEdit>(&dialog, "leBoundingBox");
    EXPECT_EQ(maxCars->value(), 667);
    EXPECT_TRUE(box->text().isEmpty());
    EXPECT_FALSE(dialog.settings().bbox);
    // The usual run's command stays as short as before.
    EXPECT_FALSE(dialog.settings().consoleCommand().contains("--max-cars"));
    EXPECT_FALSE(dialog.settings().consoleCommand().contains("--bbox"));

    std::optional<RunSettings> started;
    QObject::connect(&dialog, &FileOpenerDialog::startSim, [&](const RunSettings &run) { started = run; });
    maxCars->setValue(2500);
    box->setText(" 24.94, 60.168 , 24.948,60.175");
    child<QRadioButton>(&dialog, "rbDraftSchedules")->setChecked(true);
    child<QPushButton>(&dialog, "btnStartSimulation")->click();
    ASSERT_TRUE(started);
    EXPECT_EQ(started->maxCars, 2500u);
    ASSERT_TRUE(started->bbox);
    EXPECT_EQ(started->bbox->toText(), BOX);
    // Both commands, the drafting one too, keep to the box.
    const QString command = started->consoleCommand();
    EXPECT_EQ(command.count(QStringLiteral(" --bbox %1").arg(BOX)), 2) << command.toStdString();
    EXPECT_TRUE(command.endsWith(QStringLiteral("--max-cars 2500 --bbox %1").arg(BOX))) << command.toStdString();

    // The next start offers them again.
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
    EXPECT_TRUE(child<QPushButton>(&next, "btnStartSimulation")->isEnabled());
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
