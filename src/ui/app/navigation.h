#pragma once

// What the navigation tree holds and what each of its codes selects. Widget-free, so the editor pages
// and the tests can use the same tables.

#include "core/config/input_page_rules.h"

#include <QString>
#include <QStringList>

#include <array>
#include <span>

namespace rv::nav {

inline constexpr int kPageCount = 17;

enum Page : int {
    First = 0, Monitor = 1, Connect_Set = 2, GPS_Set = 3, Inputs = 4, Outs = 5, Ohrana = 6, Power = 7,
    Dev_set = 8, Autoinfo = 9, Connections = 10, TabSheet6 = 11, Voice_files = 12, PS_page = 13, FL_page = 14,
    Connect_set2 = 15, SAT_modem = 16,
};

// The objectNames of the pages of PageControl1, by index.
const std::array<QString, kPageCount>& pageNames();

struct Node {
    const char16_t* caption;
    int code;
    int depth;  // 0 = root, 1 = child of the root, 2 = grandchild
};

// The tree in display order (a node's parent is the nearest earlier node one level up).
std::span<const Node> treeNodes();

// Where a code leads, before the input-type and security rules of the click.
struct Target {
    int page = -1;        // -1: nothing to show
    int connection = -1;  // 0..4 for the connection nodes
    int input = -1;       // 0..7 for the input nodes
};
Target targetForCode(int code);

} // namespace rv::nav
