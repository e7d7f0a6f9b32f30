#include "toolkit/popup_script.h"

namespace toolkit_internal {
PopupScript& CurrentPopupScript() {
    static PopupScript instance;
    return instance;
}
}  // namespace toolkit_internal
