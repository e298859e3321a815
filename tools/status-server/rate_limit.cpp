#include "rate_limit.h"

#include <algorithm>

#include "status_server.h"

namespace tarvik::status {
namespace {

using Seconds = std::chrono::duration<double>;

constexpr auto kQuietBeforeSummary = std::chrono::seconds(1);
constexpr auto kLongestUnlogged = std::chrono::seconds(10);

void Refill(TokenBucket& bucket, const Rate& rate, SteadyTime now) {
  // A clock that went back must neither add nor take tokens.
  if (now > bucket.updated) {
    const double elapsed = Seconds(now - bucket.updated).count();
    bucket.tokens =
        std::min(rate.burst, bucket.tokens + elapsed * rate.per_second);
    bucket.updated = now;
  }
}

std::string SummaryLine(std::uint64_t count, const std::string& from) {
  return std::to_string(count) + (count == 1 ? " request" : " requests") +
         " from " + from + " not logged";
}

}  // namespace

TokenBucket FullBucket(const Rate& rate, SteadyTime now) {
  return {rate.burst, now};
}

bool TakeToken(TokenBucket& bucket, const Rate& rate, SteadyTime now) {
  Refill(bucket, rate, now);
  if (bucket.tokens < 1.0) return false;
  bucket.tokens -= 1.0;
  return true;
}

bool Gate::Open(SteadyTime now) {
  if (last_ && now - *last_ < period_ && now >= *last_) return false;
  last_ = now;
  return true;
}

SenderLimits DefaultLimits(unsigned replies_per_second) {
  const double rate = replies_per_second;
  return {{rate, 2 * rate}, {1, 10}, {20, 100}, 4096};
}

SenderTable::SenderTable(const SenderLimits& limits)
    : limits_(limits), overall_log_(FullBucket(limits.log_lines_overall, {})) {}

SenderTable::Sender& SenderTable::Find(std::uint32_t address, SteadyTime now) {
  if (auto found = senders_.find(address); found != senders_.end()) {
    order_.splice(order_.begin(), order_, found->second);
    return order_.front();
  }
  if (senders_.size() >= limits_.max_senders) {
    const Sender& oldest = order_.back();
    if (oldest.unlogged > 0) {
      forgotten_unlogged_ += oldest.unlogged;
      ++forgotten_senders_;
    }
    senders_.erase(oldest.address);
    order_.pop_back();
  }
  order_.push_front(Sender{address, FullBucket(limits_.replies, now),
                           FullBucket(limits_.log_lines_per_sender, now), now,
                           0, now});
  senders_.emplace(address, order_.begin());
  return order_.front();
}

Allowance SenderTable::OnRequest(std::uint32_t address, bool wants_reply,
                                 SteadyTime now) {
  Sender& sender = Find(address, now);
  sender.last_seen = now;
  Allowance allowance{};
  // Requests left unanswered cost the sender nothing of its reply allowance.
  allowance.reply =
      wants_reply && TakeToken(sender.replies, limits_.replies, now);
  Refill(overall_log_, limits_.log_lines_overall, now);
  allowance.log =
      overall_log_.tokens >= 1.0 &&
      TakeToken(sender.log_lines, limits_.log_lines_per_sender, now);
  if (allowance.log) {
    overall_log_.tokens -= 1.0;
  } else if (sender.unlogged++ == 0) {
    sender.unlogged_since = now;
  }
  return allowance;
}

std::vector<std::string> SenderTable::Summaries(SteadyTime now) {
  std::vector<std::string> lines;
  for (Sender& sender : order_) {
    if (sender.unlogged == 0) continue;
    if (now - sender.last_seen < kQuietBeforeSummary &&
        now - sender.unlogged_since < kLongestUnlogged) {
      continue;
    }
    if (!TakeToken(overall_log_, limits_.log_lines_overall, now)) return lines;
    lines.push_back(
        SummaryLine(sender.unlogged, FormatAddress(sender.address)));
    sender.unlogged = 0;
  }
  if (forgotten_unlogged_ > 0 &&
      TakeToken(overall_log_, limits_.log_lines_overall, now)) {
    lines.push_back(SummaryLine(
        forgotten_unlogged_,
        std::to_string(forgotten_senders_) +
            (forgotten_senders_ == 1 ? " other address" : " other addresses")));
    forgotten_unlogged_ = 0;
    forgotten_senders_ = 0;
  }
  return lines;
}

}  // namespace tarvik::status
