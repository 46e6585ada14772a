// A save that ends without its commit, as a killed one does: its temporary file stays for the
// next process that saves to the same target.
#include "base/ReplacementFile.h"

#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    kestrum::ReplacementFile file(QString::fromLocal8Bit(argv[1]));
    if (file.create())
        file.append("first bytes", 11);
    ::_exit(0);
}
