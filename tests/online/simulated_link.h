#pragma once

// Two machines' datagrams in one process, on a virtual clock: each sent datagram arrives after a
// latency with jitter (so some arrive out of order), or is lost, or arrives twice.

#include <cstdint>
#include <deque>
#include <functional>
#include <queue>
#include <random>
#include <span>
#include <vector>

#include "online/transport.h"

namespace kavarin {

struct LinkQuality {
  int64_t oneWayUs = 60'000;  // half the round trip
  int64_t jitterUs = 15'000;  // each way, either side of it
  double loss = 0.05;
  double duplication = 0.01;
};

class SimulatedLink {
 public:
  SimulatedLink(LinkQuality quality, uint64_t seed) : quality_(quality), rng_(seed) {}

  // One machine's end of the link; `side` 0 or 1.
  class End : public Transport {
   public:
    End(SimulatedLink& link, int side) : link_(link), side_(side) {}
    void Send(std::span<const uint8_t> datagram) override { link_.Carry(side_, datagram); }
    bool Receive(std::vector<uint8_t>& datagram) override {
      return link_.Deliver(1 - side_, datagram);
    }

   private:
    SimulatedLink& link_;
    int side_;
  };

  // One machine's end that also hands over datagrams slipped in ahead of the link's, and keeps
  // what the link delivered while asked to.
  class TappedEnd : public Transport {
   public:
    TappedEnd(SimulatedLink& link, int side) : end_(link, side) {}
    void Send(std::span<const uint8_t> datagram) override { end_.Send(datagram); }
    bool Receive(std::vector<uint8_t>& datagram) override {
      if (!injected.empty()) {
        datagram = std::move(injected.front());
        injected.pop_front();
        return true;
      }
      if (!end_.Receive(datagram)) return false;
      if (keepHeard) heard.push_back(datagram);
      return true;
    }

    std::deque<std::vector<uint8_t>> injected;  // handed over before anything from the link
    bool keepHeard = false;
    std::vector<std::vector<uint8_t>> heard;  // what the link delivered, while keepHeard

   private:
    End end_;
  };

  void SetNow(int64_t us) { now_ = us; }
  // Rewrites datagrams from `side` as they are sent (for a link that corrupts them).
  std::function<void(int side, std::vector<uint8_t>&)> tamper;

 private:
  struct InFlight {
    int64_t at;
    uint64_t order;
    std::vector<uint8_t> bytes;
    bool operator>(const InFlight& o) const { return at != o.at ? at > o.at : order > o.order; }
  };
  using Queue = std::priority_queue<InFlight, std::vector<InFlight>, std::greater<InFlight>>;

  void Carry(int from, std::span<const uint8_t> datagram) {
    std::vector<uint8_t> bytes(datagram.begin(), datagram.end());
    if (tamper) tamper(from, bytes);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    if (chance(rng_) < quality_.loss) return;
    const int copies = chance(rng_) < quality_.duplication ? 2 : 1;
    std::uniform_int_distribution<int64_t> jitter(-quality_.jitterUs, quality_.jitterUs);
    for (int i = 0; i < copies; ++i)
      queues_[from].push({now_ + quality_.oneWayUs + jitter(rng_), order_++, bytes});
  }

  // The next datagram sent from `from` that has arrived by now.
  bool Deliver(int from, std::vector<uint8_t>& datagram) {
    Queue& q = queues_[from];
    if (q.empty() || q.top().at > now_) return false;
    datagram = q.top().bytes;
    q.pop();
    return true;
  }

  LinkQuality quality_;
  std::mt19937_64 rng_;
  Queue queues_[2];
  int64_t now_ = 0;
  uint64_t order_ = 0;
};

}  // namespace kavarin
