#pragma once

#include "buffer/ByteCompare.h"

#include <QDialog>

#include <functional>

class QLabel;
class QTreeWidget;

namespace kestrum {

class Reporter;

/// The result of a comparison: the count of differing bytes and the first ranges (start, end,
/// length), with how many more there are. Choosing a range selects it in the hex view. A window
/// of its own that stays open beside the main window.
class CompareDialog : public QDialog
{
    Q_OBJECT
public:
    /// The most ranges listed.
    static constexpr int ListedRanges = 1000;

    /// rangeChosen selects the range (start and end offsets, inclusive).
    CompareDialog(QWidget* parent, const Reporter& reporter, std::function<void(qint64, qint64)> rangeChosen);

    /// Shows that comparison.
    void showComparison(const Comparison& comparison);
    /// The texts in the language in force.
    void applyLanguage();

private:
    const Reporter& m_reporter;
    std::function<void(qint64, qint64)> m_rangeChosen;
    Comparison m_comparison;
    QLabel* summaryLabel = nullptr;
    QTreeWidget* rangeList = nullptr;
    QLabel* moreLabel = nullptr;
};

} // namespace kestrum
