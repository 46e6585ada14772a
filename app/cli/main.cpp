// kestrum-cli: converts data files between the kinds the program opens and saves.
#include "app/cli/Convert.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return kestrum::cli::RunCli(arguments, err);
}
