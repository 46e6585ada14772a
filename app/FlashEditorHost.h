#pragma once

#include "buffer/ViewHandOver.h"

#include <QWidget>

#include <memory>

namespace kestrum {

class HexEditor;

/// `FlashEditor`: the hex view of the main window, and its port for the buffer hand-overs.
class FlashEditorHost : public QWidget, public HexViewPort
{
    Q_OBJECT
public:
    explicit FlashEditorHost(QWidget* parent);
    ~FlashEditorHost() override;

    void loadFrom(QIODevice& stream) override;
    [[nodiscard]] bool isModified() const override;
    [[nodiscard]] qint64 dataSize() const override;
    void readBytes(void* destination, qint64 position, qint64 count) override;
    void setModified(bool modified) override;

    /// The control's data and editing model.
    [[nodiscard]] HexEditor& editor() const;
    /// The cursor offset, the selection length when there is one, and "INS" or "OVR".
    [[nodiscard]] QString positionText() const;

Q_SIGNALS:
    /// The position text changed: the cursor moved, the selection or the mode changed.
    void positionTextChanged(const QString& text);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kestrum
