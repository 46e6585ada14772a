#pragma once

#include "buffer/ByteCompare.h"
#include "layout/FlashLayout.h"
#include "layout/MapSummary.h"

#include <QWidget>

#include <vector>

namespace kestrum {

/// The whole image at a glance, top to bottom beside the hex view: regions as coloured bands with
/// their names, blank (0xFF) and zero stretches shaded, the contents and the differences of a
/// comparison as marks on the edge, the caret as a line. A click goes to that place. Painting
/// works from the summary made when the data changed and never reads the image.
class MapStrip : public QWidget
{
    Q_OBJECT

public:
    explicit MapStrip(QWidget* parent = nullptr);

    void setImage(MapSummary summary, std::vector<Region> regions, std::vector<Region> contents);
    void setCaret(std::uint64_t address);
    void setDifferences(std::vector<DifferenceRange> differences);
    [[nodiscard]] const MapSummary& summary() const { return m_summary; }
    /// The address at a height of the strip.
    [[nodiscard]] std::uint64_t addressAt(int y) const;
    /// The colour of region number index of a layout.
    static QColor regionColor(std::size_t index);

    [[nodiscard]] QSize sizeHint() const override { return {84, 200}; }
    [[nodiscard]] QSize minimumSizeHint() const override { return {84, 40}; }

signals:
    void addressChosen(std::uint64_t address);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    [[nodiscard]] int yOf(std::uint64_t address) const;

    MapSummary m_summary;
    std::vector<Region> m_regions;
    std::vector<Region> m_contents;
    std::vector<DifferenceRange> m_differences;
    std::uint64_t m_caret = 0;
};

} // namespace kestrum
