#pragma once

#include "hexview/HexEditor.h"

namespace kestrum {

/// The application's clipboard for copy, cut and paste of the hex view.
class SystemClipboard : public EditorClipboard
{
public:
    void setMimeData(std::unique_ptr<QMimeData> data) override;
    const QMimeData* mimeData() const override;
};

} // namespace kestrum
