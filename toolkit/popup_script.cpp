#include "toolkit/popup_script.h"

namespace toolkit_internal {
PopupScript& Popup_script() {
    static PopupScript instance;
    return instance;
}
}  // namespace toolkit_internal
