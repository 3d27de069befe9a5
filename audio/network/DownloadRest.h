// A sleep of the download's thread that stopping the download cuts short.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace audio {

class DownloadRest {
  public:
    // False when the download is being stopped.
    bool sleep(std::chrono::duration<double> length)
    {
        std::unique_lock hold(lock_);
        return !stopped_.wait_for(hold, length, [this] { return stopping_; });
    }
    void stop()
    {
        {
            std::lock_guard hold(lock_);
            stopping_ = true;
        }
        stopped_.notify_all();
    }

  private:
    std::mutex lock_;
    std::condition_variable stopped_;
    bool stopping_ = false;
};

} // namespace audio
