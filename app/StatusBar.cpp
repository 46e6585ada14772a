#include "app/StatusBar.h"

#include "base/Messages.h"

#include <QEvent>
#include <QPainter>
#include <QStyleOption>

#include <algorithm>

namespace kestrum {

namespace {
constexpr int BorderWidth = 0;
}

bool isNotConnectedText(const QString& text, int language)
{
    return text == messageText(MsgNotConnected, language);
}

StatusBar::StatusBar(QWidget* parent, std::function<int()> language)
    : QStatusBar(parent)
    , m_language(std::move(language))
    , m_progress(new QProgressBar(this))
{
    setObjectName(QStringLiteral("statusBar"));
    setSizeGripEnabled(false);
    // The design height, or what a larger font needs.
    setFixedHeight(std::max(22, fontMetrics().height() + 6));
    m_progress->setObjectName(QStringLiteral("progressBar"));
    m_progress->setRange(0, 100);
    // The bar tells its percentage; panel 4 beside it tells the rate and the time left.
    m_progress->setTextVisible(true);
    m_progress->setFormat(QStringLiteral("%p%"));
    m_progress->hide();
    m_progress->installEventFilter(this);
    placeProgress();
}

bool StatusBar::eventFilter(QObject* watched, QEvent* event)
{
    // Shown, the bar leaves panel 4 the room for the rate and the time left; hidden, the panel has
    // the whole width again.
    if (watched == m_progress && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)) {
        placeProgress();
        update();
    }
    return QStatusBar::eventFilter(watched, event);
}

int StatusBar::rateRoom() const
{
    const int language = m_language ? m_language() : 0;
    const QString widest
        = messageText(MsgProgressRate, language).arg(QStringLiteral("888.8 MB/s"), QStringLiteral("88:88:88"));
    return fontMetrics().horizontalAdvance(widest) + 12;
}

void StatusBar::setPanelText(int panel, const QString& text)
{
    if (panel < 0 || panel >= int(m_texts.size()))
        return;
    const int before = fixedPanelsWidth();
    m_texts[size_t(panel)] = text;
    // A text wider than its panel widens the panel and moves everything right of it.
    if (fixedPanelsWidth() != before) {
        placeProgress();
        update();
    } else {
        update(panelRect(panel));
    }
}

QString StatusBar::panelText(int panel) const
{
    return (panel >= 0 && panel < int(m_texts.size())) ? m_texts[size_t(panel)] : QString();
}

int StatusBar::panelWidth(int panel) const
{
    // The design width, or what the text needs inside the panel's frame and margins.
    return std::max(PanelWidths[size_t(panel)], fontMetrics().horizontalAdvance(m_texts[size_t(panel)]) + 9);
}

int StatusBar::fixedPanelsWidth() const
{
    int width = 0;
    for (int i = 0; i < int(PanelWidths.size()) - 1; ++i)
        width += panelWidth(i);
    return width;
}

QRect StatusBar::panelRect(int panel) const
{
    int x = 0;
    for (int i = 0; i < panel; ++i)
        x += panelWidth(i);
    int width = panelWidth(panel);
    if (panel == int(PanelWidths.size()) - 1) {
        width = std::max(width, this->width() - x); // the last panel reaches the right edge
        // Beside a shown progress bar, it keeps what the bar leaves.
        if (!m_progress->isHidden()) {
            const int left = m_progress->geometry().right() + 1;
            width = std::max(0, x + width - left);
            x = left;
        }
    }
    return QRect(x, 0, width, height());
}

bool StatusBar::panel1IsRed() const
{
    return isNotConnectedText(m_texts[1], m_language ? m_language() : 0);
}

void StatusBar::placeProgress()
{
    const int top = BorderWidth + 2;
    const int room = m_progress->isHidden() ? 0 : rateRoom();
    const int fixed = fixedPanelsWidth();
    m_progress->setGeometry(fixed + 2, top, std::max(40, width() - fixed - room), height() - top);
}

void StatusBar::resizeEvent(QResizeEvent* event)
{
    QStatusBar::resizeEvent(event);
    placeProgress();
}

void StatusBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    for (int i = 0; i < int(m_texts.size()); ++i) {
        const QRect r = panelRect(i).adjusted(1, 2, -1, -1);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        if (i == 1) {
            drawPanel(painter, i, r);
        } else {
            painter.setPen(palette().color(QPalette::ButtonText));
            painter.drawText(r.adjusted(3, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft, m_texts[size_t(i)]);
        }
    }
}

void StatusBar::drawPanel(QPainter& painter, int panel, const QRect& rect)
{
    const QString& text = m_texts[size_t(panel)];
    painter.setPen(panel1IsRed() ? QColor(Qt::red) : palette().color(QPalette::ButtonText));
    painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, text);
}

} // namespace kestrum
