#pragma once
#include <functional>
#include <glib.h>
#include <memory>
#include <string>
#include <string_view>

namespace tarn {

// Reads a pipe on the main loop as data arrives, without ever blocking, and hands each chunk on.
// Stopping (or destroying) it removes the watch: nothing more is read or delivered.
class PipeReader {
public:
    using OnChunk = std::function<void(std::string_view)>;
    using OnEnd = std::function<void()>;

    // `fd` stays owned by whoever opened it.
    PipeReader(int fd, OnChunk onChunk, OnEnd onEnd);
    ~PipeReader();
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;

    // Reads whatever is in the pipe right now (up to `limit` bytes), then returns.
    void drainAvailable(std::size_t limit = 16 * 1024 * 1024);
    void stop();
    bool atEnd() const { return atEnd_; }

private:
    static gboolean onReadable(gint fd, GIOCondition condition, gpointer self);
    // Reads once; false when the pipe is at its end (or failed) or would block.
    bool readOnce(bool& wouldBlock);

    int fd_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // false once destroyed
    guint source_ = 0;
    bool atEnd_ = false;
    OnChunk onChunk_;
    OnEnd onEnd_;
};

}  // namespace tarn
