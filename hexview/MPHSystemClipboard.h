#pragma once

#include "hexview/TMPHexEditorEx.h"

namespace kestrum {

/// The application's clipboard for copy, cut and paste of the hex view.
class MPHSystemClipboard : public IMPHClipboard
{
public:
    void SetMimeData(std::unique_ptr<QMimeData> data) override;
    const QMimeData* GetMimeData() const override;
};

} // namespace kestrum
