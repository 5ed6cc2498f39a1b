#pragma once
// Every command of the program as plain data: what the menus, the toolbar and the status bar
// show for it, and where it is offered. The frames build their menus, toolbar and prompts from
// this table only, so a text is written down exactly once.

#include <span>
#include <string>
#include <vector>

// Where a command is offered.
enum CommandPlace : unsigned {
    kPlaceMenu128 = 1u,  // the menu bar while no document is open
    kPlaceMenu129 = 2u,  // the menu bar while a document is open
    kPlaceToolbar = 4u,  // toolbar 128
};

// Who carries a command out (for reading the table; routing asks the targets themselves).
enum class CommandCarrier { App, MainFrame, ChildFrame, Document, View };

struct CCommandInfo {
    int id;
    const char* label;     // as shown under menu 129 (text after "\t" is the shortcut); null: toolbar only
    const char* label128;  // as shown under menu 128 when it differs there; else null
    const char* prompt;    // status-bar prompt
    const char* toolTip;   // null: none
    unsigned places;       // CommandPlace bits
    CommandCarrier carrier;
};

std::span<const CCommandInfo> CommandTable();
// The entry of id, or null. The recent-file entries after the first share its entry.
const CCommandInfo* FindCommand(int id);

// A menu label split at "\t": the item text and the key sequence text after it.
struct CMenuLabel {
    std::string text;
    std::string shortcut;  // empty when the label names none
};
CMenuLabel SplitMenuLabel(const char* label);
// The label a menu shows for id (menu 128 or 129), split; empty text when id has no label.
CMenuLabel MenuLabelFor(int id, int menu);

// Menu bars as trees. Recent marks the place of the recent-file entries.
struct CMenuNode {
    enum class Kind { Command, Separator, Popup, Recent };
    Kind kind;
    int id = 0;                       // Command
    const char* title = nullptr;      // Popup
    std::vector<CMenuNode> children;  // Popup
};
const std::vector<CMenuNode>& MenuBarLayout(int menu);  // 128 or 129

// Toolbar 128 from left to right; 0 is a separator gap.
std::span<const int> ToolbarLayout();

// Number of recent-file entries and the id of the first.
constexpr int kRecentFileCount = 4;
bool IsRecentFileCommand(int id);
