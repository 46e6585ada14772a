#include "app/GangWindow.h"

#include "base/Reporter.h"
#include "link/UsbLink.h"
#include "ops/ProgressEstimate.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <climits>
#include <mutex>

namespace kestrum {

/// Hands what the sockets' threads tell over to the window's thread.
class GangWindow::Observer : public ProductionObserver
{
public:
    Observer(GangWindow* window, Reporter& reporter)
        : m_window(window)
        , m_reporter(reporter)
    {
    }
    void message(std::size_t socket, const QString& text, Kind kind) override
    {
        const bool error = kind == Kind::Error;
        QMetaObject::invokeMethod(
            m_window, [w = m_window, socket, text, error] { w->socketMessage(socket, text, error); },
            Qt::QueuedConnection);
    }
    bool askYesNo(std::size_t socket, const QString& text) override { return askButtons(socket, text, {}) == 0; }
    /// The question waits in the socket's thread; the window asks one socket at a time, naming
    /// its programmer.
    int askButtons(std::size_t socket, const QString& text, const QStringList& captions) override
    {
        const std::lock_guard<std::mutex> lock(m_asking);
        const QString asked = QStringLiteral("%1: %2").arg(m_window->location(socket), text);
        int answer = -1;
        QMetaObject::invokeMethod(
            m_window,
            [this, &asked, &captions, &answer] {
                answer = captions.isEmpty() ? (m_reporter.ui().askYesNo(asked) ? 0 : 1)
                                            : m_reporter.ui().askButtons(asked, captions);
            },
            Qt::BlockingQueuedConnection);
        return answer;
    }
    void progress(std::size_t socket, const QString& status, quint32 position, quint32 maximum,
        const std::optional<ProgressEstimate::Estimate>& estimate) override
    {
        const double rate = estimate ? estimate->bytesPerSecond : -1.0;
        QMetaObject::invokeMethod(
            m_window,
            [w = m_window, socket, status, position, maximum, rate] {
                w->socketProgress(socket, status, position, maximum, rate);
            },
            Qt::QueuedConnection);
    }
    void chipStarted(std::size_t socket, const QString& id) override
    {
        QMetaObject::invokeMethod(
            m_window, [w = m_window, socket, id] { w->chipStarted(socket, id); }, Qt::QueuedConnection);
    }
    void chipEnded(std::size_t socket, const ProducedChip& chip) override
    {
        QMetaObject::invokeMethod(
            m_window, [w = m_window, socket, chip] { w->chipEnded(socket, chip); }, Qt::QueuedConnection);
    }

private:
    GangWindow* m_window;
    Reporter& m_reporter;
    std::mutex m_asking;
};

GangWindow::GangWindow(QWidget* parent, Reporter& reporter, ProductionJob job)
    : QDialog(parent)
    , m_reporter(reporter)
    , m_job(std::move(job))
    , m_observer(std::make_unique<Observer>(this, reporter))
{
    setObjectName(QStringLiteral("gangWindow"));
    setWindowTitle(reporter.message(MsgGangWindowTitle));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    m_total = new QLabel(this);
    m_total->setObjectName(QStringLiteral("totalLabel"));
    layout->addWidget(m_total);
    m_tileGrid = new QGridLayout;
    layout->addLayout(m_tileGrid, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_startButton = new QPushButton(reporter.message(MsgGangStart), this);
    m_startButton->setObjectName(QStringLiteral("startButton"));
    m_stopButton = new QPushButton(reporter.message(MsgGangStop), this);
    m_stopButton->setObjectName(QStringLiteral("stopButton"));
    m_stopButton->setEnabled(false);
    buttons->addWidget(m_startButton);
    buttons->addWidget(m_stopButton);
    layout->addLayout(buttons);
    connect(m_startButton, &QPushButton::clicked, this, &GangWindow::start);
    connect(m_stopButton, &QPushButton::clicked, this, &GangWindow::stop);
    showTotal();
}

GangWindow::~GangWindow()
{
    if (m_runner.joinable()) {
        m_stop.request();
        m_runner.join();
    }
}

GangWindow::Tile GangWindow::makeTile(const ProgrammerInfo& programmer, int index, int count)
{
    Tile t;
    t.frame = new QFrame(this);
    t.frame->setObjectName(QStringLiteral("tile%1").arg(index));
    t.frame->setFrameShape(QFrame::StyledPanel);
    auto* box = new QVBoxLayout(t.frame);
    const auto label = [&](const char* name, const QString& text = {}) {
        auto* l = new QLabel(text, t.frame);
        l->setObjectName(QString::fromLatin1(name));
        box->addWidget(l);
        return l;
    };
    t.location = label("locationLabel", QString::fromLatin1(programmer.location));
    t.chip = label("chipLabel");
    t.progress = new QProgressBar(t.frame);
    t.progress->setObjectName(QStringLiteral("progressBar"));
    box->addWidget(t.progress);
    t.rate = label("rateLabel");
    t.result = label("resultLabel");
    QFont large = t.result->font();
    large.setPointSizeF(large.pointSizeF() * 2.5);
    large.setBold(true);
    t.result->setFont(large);
    t.result->setMinimumHeight(QFontMetrics(large).lineSpacing());
    t.reason = label("reasonLabel");
    t.reason->setWordWrap(true);
    t.reason->setMinimumHeight(3 * t.reason->fontMetrics().lineSpacing());
    t.serial = label("serialLabel");
    box->addStretch(1);
    // Two tiles a row up to four programmers, then four a row.
    const int columns = count > 4 ? 4 : 2;
    m_tileGrid->addWidget(t.frame, index / columns, index % columns);
    return t;
}

void GangWindow::start()
{
    if (m_running)
        return;
    UsbLink usb;
    std::vector<ProgrammerInfo> programmers;
    for (const ProgrammerInfo& p : usb.listProgrammers())
        if (p.state == ProgrammerInfo::State::Free)
            programmers.push_back(p);
    if (programmers.empty()) {
        m_reporter.showError(MsgNotConnected);
        return;
    }
    for (Tile& t : m_tiles)
        delete t.frame;
    m_tiles.clear();
    for (std::size_t i = 0; i < programmers.size(); ++i)
        m_tiles.push_back(makeTile(programmers[i], static_cast<int>(i), static_cast<int>(programmers.size())));
    m_passed = 0;
    m_failed = 0;
    showTotal();
    m_running = true;
    m_startButton->setEnabled(false);
    m_stopButton->setEnabled(true);
    m_stop.clear();
    m_locations.clear();
    for (const ProgrammerInfo& p : programmers)
        m_locations << QString::fromLatin1(p.location);
    m_runner = std::thread([this, programmers] {
        runProduction(m_job, programmers, nullptr, *m_observer, m_stop);
        QMetaObject::invokeMethod(
            this, [this] { ended(); }, Qt::QueuedConnection);
    });
}

void GangWindow::stop()
{
    if (m_running)
        m_stop.request();
}

void GangWindow::socketMessage(std::size_t socket, const QString& text, bool error)
{
    // An error box of a socket is the reason its chip fails.
    if (error && socket < m_tiles.size()) {
        // Three lines at most; the whole text is the tip.
        QLabel* reason = m_tiles[socket].reason;
        reason->setToolTip(text);
        const QFontMetrics metrics(reason->font());
        reason->setText(metrics.elidedText(text, Qt::ElideRight, 3 * std::max(reason->width(), 200) - 30));
    }
}

void GangWindow::socketProgress(
    std::size_t socket, const QString& status, quint32 position, quint32 maximum, double rate)
{
    if (socket >= m_tiles.size())
        return;
    Tile& t = m_tiles[socket];
    t.result->clear();
    t.progress->setMaximum(static_cast<int>(std::min<quint32>(maximum, INT_MAX)));
    t.progress->setValue(static_cast<int>(std::min<quint32>(position, INT_MAX)));
    t.rate->setText(rate >= 0 ? status + QStringLiteral("  ") + rateText(rate) : status);
}

void GangWindow::chipStarted(std::size_t socket, const QString& id)
{
    if (socket >= m_tiles.size())
        return;
    Tile& t = m_tiles[socket];
    t.chip->setText(QStringLiteral("ID %1").arg(id));
    t.result->clear();
    t.reason->clear();
    t.progress->setValue(0);
}

void GangWindow::chipEnded(std::size_t socket, const ProducedChip& chip)
{
    if (socket >= m_tiles.size())
        return;
    Tile& t = m_tiles[socket];
    (chip.passed ? m_passed : m_failed)++;
    t.chip->setText(QStringLiteral("ID %1").arg(chip.id));
    t.result->setText(m_reporter.message(chip.passed ? MsgGangPass : MsgGangFail));
    t.result->setStyleSheet(chip.passed ? QStringLiteral("color: #1a7f37") : QStringLiteral("color: #cf222e"));
    if (chip.passed)
        t.reason->clear();
    t.serial->setText(m_reporter.message(MsgGangSerial).arg(chip.serial));
    showTotal();
}

void GangWindow::ended()
{
    if (m_runner.joinable())
        m_runner.join();
    m_running = false;
    m_startButton->setEnabled(true);
    m_stopButton->setEnabled(false);
    Q_EMIT runEnded();
    if (m_closeWhenEnded) {
        m_closeWhenEnded = false;
        QDialog::reject();
    }
}

void GangWindow::showTotal()
{
    m_total->setText(m_reporter.message(MsgCliSummary).arg(m_passed).arg(m_failed));
}

bool GangWindow::mayClose()
{
    if (!m_running)
        return true;
    if (m_reporter.ui().askYesNo(m_reporter.message(MsgStopJobQuestion))) {
        m_closeWhenEnded = true;
        stop();
    }
    return false;
}

void GangWindow::closeEvent(QCloseEvent* event)
{
    if (mayClose())
        event->accept();
    else
        event->ignore();
}

void GangWindow::reject()
{
    if (mayClose())
        QDialog::reject();
}

} // namespace kestrum
