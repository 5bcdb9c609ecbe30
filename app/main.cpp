#include "mainwindow.h"
#include "metatypes.h"

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

    auto window = std::make_unique<MainWindow>();
    window->show();

    std::cerr << "Main: "
              << "about to call app.exec()..." << std::endl;
    const int code = app.exec();
    window.reset(); // the window and its simulation go before the application object
    return code;
}
