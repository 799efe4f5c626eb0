// The server side of the read-record protocol: walks the request block a client wrote
// into its shared section and fills each record's data area from the state table.
//
// Pure code: no platform headers.
#pragma once
#include <cstddef>
#include <cstdint>

namespace sim {

const size_t kStateTableBytes = 0x10000;   // 64 KiB

// Answers the request in section (sectionBytes long): every record with id 1 gets
// byte count bytes of table from its state-table offset. The walk ends at a zero id.
// Returns 1 when every record was filled, 0 when a record reached past the section or
// the table, or had an id other than 1 or 0 (the walk stops there).
// When log is not null, one line per record header is appended to it (bounded by
// logBytes, NUL-terminated): "id=1 offset=0x02A0 bytes=2" and so on.
int ServeRequest(uint8_t* section, size_t sectionBytes, const uint8_t* table,
                 size_t tableBytes, char* log, size_t logBytes);

// The same walk, checks and log over a table of tableBytes, without writing a byte:
// for a server that refuses a request but still records what it was asked.
int CheckRequest(const uint8_t* section, size_t sectionBytes, size_t tableBytes, char* log,
                 size_t logBytes);

}  // namespace sim
