#include "app/simtimecontrol.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

struct StepSizeCase
{
    uint stepSize;
    int stepPos;
    const char *label;
    bool slowerEnabled; ///< "- Speed"
    bool fasterEnabled; ///< "+ Speed"
};

} // namespace

TEST(SimTimeControl, StepSizeLabelShowsSpeedAndTheLimitsDisableTheirButton)
{
    const StepSizeCase cases[] = {
        {250, 1, "1.0x", true, true},   {125, 1, "2.0x", true, true},  {31, 1, "8.1x", true, true},
        {1000, 0, "0.3x", false, true}, {1, 2, "250.0x", true, false},
    };
    SimTimeControl panel;
    auto *label = panel.findChild<QLabel *>("stepSizeLabel");
    auto *slower = panel.findChild<QPushButton *>("incStepButton");
    auto *faster = panel.findChild<QPushButton *>("decStepButton");
    ASSERT_TRUE(label && slower && faster);
    EXPECT_EQ(label->text(), "Step size");
    for (const StepSizeCase &c : cases) {
        panel.setNewStepSize(c.stepSize, c.stepPos);
        EXPECT_EQ(label->text(), c.label) << c.stepSize;
        EXPECT_EQ(slower->isEnabled(), c.slowerEnabled) << c.stepSize;
        EXPECT_EQ(faster->isEnabled(), c.fasterEnabled) << c.stepSize;
    }
}

TEST(SimTimeControl, StartAndStopSwapTheButtonsAndEmitTheirRequest)
{
    SimTimeControl panel;
    auto *start = panel.findChild<QPushButton *>("startButton");
    auto *stop = panel.findChild<QPushButton *>("stopButton");
    auto *step = panel.findChild<QPushButton *>("stepButton");
    ASSERT_TRUE(start && stop && step);
    int starts = 0, stops = 0;
    QObject::connect(&panel, &SimTimeControl::start, [&] { ++starts; });
    QObject::connect(&panel, &SimTimeControl::stop, [&] { ++stops; });
    EXPECT_FALSE(stop->isEnabled());

    start->click();
    EXPECT_EQ(starts, 1);
    EXPECT_FALSE(start->isEnabled());
    EXPECT_FALSE(step->isEnabled());
    EXPECT_TRUE(stop->isEnabled());

    stop->click();
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(start->isEnabled());
    EXPECT_TRUE(step->isEnabled());
    EXPECT_FALSE(stop->isEnabled());

    panel.switchEnable();
    EXPECT_FALSE(start->isEnabled());
    EXPECT_TRUE(stop->isEnabled());
}
