#pragma once

#include "jobs/ProductionRun.h"
#include "jobs/StopToken.h"

#include <QDialog>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QGridLayout;

namespace kestrum {

class Reporter;

/// "Program all programmers": the window's Auto, with the buffer's image, on every free
/// programmer at once. One tile per programmer shows its location, the chip's ID, the progress
/// with its rate, a large PASS or FAIL with the reason, and the serial; a line above them keeps
/// the running total. The run goes on in worker threads, one per programmer, which tell the tiles
/// through queued calls and ask their questions (a chip that answers another ID, a flash that
/// holds data) one at a time through the window's user interface; the window is modal, so the main window stays locked
/// meanwhile. Closing it during a run asks first, as closing the main window during a job does, and then stops every
/// socket after its current block.
class GangWindow : public QDialog
{
    Q_OBJECT
public:
    GangWindow(QWidget* parent, Reporter& reporter, ProductionJob job);
    ~GangWindow() override;

    [[nodiscard]] bool isRunning() const { return m_running; }
    /// Lists the free programmers, lays out their tiles and starts the run; says "Not connected"
    /// when none is free.
    void start();
    /// Asks every socket to stop after its current block.
    void stop();

    [[nodiscard]] int passedCount() const { return m_passed; }
    [[nodiscard]] int failedCount() const { return m_failed; }

Q_SIGNALS:
    /// The run ended on every socket.
    void runEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    struct Tile
    {
        QFrame* frame = nullptr;
        QLabel* location = nullptr;
        QLabel* chip = nullptr;
        QProgressBar* progress = nullptr;
        QLabel* rate = nullptr;
        QLabel* result = nullptr;
        QLabel* reason = nullptr;
        QLabel* serial = nullptr;
    };
    class Observer;

    /// The tile of the `index`th of `count` programmers, in its place in the grid.
    Tile makeTile(const ProgrammerInfo& programmer, int index, int count);
    void socketMessage(std::size_t socket, const QString& text, bool error);
    void socketProgress(std::size_t socket, const QString& status, quint32 position, quint32 maximum, double rate);
    void chipStarted(std::size_t socket, const QString& id);
    void chipEnded(std::size_t socket, const ProducedChip& chip);
    void ended();
    /// The location of the socket's programmer (read by the sockets' threads; set before they start).
    QString location(std::size_t socket) const { return m_locations.value(qsizetype(socket)); }
    void showTotal();
    /// Closing during a run: true when the user agreed to stop it (the window closes once it ended).
    bool mayClose();

    Reporter& m_reporter;
    ProductionJob m_job;
    StopToken m_stop;
    std::unique_ptr<Observer> m_observer;
    std::vector<Tile> m_tiles;
    QGridLayout* m_tileGrid = nullptr;
    QLabel* m_total = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    std::thread m_runner;
    std::atomic<bool> m_running {false};
    QStringList m_locations;
    bool m_closeWhenEnded = false;
    int m_passed = 0;
    int m_failed = 0;
};

} // namespace kestrum
