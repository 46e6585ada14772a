#include "jobs/JobLog.h"

#include <cerrno>

namespace kestrum {

int JobLog::open(const QString& fileName)
{
    m_name = fileName;
    return m_file.open(fileName);
}

int JobLog::writeHeader(const QByteArray& header)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    const qint64 size = m_file.size();
    if (size < 0)
        return errno != 0 ? errno : EIO;
    return size == 0 ? m_file.append(header, true) : 0;
}

int JobLog::writeLine(const QByteArray& line)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_file.append(line, true);
}

} // namespace kestrum
