#include "tests/support/RiffBuilder.h"

#include <cstring>

namespace zvx::test {
namespace {

// The 16 bytes every format chunk starts with.
std::vector<unsigned char> basicFormat(int tag, int channels, int rate, int bits) {
  std::vector<unsigned char> content;
  put16(content, static_cast<unsigned>(tag));
  put16(content, static_cast<unsigned>(channels));
  put32(content, static_cast<unsigned long>(rate));
  put32(content, static_cast<unsigned long>(rate) * static_cast<unsigned long>(channels * bits / 8));
  put16(content, static_cast<unsigned>(channels * bits / 8));
  put16(content, static_cast<unsigned>(bits));
  return content;
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

RiffBuilder& RiffBuilder::format(int channels, int rate, int bits, int formatSize, int tag) {
  std::vector<unsigned char> content = basicFormat(tag, channels, rate, bits);
  content.resize(static_cast<std::size_t>(formatSize), 0);
  return chunk("fmt ", content);
}

RiffBuilder& RiffBuilder::extensibleFormat(int channels, int rate, int bits, int validBits, int subFormat) {
  std::vector<unsigned char> content = basicFormat(0xFFFE, channels, rate, bits);
  put16(content, 22);  // the extension's size
  put16(content, static_cast<unsigned>(validBits));
  put32(content, channels == 2 ? 3 : 4);  // front left and right, or front centre
  put32(content, static_cast<unsigned long>(subFormat));
  for (unsigned char byte : {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71})
    content.push_back(byte);
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

std::vector<unsigned char> integerSamples(const std::vector<std::int32_t>& values, int bytes) {
  std::vector<unsigned char> out;
  for (std::int32_t value : values) putLittle(out, static_cast<std::uint32_t>(value), bytes);
  return out;
}

std::vector<unsigned char> floatSamples(const std::vector<float>& values) {
  std::vector<unsigned char> out;
  for (float value : values) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    put32(out, bits);
  }
  return out;
}

}  // namespace zvx::test
