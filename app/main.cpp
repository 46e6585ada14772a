#include "app/KestrumApplication.h"
#include "app/MainWindow.h"

#include <QIcon>

int main(int argc, char** argv)
{
    kestrum::KestrumApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/icons/kestrum.svg")));
    kestrum::MainWindow window;
    kestrum::prepareStart(window);
    window.show();
    return app.exec();
}
