#pragma once

#include <atomic>
#include <csignal>

namespace kestrum {

/// The request to stop a run, handed to everything that runs it. The first request counts, with
/// the signal that made it (SIGINT for a Stop button); request is async-signal-safe, so a signal
/// handler may call it.
class StopToken
{
public:
    void request(int signal = SIGINT) noexcept
    {
        int none = 0;
        m_signal.compare_exchange_strong(none, signal);
    }
    [[nodiscard]] bool requested() const noexcept { return m_signal.load() != 0; }
    /// The signal of the request; 0 while none came.
    [[nodiscard]] int signal() const noexcept { return m_signal.load(); }
    /// The exit status of a run that the request ended: 128 + the signal (130 for Ctrl+C).
    [[nodiscard]] int status() const noexcept
    {
        const int signal = m_signal.load();
        return 128 + (signal != 0 ? signal : SIGINT);
    }
    void clear() noexcept { m_signal.store(0); }

private:
    static_assert(std::atomic<int>::is_always_lock_free);
    std::atomic<int> m_signal {0};
};

} // namespace kestrum
