#include "tests/support/RiffBuilder.h"

namespace zvx::test {
namespace {

void put16(std::vector<unsigned char>& out, unsigned value) {
  out.push_back(static_cast<unsigned char>(value & 0xFF));
  out.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
}

void put32(std::vector<unsigned char>& out, unsigned long value) {
  put16(out, static_cast<unsigned>(value & 0xFFFF));
  put16(out, static_cast<unsigned>((value >> 16) & 0xFFFF));
}

}  // namespace

RiffBuilder::RiffBuilder(const char* form) : body_(form, form + 4) {}

RiffBuilder& RiffBuilder::chunk(const char* id, const std::vector<unsigned char>& content, long declaredSize) {
  body_.insert(body_.end(), id, id + 4);
  put32(body_, static_cast<unsigned long>(declaredSize >= 0 ? declaredSize : static_cast<long>(content.size())));
  body_.insert(body_.end(), content.begin(), content.end());
  if (content.size() % 2) body_.push_back(0);
  return *this;
}

RiffBuilder& RiffBuilder::format(int channels, int rate, int bits, int formatSize) {
  std::vector<unsigned char> content;
  put16(content, 1);
  put16(content, static_cast<unsigned>(channels));
  put32(content, static_cast<unsigned long>(rate));
  put32(content, static_cast<unsigned long>(rate * channels * bits / 8));
  put16(content, static_cast<unsigned>(channels * bits / 8));
  put16(content, static_cast<unsigned>(bits));
  content.resize(static_cast<std::size_t>(formatSize), 0);
  return chunk("fmt ", content);
}

RiffBuilder& RiffBuilder::data(const std::vector<std::int16_t>& samples, long declaredSize) {
  std::vector<unsigned char> content;
  for (std::int16_t sample : samples) put16(content, static_cast<std::uint16_t>(sample));
  return chunk("data", content, declaredSize);
}

std::vector<unsigned char> RiffBuilder::bytes() const {
  std::vector<unsigned char> out = {'R', 'I', 'F', 'F'};
  put32(out, body_.size());
  out.insert(out.end(), body_.begin(), body_.end());
  return out;
}

std::vector<unsigned char> monoWav(const std::vector<std::int16_t>& samples) {
  return RiffBuilder().format(1, 44100, 16).data(samples).bytes();
}

}  // namespace zvx::test
