#include "support/PipeReader.h"

#include <cerrno>
#include <fcntl.h>
#include <glib-unix.h>
#include <unistd.h>

namespace tarn {

namespace {
constexpr std::size_t kChunk = 64 * 1024;
// Per wake-up, so one chatty pipe cannot starve the rest of the main loop.
constexpr int kReadsPerWakeup = 8;
}  // namespace

PipeReader::PipeReader(int fd, OnChunk onChunk, OnEnd onEnd)
    : fd_(fd), onChunk_(std::move(onChunk)), onEnd_(std::move(onEnd)) {
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
    source_ = g_unix_fd_add(fd_, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), &PipeReader::onReadable, this);
}

PipeReader::~PipeReader() {
    *alive_ = false;
    stop();
}

void PipeReader::stop() {
    if (source_) {
        g_source_remove(source_);
        source_ = 0;
    }
}

bool PipeReader::readOnce(bool& wouldBlock) {
    wouldBlock = false;
    char buffer[kChunk];
    ssize_t n;
    do {
        n = ::read(fd_, buffer, sizeof buffer);
    } while (n < 0 && errno == EINTR);
    if (n > 0) {
        onChunk_(std::string_view(buffer, static_cast<std::size_t>(n)));
        return true;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        wouldBlock = true;
        return false;
    }
    // End of data, or a read error, which ends the stream all the same.
    atEnd_ = true;
    return false;
}

gboolean PipeReader::onReadable(gint, GIOCondition, gpointer data) {
    auto* self = static_cast<PipeReader*>(data);
    // The chunk callback may stop or even destroy this reader.
    std::shared_ptr<bool> alive = self->alive_;
    bool wouldBlock = false;
    for (int i = 0; i < kReadsPerWakeup; ++i) {
        bool more = self->readOnce(wouldBlock);
        if (!*alive || !self->source_) return G_SOURCE_REMOVE;
        if (!more) break;
    }
    if (self->atEnd_) {
        self->source_ = 0;
        if (self->onEnd_) self->onEnd_();  // may destroy the reader: touch nothing after this
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

void PipeReader::drainAvailable(std::size_t limit) {
    bool wouldBlock = false;
    for (std::size_t taken = 0; taken < limit && !atEnd_;) {
        if (!readOnce(wouldBlock)) break;
        taken += kChunk;
    }
}

}  // namespace tarn
