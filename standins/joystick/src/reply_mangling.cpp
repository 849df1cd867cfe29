#include "joystick_sim/reply_mangling.h"

#include <memory>
#include <utility>

namespace velk::joystick_sim {

namespace {
constexpr unsigned kSeed = 25;
}  // namespace

void ReplyMangling::set(Mangler mangler, int period) {
  std::lock_guard<std::mutex> lock(mutex_);
  mangler_ = std::move(mangler);
  period_ = period > 0 ? period : 1;
  draws_.seed(kSeed);
}

void ReplyMangling::clear() { set(nullptr); }

std::vector<uint8_t> ReplyMangling::apply(std::vector<uint8_t> chunk) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!mangler_ || chunk.empty()) return chunk;
  if (period_ > 1 && draws_() % static_cast<unsigned>(period_) != 0) return chunk;
  ++mangled_;
  return mangler_(std::move(chunk));
}

int ReplyMangling::mangledChunks() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return mangled_;
}

ReplyMangling::Mangler ReplyMangling::dropLastBytes(std::size_t count) {
  return [count](std::vector<uint8_t> chunk) {
    chunk.resize(chunk.size() > count ? chunk.size() - count : 0);
    return chunk;
  };
}

ReplyMangling::Mangler ReplyMangling::appendBytes(std::vector<uint8_t> extra) {
  return [extra](std::vector<uint8_t> chunk) {
    chunk.insert(chunk.end(), extra.begin(), extra.end());
    return chunk;
  };
}

ReplyMangling::Mangler ReplyMangling::firstOnly(int count, Mangler mangler) {
  auto left = std::make_shared<int>(count);
  return [left, mangler](std::vector<uint8_t> chunk) {
    if (*left <= 0) return chunk;
    --*left;
    return mangler(std::move(chunk));
  };
}

ReplyMangling::Mangler ReplyMangling::flipLastByte() {
  return [](std::vector<uint8_t> chunk) {
    chunk.back() = static_cast<uint8_t>(~chunk.back());
    return chunk;
  };
}

}  // namespace velk::joystick_sim
