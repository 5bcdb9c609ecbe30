// kolvex-screenshot: runs the window on the bundled city, or on a map given with a timetable
// drafted from its route relations, for a while, as a user would, and saves a picture of it. Run it from the repository
// root under a display (scripts/screenshot uses a virtual one).

#include "fileopenerdialog.h"
#include "mainwindow.h"
#include "metatypes.h"
#include "runsettings.h"
#include "usersettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include <iostream>
#include <memory>

namespace {

/// Processes events for `ms` milliseconds or until `done` holds; whether it held.
template <typename Done> bool runFor(int ms, Done done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

QPushButton *button(QObject *parent, const char *name)
{
    auto *b = parent->findChild<QPushButton *>(QLatin1String(name));
    if (!b)
        std::cerr << "kolvex-screenshot: no button " << name << std::endl;
    return b;
}

} // namespace

int main(int argc, char *argv[])
{
    registerMetaTypes();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kolvex"));
    const QStringList args = QApplication::arguments();
    if (args.size() < 2 || args.size() > 4) {
        std::cerr << "usage: kolvex-screenshot OUTPUT.png [WALL_SECONDS [MAP]]" << std::endl;
        return 2;
    }
    const QString output = args.at(1);
    const int seconds = args.size() > 2 ? args.at(2).toInt() : 20;
    const QString map = args.size() > 3 ? args.at(3) : QString();

    // The picture shows the bundled city or the map asked for, whatever run the user last started.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    if (!map.isEmpty()) {
        // Offered as the last run, as a user who drafted that map's timetable before would see it.
        RunSettings run;
        run.osmFilePath = QFileInfo(map).absoluteFilePath();
        run.timetable = TimetableSource::Draft;
        UserSettings user;
        run.remember(user);
    }
    auto window = std::make_unique<MainWindow>();
    window->resize(1100, 760);
    window->show();
    auto *dialog = window->findChild<FileOpenerDialog *>();
    QPushButton *startSim = dialog ? button(dialog, "btnStartSimulation") : nullptr;
    if (!startSim)
        return 1;
    startSim->click();
    if (!runFor(60000, [&] { return !dialog->isVisible(); })) {
        std::cerr << "kolvex-screenshot: the map was not prepared" << std::endl;
        return 1;
    }
    QPushButton *faster = button(window.get(), "decStepButton");
    QPushButton *start = button(window.get(), "startButton");
    if (!faster || !start)
        return 1;
    for (int i = 0; i < 4; ++i) // 16 times real time: a few simulated minutes in the plot
        faster->click();
    start->click();
    runFor(seconds * 1000, [] { return false; });

    if (!window->grab().save(output, "PNG")) {
        std::cerr << "kolvex-screenshot: cannot write \"" << output.toStdString() << "\"" << std::endl;
        return 1;
    }
    std::cerr << "kolvex-screenshot: wrote " << output.toStdString() << std::endl;
    return 0;
}
