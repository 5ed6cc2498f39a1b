#pragma once
// Every command of the program as plain data: what the menus, the toolbar and the status bar
// show for it, where it is offered, and who carries it out how. The frames build their menus,
// toolbar and prompts from this table only, so a text is written down exactly once; the
// application, the frames and the document commands carry their commands out through its
// handler column, so a command is added in one row.

#include <span>
#include <string>
#include <variant>
#include <vector>

#include "CommandTarget.h"

class CChildFrame;
class CDocCommands;
class CMainFrame;
class COstrelApp;

// Where a command is offered.
enum CommandPlace : unsigned {
    kPlaceMenu128 = 1u,  // the menu bar while no document is open
    kPlaceMenu129 = 2u,  // the menu bar while a document is open
    kPlaceToolbar = 4u,  // toolbar 128
};

// Who carries a command out (routing asks the targets in their order; each answers from here).
enum class CommandCarrier { App, MainFrame, ChildFrame, Document, View };

// The handler of the carrier the row names. The view lies below this table and carries its
// commands from handlers of its own, so its rows hold none.
using CommandHandler = std::variant<std::monostate, TCommandHandler<COstrelApp>, TCommandHandler<CMainFrame>,
                                    TCommandHandler<CChildFrame>, TCommandHandler<CDocCommands>>;

struct CCommandInfo {
    int id;
    const char* label;     // as shown under menu 129 (text after "\t" is the shortcut); null: toolbar only
    const char* label128;  // as shown under menu 128 when it differs there; else null
    const char* prompt;    // status-bar prompt
    const char* toolTip;   // null: none
    unsigned places;       // CommandPlace bits
    CommandCarrier carrier;
    CommandHandler handler{};  // none: carried by the view, which keeps its own handlers
};

std::span<const CCommandInfo> CommandTable();
// The entry of id, or null. The recent-file entries after the first share its entry.
const CCommandInfo* FindCommand(int id);
// T's handler of id from the table, or null when T does not carry it.
template <class T>
const TCommandHandler<T>* TableHandler(int id) {
    const CCommandInfo* info = FindCommand(id);
    return info ? std::get_if<TCommandHandler<T>>(&info->handler) : nullptr;
}

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
