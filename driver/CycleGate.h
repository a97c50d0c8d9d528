// The handshake between JACK's process callback, which reads the slots and
// the client on the real-time thread, and the threads that take a slot (or
// the client) out of its view before they change or free what it points to.
//
// Each side writes one thing and then reads the other's: the callback says
// that a cycle runs, then reads a slot; a taker empties the slot, then reads
// whether a cycle runs. With release and acquire alone both may read the old
// value (store buffering, which x86 shows too): the taker would see no cycle
// while the cycle still sees the slot, and free what the cycle uses. Every
// access here is sequentially consistent, which forbids that outcome: either
// the cycle sees the slot gone, or the taker sees the cycle and waits until
// it has ended. Lock-free and without system calls, for the real-time side.
#ifndef MIDIKIT_DRIVER_CYCLEGATE_H
#define MIDIKIT_DRIVER_CYCLEGATE_H

#include <atomic>
#include <cstdint>

namespace morvelant::driver {

class CycleGate {
public:
    // ---- the process callback

    void enter() { busy_.store(true, std::memory_order_seq_cst); }
    template <class T>
    T* look(const std::atomic<T*>& p) const {
        return p.load(std::memory_order_seq_cst);
    }
    // True when somebody waits for cycles to end (see waiting()).
    bool leave() {
        cycles_.fetch_add(1, std::memory_order_seq_cst);
        busy_.store(false, std::memory_order_seq_cst);
        return waiters_.load(std::memory_order_seq_cst) > 0;
    }

    // ---- every other thread

    // Takes what p points to out of the callback's view (or puts another in).
    template <class T>
    void hide(std::atomic<T*>& p, T* value = nullptr) {
        p.store(value, std::memory_order_seq_cst);
    }
    // After hide(): 0 when no cycle that may have seen the old value runs,
    // else the count of cycles() that says it has ended.
    uint64_t mustEnd() const {
        const uint64_t seen = cycles_.load(std::memory_order_seq_cst);
        return busy_.load(std::memory_order_seq_cst) ? seen + 1 : 0;
    }
    uint64_t cycles() const { return cycles_.load(std::memory_order_seq_cst); }
    // While one is alive, leave() tells the callback to wake the waiters.
    class Waiting {
    public:
        explicit Waiting(CycleGate& g) : g_(g) { g_.waiters_.fetch_add(1, std::memory_order_seq_cst); }
        ~Waiting() { g_.waiters_.fetch_sub(1, std::memory_order_seq_cst); }
        Waiting(const Waiting&) = delete;
        Waiting& operator=(const Waiting&) = delete;

    private:
        CycleGate& g_;
    };

private:
    std::atomic<bool> busy_{false};
    std::atomic<uint64_t> cycles_{0};
    std::atomic<int> waiters_{0};
};

}  // namespace morvelant::driver

#endif
