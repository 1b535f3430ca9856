// A write-only stdio stream that keeps what it accepts and accepts at most a
// budget of bytes, for testing how writers handle short writes.
#ifndef ORLIX_TESTS_BUDGET_STREAM_H
#define ORLIX_TESTS_BUDGET_STREAM_H

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace orlix_test {

class BudgetStream {
 public:
  explicit BudgetStream(size_t budget = SIZE_MAX) : budget_(budget) {
    cookie_io_functions_t io = {};
    io.write = &BudgetStream::Write;
    stream_ = fopencookie(this, "wb", io);
    // Unbuffered: every fwrite reaches Write, so a short write surfaces in
    // that fwrite's result.
    if (stream_) setvbuf(stream_, nullptr, _IONBF, 0);
  }
  ~BudgetStream() {
    if (stream_) fclose(stream_);
  }
  BudgetStream(const BudgetStream&) = delete;
  BudgetStream& operator=(const BudgetStream&) = delete;
  FILE* get() const { return stream_; }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  static ssize_t Write(void* cookie, const char* buffer, size_t size) {
    auto* self = static_cast<BudgetStream*>(cookie);
    size_t room = self->budget_ - self->bytes_.size();
    size_t taken = size < room ? size : room;
    self->bytes_.insert(self->bytes_.end(), buffer, buffer + taken);
    return static_cast<ssize_t>(taken);
  }
  size_t budget_;
  std::vector<uint8_t> bytes_;
  FILE* stream_ = nullptr;
};

}  // namespace orlix_test

#endif
