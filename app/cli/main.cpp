// kestrum-cli: converts data files between the kinds the program opens and saves.
#include "app/cli/Convert.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv)
{
    // Not QCoreApplication::arguments(): a file name that is no UTF-8 must keep its bytes.
    const QStringList arguments = kestrum::cli::argumentsOf(argc, argv);
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    return kestrum::cli::RunCli(arguments, err);
}
