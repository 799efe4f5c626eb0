// What the native benchmarks work on: snapshots of a busy sky, made the way a client
// gets them. simhost's live traffic at KSFO with 99 slots and overflights (99 moving
// aircraft in the airborne list) is encoded into the state table, and the client's
// request block is served from it. Consecutive snapshots lie two seconds apart, as the
// refresh timer takes them.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "link/snapshot.h"
#include "sim/scene.h"
#include "sim/server.h"
#include "sim/traffic.h"

namespace bench {

const int kSnapshots = 16;

struct Snapshots {
  std::vector<std::unique_ptr<uint8_t[]>> views;   // kViewBytes each, request block served
  std::unique_ptr<uint8_t[]> table{new uint8_t[sim::kStateTableBytes]()};   // the last one
};

inline const Snapshots& BusySky() {
  static Snapshots* made = nullptr;
  if (made) return *made;
  made = new Snapshots;
  std::unique_ptr<sim::Traffic> traffic(new sim::Traffic);
  std::unique_ptr<sim::Scene> scene(new sim::Scene);
  sim::StartTraffic(traffic.get(), 1, sim::kSceneSlots);
  sim::AddOverflights(traffic.get());
  for (int step = 0; step < 4 * 1200; ++step) sim::StepTraffic(traffic.get(), 0.25);
  // Sixteen snapshots in a row with all 99 slots taken (a departure on its take-off
  // roll holds the promise of a slot for a while).
  while (int(made->views.size()) < kSnapshots) {
    for (int step = 0; step < 8; ++step) sim::StepTraffic(traffic.get(), 0.25);
    sim::TrafficScene(traffic.get(), scene.get());
    if (sim::OccupiedSlots(&scene->lists[sim::kListAirborne]) < sim::kSceneSlots) {
      made->views.clear();
      continue;
    }
    sim::EncodeScene(scene.get(), made->table.get());
    std::unique_ptr<uint8_t[]> view(new uint8_t[simlink::kViewBytes]());
    simlink::BuildRequestBlock(view.get(), simlink::ViewAirborne);
    sim::ServeRequest(view.get(), simlink::kViewBytes, made->table.get(), sim::kStateTableBytes,
                      nullptr, 0);
    made->views.push_back(std::move(view));
  }
  return *made;
}

// Occupied slots of a snapshot: 99 in every one of BusySky's.
inline int OccupiedSlots(const uint8_t* view) {
  int n = 0;
  for (int k = 0; k < simlink::SlotRowCount(view); ++k) n += simlink::SlotOccupied(view, k);
  return n;
}

}  // namespace bench
