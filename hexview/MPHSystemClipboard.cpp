#include "hexview/MPHSystemClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace kestrum {

void MPHSystemClipboard::SetMimeData(std::unique_ptr<QMimeData> data)
{
    // The clipboard takes ownership of the object.
    QGuiApplication::clipboard()->setMimeData(data.release());
}

const QMimeData* MPHSystemClipboard::GetMimeData() const
{
    return QGuiApplication::clipboard()->mimeData();
}

} // namespace kestrum
