#include "engine/bundleddata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(BundledData, TheWorkingFoldersDataComesFirstThenTheInstalledFolderBesideTheProgram)
{
    // The installed folder of a test program is share/kolvex/ beside the tests' build folders.
    const QString installed = BundledData::installedDirectory();
    ASSERT_TRUE(installed.endsWith(QLatin1String("/share/kolvex/"))) << installed.toStdString();
    if (QFileInfo::exists(installed))
        GTEST_SKIP() << "something is installed in " << installed.toStdString();
    QTemporaryDir working;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(working.path()));
    EXPECT_EQ(BundledData::schedulePath(), "./data/schedules.xml") << "neither has it: named where it is usually";

    ASSERT_TRUE(QDir().mkpath(installed));
    QFile(installed + "schedules.xml").open(QIODevice::WriteOnly);
    EXPECT_EQ(BundledData::schedulePath(), installed + "schedules.xml");
    EXPECT_EQ(BundledData::mapPath(), "./data/kesta_center_2014-04-15_compressed_edited.osm");

    ASSERT_TRUE(QDir().mkpath("data"));
    QFile("data/schedules.xml").open(QIODevice::WriteOnly);
    EXPECT_EQ(BundledData::schedulePath(), "./data/schedules.xml");

    QDir::setCurrent(previous);
    QDir(installed).removeRecursively();
}
