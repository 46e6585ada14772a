#include "hexview/SystemClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace kestrum {

void SystemClipboard::setMimeData(std::unique_ptr<QMimeData> data)
{
    // The clipboard takes ownership of the object.
    QGuiApplication::clipboard()->setMimeData(data.release());
}

const QMimeData* SystemClipboard::mimeData() const
{
    return QGuiApplication::clipboard()->mimeData();
}

} // namespace kestrum
