#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <optional>
#include <utility>

namespace melo {

// A queue of at most N values between one producing and one consuming thread, without locks:
// the producer fills a free slot and then publishes it, the consumer empties a published slot
// and then frees it. Neither ever waits for the other.
template <typename T, std::size_t N> class SpscQueue {
public:
    // The producer's side: false, leaving `value` unused, when the queue is full.
    bool push(T&& value) {
        const std::size_t tail = m_tail.load(std::memory_order_relaxed);
        if (tail - m_head.load(std::memory_order_acquire) == N) {
            return false;
        }
        m_slots[tail % N] = std::move(value);
        m_tail.store(tail + 1, std::memory_order_release);
        return true;
    }

    // The consumer's side: the oldest value, or nothing when the queue is empty.
    std::optional<T> pop() {
        const std::size_t head = m_head.load(std::memory_order_relaxed);
        if (head == m_tail.load(std::memory_order_acquire)) {
            return std::nullopt;
        }
        std::optional<T> value(std::move(m_slots[head % N]));
        m_slots[head % N] = T{};
        m_head.store(head + 1, std::memory_order_release);
        return value;
    }

private:
    std::array<T, N> m_slots{};
    std::atomic<std::size_t> m_head{0}; // slots taken by the consumer
    std::atomic<std::size_t> m_tail{0}; // slots published by the producer
};

} // namespace melo
