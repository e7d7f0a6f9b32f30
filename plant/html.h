// The service's pages: text escaped for HTML, and the frame every page shares (Korean, fitted to a
// phone's width).
#pragma once

#include <string>

namespace plant {

// `text` with &, <, >, " and ' as entities: whatever a station or a user wrote shows as text.
std::string HtmlText(const std::string& text);
// A whole page titled `title` around `body` (markup already escaped where it must be).
std::string Page(const std::string& title, const std::string& body);
// A page's header: its title, the links to every page (users only for an administrator) and the
// session's user.
std::string PageHeader(const std::string& title, const std::string& user, const std::string& role);

}  // namespace plant
