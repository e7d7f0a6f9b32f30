// JSON text for the service's answers: a string escaped so that no byte a station wrote can end
// it, nor open markup where a page puts it (<, > and & as \u escapes).
#pragma once

#include <string>

namespace plant {

// `text` as a JSON string, quotes included.
std::string JsonString(const std::string& text);
// `"name":"text"`, a member of an object.
std::string JsonField(const char* name, const std::string& text);

}  // namespace plant
