// The loaded panels and their controls, by handle and id: what every part of the toolkit looks up.
#include "toolkit/internal.h"

namespace toolkit_internal {

// Never destroyed at exit: panels are widgets and must go before the application object.
std::map<int, Panel>& Panels() {
    static auto* panels = new std::map<int, Panel>;
    return *panels;
}

void DiscardAllPanels() {
    Panels().clear();
}

Panel* FindPanel(int handle) {
    auto it = Panels().find(handle);
    return it == Panels().end() ? nullptr : &it->second;
}

Control* FindControl(int panel, int control) {
    Panel* p = FindPanel(panel);
    if (p == nullptr) {
        return nullptr;
    }
    auto it = p->controls.find(control);
    return it == p->controls.end() || it->second.widget.isNull() ? nullptr : &it->second;
}

}  // namespace toolkit_internal
