#pragma once

#include "buffer/ByteCompare.h"
#include "buffer/DataBuffer.h"
#include "layout/FlashLayout.h"

#include <QObject>

#include <functional>
#include <vector>

class QAction;
class QTreeWidget;
class QWidget;

namespace kestrum {

class HexEditor;
class MapStrip;
class Reporter;

/// The regions of the image in the window: the Regions list (name, start, end, size, source) and
/// the map strip beside the hex view, found again whenever the image changes, or taken from a
/// layout file (File, "Load layout..."). Choosing a region selects its bytes; a click on the strip
/// goes to its place.
class RegionsView : public QObject
{
    Q_OBJECT

public:
    /// Runs a command unless a job runs (false then): "Load layout..." waits for no job.
    using Exclusive = std::function<bool(const std::function<void()>&)>;
    RegionsView(QWidget* window, HexEditor& editor, const DataBuffer& buffer, Reporter& reporter, Exclusive exclusive);

    /// The hex view with the strip and the list at its right, as one widget.
    QWidget* around(QWidget* hexView);
    [[nodiscard]] QAction* loadLayoutAction() const { return m_loadLayout; }
    [[nodiscard]] MapStrip* strip() const { return m_strip; }
    [[nodiscard]] QTreeWidget* list() const { return m_list; }
    [[nodiscard]] const std::vector<Region>& regions() const { return m_regions; }

    /// The image now holds count bytes: its layout and summary are found again.
    void imageChanged(std::uint32_t count);
    /// Asks for a layout file and shows its regions over the image; a refused file is told.
    void loadLayout();
    /// Marks a comparison's differences on the strip.
    void showDifferences(const Comparison& comparison);
    /// The captions in the reporter's language.
    void retranslate();

private:
    void showRegions();

    HexEditor& m_editor;
    const DataBuffer& m_buffer;
    Reporter& m_reporter;
    Exclusive m_exclusive;
    QAction* m_loadLayout;
    MapStrip* m_strip;
    QTreeWidget* m_list;
    std::uint32_t m_size = 0;
    std::vector<Region> m_regions;
    std::vector<Region> m_contents;
};

} // namespace kestrum
