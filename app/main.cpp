#include "mainwindow.h"

#include <QApplication>
#include <QMetaType>
#include <QPoint>

#include <iostream>
#include <memory>
#include <vector>

Q_DECLARE_METATYPE(std::vector<QPoint>)

int main(int argc, char *argv[])
{
    std::cerr << "Main: "
              << "starting..." << std::endl;
    // Point lists travel through queued connections of the map display.
    qRegisterMetaType<std::vector<QPoint>>("std::vector<QPoint>");

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
