#include "mainwindow.h"
#include "metatypes.h"

#include "engine/bundleddata.h"

#include <QApplication>

#include <iostream>
#include <memory>

int main(int argc, char *argv[])
{
    std::cerr << "Main: "
              << "starting..." << std::endl;
    registerMetaTypes();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kolvex"));
    QApplication::setApplicationVersion(QStringLiteral(KOLVEX_VERSION));
    // Lets the desktop match the window with its desktop entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(KOLVEX_APP_ID));
    std::cerr << "Main: "
              << "default map " << BundledData::mapPath().toStdString() << std::endl;

    auto window = std::make_unique<MainWindow>();
    window->show();

    std::cerr << "Main: "
              << "about to call app.exec()..." << std::endl;
    const int code = app.exec();
    window.reset(); // the window and its simulation go before the application object
    return code;
}
