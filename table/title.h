// The main window's title: the view mode's title followed by the distance of the
// nearest aircraft of that view mode's list.
//
// Pure code: no platform headers.
#pragma once
#include <cstddef>
#include <cstdint>

namespace table {

// Room for the longest view title (191 characters) and the longest suffix.
const size_t kWindowTitleBytes = 256;

// "<viewTitle> (Nearest <nearest>nm)", or "<viewTitle> (No aircraft)" when nearest is
// 0xFFFF. Truncated to size - 1 characters and always NUL-terminated when size > 0.
void FormatTitle(const char* viewTitle, uint16_t nearest, char* out, size_t size);

}  // namespace table
