// The skin system's one kind of growable array of plain records: room for 32
// at first; when full, twice the room plus 16, so that filling it stays linear.
// Records keep their order; the table is emptied by setting its count to 0.
#pragma once

#include <cstddef>
#include <memory>
#include <type_traits>

namespace zvx {

template <typename Record>
class GrowableTable {
  static_assert(std::is_trivially_copyable_v<Record>, "records are copied as plain bytes");

 public:
  GrowableTable() : data_(std::make_unique<Record[]>(capacity_)) {}

  void append(const Record& record) {
    if (count_ == capacity_) grow();
    data_[count_++] = record;
  }
  void clear() { count_ = 0; }
  // Drops the records from `count` on.
  void truncate(std::size_t count) {
    if (count < count_) count_ = count;
  }

  std::size_t count() const { return count_; }
  std::size_t capacity() const { return capacity_; }
  Record& operator[](std::size_t index) { return data_[index]; }
  const Record& operator[](std::size_t index) const { return data_[index]; }
  Record* begin() { return data_.get(); }
  Record* end() { return data_.get() + count_; }
  const Record* begin() const { return data_.get(); }
  const Record* end() const { return data_.get() + count_; }

 private:
  void grow() {
    const std::size_t capacity = capacity_ * growthFactor_ + growthIncrement_;
    auto data = std::make_unique<Record[]>(capacity);
    for (std::size_t i = 0; i < count_; ++i) data[i] = data_[i];
    data_ = std::move(data);
    capacity_ = capacity;
  }

  std::size_t count_ = 0;
  std::size_t capacity_ = 32;
  std::size_t growthFactor_ = 2;
  std::size_t growthIncrement_ = 16;
  std::unique_ptr<Record[]> data_;
};

}  // namespace zvx
