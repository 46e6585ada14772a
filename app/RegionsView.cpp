#include "app/RegionsView.h"

#include "app/MapStrip.h"
#include "base/Reporter.h"
#include "hexview/HexEditor.h"
#include "layout/LayoutTexts.h"
#include "layout/MapSummary.h"

#include <QAction>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QTreeWidget>

namespace kestrum {

RegionsView::RegionsView(
    QWidget* window, HexEditor& editor, const DataBuffer& buffer, Reporter& reporter, Exclusive exclusive)
    : QObject(window)
    , m_editor(editor)
    , m_buffer(buffer)
    , m_reporter(reporter)
    , m_exclusive(std::move(exclusive))
    , m_loadLayout(new QAction(window))
    , m_strip(new MapStrip(window))
    , m_list(new QTreeWidget(window))
{
    m_loadLayout->setObjectName(QStringLiteral("loadLayoutAction"));
    connect(m_loadLayout, &QAction::triggered, this, [this] { m_exclusive([this] { loadLayout(); }); });
    m_list->setObjectName(QStringLiteral("regionList"));
    m_list->setColumnCount(5);
    m_list->setRootIsDecorated(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->setMinimumWidth(260);
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!item)
            return;
        const auto index = std::size_t(item->data(0, Qt::UserRole).toULongLong());
        const Region& r = index < m_regions.size() ? m_regions[index] : m_contents[index - m_regions.size()];
        if (qint64(r.start) >= m_editor.dataSize())
            return;
        m_editor.setSelStart(qint64(r.start));
        m_editor.setSelEnd(std::min(qint64(r.end()), m_editor.dataSize() - 1));
    });
    connect(m_strip, &MapStrip::addressChosen, this, [this](std::uint64_t address) {
        if (qint64(address) >= m_editor.dataSize())
            return;
        m_editor.setSelStart(qint64(address));
        m_editor.setSelEnd(qint64(address));
    });
    connect(&m_editor, &HexEditor::selectionChanged, this,
        [this] { m_strip->setCaret(std::uint64_t(std::max<qint64>(m_editor.cursorPosition(), 0))); });
    retranslate();
}

QWidget* RegionsView::around(QWidget* hexView)
{
    auto* row = new QWidget(hexView->parentWidget());
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(hexView, 1);
    layout->addWidget(m_strip);
    layout->addWidget(m_list);
    return row;
}

void RegionsView::imageChanged(std::uint32_t count)
{
    // The view shows at most the buffer, whatever size a chip record claims.
    m_size = std::min(count, BufferCapacity);
    const ImageLayout found = findLayout(m_buffer.data(), m_size);
    m_regions = found.regions;
    m_contents = found.contents;
    for (const LayoutFault& fault : found.faults)
        m_reporter.addLogLine(layoutFaultText(fault, m_reporter.language()));
    showRegions();
}

void RegionsView::loadLayout()
{
    const QString name = m_reporter.ui().chooseOpenFile(m_reporter.message(MsgLayoutFilter));
    if (name.isEmpty())
        return;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        m_reporter.showError(m_reporter.message(MsgRegionFileFailed).arg(name, file.errorString()));
        return;
    }
    const LayoutReading reading = readLayoutFile(file.readAll(), m_size);
    if (reading.fault.refused()) {
        m_reporter.showError(layoutFaultText(reading.fault, m_reporter.language()));
        return;
    }
    m_regions = reading.regions;
    showRegions();
}

void RegionsView::showDifferences(const Comparison& comparison)
{
    m_strip->setDifferences(comparison.ranges);
}

void RegionsView::showRegions()
{
    m_strip->setImage(MapSummary(m_buffer.data(), m_size), m_regions, m_contents);
    m_list->clear();
    const int language = m_reporter.language();
    std::size_t index = 0;
    for (const auto* group : {&m_regions, &m_contents})
        for (const Region& r : *group) {
            const bool known = r.size != 0;
            auto* item = new QTreeWidgetItem(m_list,
                {r.name, addressHex(r.start), known ? addressHex(r.end()) : QStringLiteral("?"),
                    known ? QString::number(r.size) : QStringLiteral("?"), regionSourceText(r.source, language)});
            item->setData(0, Qt::UserRole, qulonglong(index));
            if (index < m_regions.size())
                item->setBackground(0, MapStrip::regionColor(index));
            ++index;
        }
}

void RegionsView::retranslate()
{
    m_loadLayout->setText(m_reporter.message(MsgLoadLayout));
    m_list->setHeaderLabels({m_reporter.message(MsgRegionColumnName), m_reporter.message(MsgCompareColumnStart),
        m_reporter.message(MsgCompareColumnEnd), m_reporter.message(MsgCompareColumnLength),
        m_reporter.message(MsgRegionColumnSource)});
    if (m_size != 0)
        showRegions();
}

} // namespace kestrum
