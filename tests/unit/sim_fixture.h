// Shared by simhost's unit tests: a scene served the whole way a client sees it (the
// client's request block, the server's walk over the encoded state table, the client's
// readers and row texts).
#pragma once
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "link/snapshot.h"
#include "sim/scene.h"
#include "sim/server.h"
#include "table/rowvalues.h"

namespace simtest {

// A state table and a view, both on the heap so that a read past either is reported
// by AddressSanitizer.
struct Served {
  std::unique_ptr<uint8_t[]> table{new uint8_t[sim::kStateTableBytes]()};
  std::unique_ptr<uint8_t[]> view{new uint8_t[simlink::kViewBytes]()};
  int answer = -1;
  const uint8_t* v() const { return view.get(); }
};

// Encodes the scene and serves one request for the view mode (list) to it.
inline void Serve(const sim::Scene& scene, int viewMode, Served* out) {
  sim::EncodeScene(&scene, out->table.get());
  simlink::BuildRequestBlock(out->view.get(), viewMode);
  out->answer = sim::ServeRequest(out->view.get(), simlink::kViewBytes, out->table.get(),
                                  sim::kStateTableBytes, nullptr, 0);
}

// The sixteen texts of a row, column 1 at [1].
struct Row {
  std::string cell[17];
};

inline void Collect(void* context, int column, const char* text) {
  Row* row = static_cast<Row*>(context);
  if (column >= 0 && column < 17) row->cell[column] = text;
}

inline Row SlotRow(const uint8_t* view, int k) {
  Row row;
  table::ComputeSlotRow(view, k, "", Collect, &row);
  return row;
}

inline Row UserRow(const uint8_t* view) {
  Row row;
  table::ComputeUserRow(view, Collect, &row);
  return row;
}

// A slot with the fields a test cares about; the others zero.
inline sim::SceneSlot MakeSlot(uint32_t refId, const char* id, float lat, float lon,
                               float alt = 5000) {
  sim::SceneSlot s;
  memset(&s, 0, sizeof s);
  s.defined = 1;
  s.refId = refId;
  memcpy(s.idText, id, strnlen(id, sim::kIdBytes));
  s.latitude = lat;
  s.longitude = lon;
  s.altitude = alt;
  s.state = sim::StateEnroute;
  return s;
}

}  // namespace simtest
