#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Kestrum USB High Speed Programmer"));
    window.resize(700, 500);
    window.show();
    return app.exec();
}
