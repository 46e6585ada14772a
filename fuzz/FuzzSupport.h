#pragma once

#include "base/UserInterface.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>

#include <unistd.h>

namespace kestrum::fuzz {

/// Counts the error boxes; nothing else may happen while a file is read.
class CountingUserInterface : public UserInterface
{
public:
    void showError(const QString&) override { ++errors; }
    bool askYesNo(const QString&) override { __builtin_trap(); }
    void showInformation(const QString&) override { __builtin_trap(); }
    void beep() override { __builtin_trap(); }
    QString chooseOpenFile(const QString&) override { __builtin_trap(); }
    QString chooseSaveFile(const QString&, const QString&) override { __builtin_trap(); }
    void insertLogLine(const QString&) override { __builtin_trap(); }

    int errors = 0;
};

/// A check that must hold for every input; a failure is a finding.
inline void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

/// A private folder for the targets that go through real files, made once per process and
/// removed when it exits. The name is plain storage, so that it outlives every destructor.
inline char scratchName[] = "/tmp/kestrum-fuzz-XXXXXX";

inline QString scratchFolder()
{
    static const bool made = [] {
        if (!::mkdtemp(scratchName))
            std::abort();
        std::atexit([] { QDir(QString::fromLocal8Bit(scratchName)).removeRecursively(); });
        return true;
    }();
    (void)made;
    return QString::fromLocal8Bit(scratchName);
}

inline void writeWholeFile(const QString& path, const std::uint8_t* data, std::size_t size)
{
    QFile f(path);
    require(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    require(f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) == static_cast<qint64>(size));
}

} // namespace kestrum::fuzz
