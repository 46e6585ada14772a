#include "app/CompareDialog.h"

#include "base/Reporter.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrum {

namespace {

QString hexOffset(std::uint64_t offset)
{
    return QStringLiteral("0x") + QString::number(offset, 16).toUpper().rightJustified(6, QLatin1Char('0'));
}

} // namespace

CompareDialog::CompareDialog(QWidget* parent, const Reporter& reporter, std::function<void(qint64, qint64)> rangeChosen)
    : QDialog(parent)
    , m_reporter(reporter)
    , m_rangeChosen(std::move(rangeChosen))
{
    setObjectName(QStringLiteral("compareDialog"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    summaryLabel = new QLabel(this);
    summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    layout->addWidget(summaryLabel);
    rangeList = new QTreeWidget(this);
    rangeList->setObjectName(QStringLiteral("rangeList"));
    rangeList->setColumnCount(3);
    rangeList->setRootIsDecorated(false);
    rangeList->setUniformRowHeights(true);
    rangeList->header()->setStretchLastSection(true);
    layout->addWidget(rangeList);
    moreLabel = new QLabel(this);
    moreLabel->setObjectName(QStringLiteral("moreLabel"));
    layout->addWidget(moreLabel);
    connect(rangeList, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!item)
            return;
        const auto row = static_cast<std::size_t>(rangeList->indexOfTopLevelItem(item));
        if (row < m_comparison.ranges.size() && m_rangeChosen)
            m_rangeChosen(qint64(m_comparison.ranges[row].start), qint64(m_comparison.ranges[row].end));
    });
    resize(420, 360);
    applyLanguage();
}

void CompareDialog::showComparison(const Comparison& comparison)
{
    m_comparison = comparison;
    rangeList->clear();
    const std::size_t listed = std::min<std::size_t>(comparison.ranges.size(), ListedRanges);
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(listed));
    for (std::size_t i = 0; i < listed; ++i) {
        const DifferenceRange& r = comparison.ranges[i];
        items << new QTreeWidgetItem(QStringList {hexOffset(r.start), hexOffset(r.end), QString::number(r.length())});
    }
    rangeList->addTopLevelItems(items);
    applyLanguage();
    show();
    raise();
}

void CompareDialog::applyLanguage()
{
    setWindowTitle(m_reporter.message(MsgCompareTitle));
    rangeList->setHeaderLabels({m_reporter.message(MsgCompareColumnStart), m_reporter.message(MsgCompareColumnEnd),
        m_reporter.message(MsgCompareColumnLength)});
    summaryLabel->setText(m_comparison.equal()
            ? m_reporter.message(MsgCompareEqual).arg(m_comparison.compared)
            : m_reporter.message(MsgCompareDifferent).arg(m_comparison.differingBytes).arg(m_comparison.ranges.size()));
    const std::size_t more
        = m_comparison.ranges.size() - std::min<std::size_t>(m_comparison.ranges.size(), ListedRanges);
    moreLabel->setText(more > 0 ? m_reporter.message(MsgCompareMoreRanges).arg(more) : QString());
    moreLabel->setVisible(more > 0);
}

} // namespace kestrum
