#include "DecodeWorker.h"

namespace audio {

void DecodeWorker::start() {
    if (thread_.joinable()) return;
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void DecodeWorker::stop() {
    if (!thread_.joinable()) return;
    stopping_ = true;
    wake();
    thread_.join();
}

void DecodeWorker::wake() {
    wakes_.fetch_add(1, std::memory_order_release);
    wakes_.notify_one();
}

void DecodeWorker::run() {
    while (!stopping_) {
        const uint32_t seen = wakes_.load(std::memory_order_acquire);
        if (!round_() && !stopping_) wakes_.wait(seen, std::memory_order_acquire);
    }
}

} // namespace audio
