// Time-dependent rules of the status server: token buckets, the table of
// senders with their reply and log allowances, a once-a-second gate. Every
// function takes the time as an argument so that tests need no clock.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tarvik::status {

using SteadyTime = std::chrono::steady_clock::time_point;

struct Rate {
  double per_second;
  double burst;
};

struct TokenBucket {
  double tokens;
  SteadyTime updated;
};

// A bucket as it stands when first seen: full.
TokenBucket FullBucket(const Rate& rate, SteadyTime now);

// Refills the bucket for the time since it was last touched (never beyond
// its burst), then takes one token if a whole one is there.
bool TakeToken(TokenBucket& bucket, const Rate& rate, SteadyTime now);

// True at the first call and then at most once per period.
class Gate {
 public:
  explicit Gate(std::chrono::steady_clock::duration period) : period_(period) {}
  bool Open(SteadyTime now);

 private:
  std::chrono::steady_clock::duration period_;
  std::optional<SteadyTime> last_;
};

// A file's stamp (time written, size) looked at once a second: a change
// counts once two looks in a row agree, so that a file caught half written
// by an editor is not read.
template <class Stamp>
class SettledChange {
 public:
  explicit SettledChange(Stamp current) : applied_(current), seen_(current) {}

  bool Look(const Stamp& stamp) {
    const bool settled = stamp == seen_ && !(stamp == applied_);
    seen_ = stamp;
    if (settled) applied_ = stamp;
    return settled;
  }

 private:
  Stamp applied_;
  Stamp seen_;
};

struct SenderLimits {
  Rate replies;
  Rate log_lines_per_sender;
  Rate log_lines_overall;
  std::size_t max_senders;
};

// Replies per second per address from --rate-per-address, burst twice that;
// a launcher logs every poll (one each 3 s) and a join; the log grows by at
// most 20 lines per second overall after a first burst of 100.
SenderLimits DefaultLimits(unsigned replies_per_second);

// What a request from one address may do now.
struct Allowance {
  bool reply;  // consulted only for requests that have a reply
  bool log;
};

// The senders seen lately, each with its reply and log buckets and the count
// of its requests left out of the log. Memory is bounded: past max_senders
// the least recently seen address is forgotten (a forgotten address comes
// back with full buckets; its unlogged count goes to the "others" line).
class SenderTable {
 public:
  explicit SenderTable(const SenderLimits& limits);

  Allowance OnRequest(std::uint32_t address, bool wants_reply, SteadyTime now);

  // Lines "N requests from A not logged" for senders quiet for a second or
  // unlogged for ten, as far as the overall log allowance goes; the rest wait
  // for a later call.
  std::vector<std::string> Summaries(SteadyTime now);

  std::size_t size() const { return senders_.size(); }

 private:
  struct Sender {
    std::uint32_t address;
    TokenBucket replies;
    TokenBucket log_lines;
    SteadyTime last_seen;
    std::uint64_t unlogged = 0;
    SteadyTime unlogged_since;
  };
  using Order = std::list<Sender>;  // most recently seen first

  Sender& Find(std::uint32_t address, SteadyTime now);

  SenderLimits limits_;
  Order order_;
  std::unordered_map<std::uint32_t, Order::iterator> senders_;
  TokenBucket overall_log_;
  std::uint64_t forgotten_unlogged_ = 0;
  std::uint64_t forgotten_senders_ = 0;
};

}  // namespace tarvik::status
