#include "app/MapStrip.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace kestrum {

MapStrip::MapStrip(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("mapStrip"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void MapStrip::setImage(MapSummary summary, std::vector<Region> regions, std::vector<Region> contents)
{
    m_summary = std::move(summary);
    m_regions = std::move(regions);
    m_contents = std::move(contents);
    m_differences.clear();
    update();
}

void MapStrip::setCaret(std::uint64_t address)
{
    if (address == m_caret)
        return;
    m_caret = address;
    update();
}

void MapStrip::setDifferences(std::vector<DifferenceRange> differences)
{
    m_differences = std::move(differences);
    update();
}

QColor MapStrip::regionColor(std::size_t index)
{
    // Hues far apart for neighbours: the golden angle round the colour wheel.
    return QColor::fromHsv(int((index * 137) % 360), 150, 235);
}

int MapStrip::yOf(std::uint64_t address) const
{
    const std::uint64_t size = std::max<std::uint64_t>(m_summary.imageSize(), 1);
    return int(std::min<std::uint64_t>(address, size) * std::uint64_t(height()) / size);
}

std::uint64_t MapStrip::addressAt(int y) const
{
    const std::uint64_t size = m_summary.imageSize();
    if (size == 0 || height() <= 0)
        return 0;
    const auto row = std::uint64_t(std::clamp(y, 0, height() - 1));
    return std::min(size - 1, row * size / std::uint64_t(height()));
}

void MapStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int w = width(), h = height();
    painter.fillRect(rect(), palette().base());
    if (m_summary.imageSize() == 0)
        return;
    // Blank and zero stretches, one row of pixels at a time from the summary.
    const QColor blank(0xE4, 0xE4, 0xE4), zero(0x9A, 0x9A, 0x9A);
    for (int y = 0; y < h; ++y) {
        const MapFill fill
            = m_summary.dominant(addressAt(y), y + 1 < h ? addressAt(y + 1) - 1 : m_summary.imageSize() - 1);
        if (fill != MapFill::Data)
            painter.fillRect(0, y, w, 1, fill == MapFill::Blank ? blank : zero);
    }
    // Regions as bands on the left two thirds, nested ones inset; their names where they fit.
    const int band = w * 2 / 3;
    const int lineHeight = painter.fontMetrics().height();
    for (std::size_t i = 0; i < m_regions.size(); ++i) {
        const Region& r = m_regions[i];
        const int top = yOf(r.start), bottom = std::max(top + 1, yOf(r.end() + 1));
        int inset = 0;
        for (std::size_t j = 0; j < i; ++j)
            if (m_regions[j].start <= r.start && m_regions[j].end() >= r.end())
                inset += 4;
        QColor color = regionColor(i);
        color.setAlpha(170);
        painter.fillRect(inset, top, std::max(band - inset, 4), bottom - top, color);
        if (bottom - top >= lineHeight)
            painter.drawText(
                QRect(inset + 2, top, band - inset - 2, bottom - top), Qt::AlignLeft | Qt::AlignVCenter, r.name);
    }
    // Contents and differences as marks on the right edge.
    painter.setPen(palette().text().color());
    for (const Region& c : m_contents) {
        const int top = yOf(c.start);
        painter.fillRect(band, top, w - band, std::max(1, yOf(c.end() + 1) - top), QColor(0x4A, 0x7A, 0xC0));
    }
    for (const DifferenceRange& d : m_differences) {
        const int top = yOf(d.start);
        painter.fillRect(w - 6, top, 6, std::max(2, yOf(d.end + 1) - top), QColor(0xD0, 0x20, 0x20));
    }
    const int caret = std::min(yOf(m_caret), h - 1);
    painter.fillRect(0, caret, w, 2, palette().highlight());
}

void MapStrip::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_summary.imageSize() != 0)
        emit addressChosen(addressAt(int(event->position().y())));
}

} // namespace kestrum
