#pragma once
// What the model reads a video through: its size and its bytes at absolute offsets. The
// platform's files are sources; the model knows no more of them.
#include <cstddef>
#include <cstdint>

namespace n_zorbel::n_ntag {

class t_Source {
 public:
  virtual std::uint64_t Size() const = 0;
  // Reads exactly `size` bytes; a short read is an error.
  virtual void ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const = 0;

 protected:
  ~t_Source() = default;
};

}  // namespace n_zorbel::n_ntag
