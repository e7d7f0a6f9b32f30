#include "plant/html.h"

namespace plant {

std::string HtmlText(const std::string& text) {
    std::string html;
    for (const char c : text) {
        switch (c) {
            case '&':
                html += "&amp;";
                break;
            case '<':
                html += "&lt;";
                break;
            case '>':
                html += "&gt;";
                break;
            case '"':
                html += "&quot;";
                break;
            case '\'':
                html += "&#39;";
                break;
            default:
                html += c;
        }
    }
    return html;
}

std::string Page(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html>\n<html lang=\"ko\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>" +
           HtmlText(title) +
           "</title><link rel=\"stylesheet\" href=\"/static/plant.css\"></head>"
           "<body>\n" +
           body + "\n</body></html>\n";
}

std::string PageHeader(const std::string& title, const std::string& user, const std::string& role) {
    struct Link {
        const char* path;
        const char* title;
        bool administrators_only;
    };
    static constexpr Link LINKS[] = {
        {"/line", "라인 현황", false}, {"/yield", "수율", false},      {"/charts", "관리도", false},
        {"/trace", "추적", false},     {"/trail", "변경 기록", false}, {"/users", "사용자", true},
    };
    std::string nav;
    for (const Link& link : LINKS) {
        if (title != link.title && (!link.administrators_only || role == "administrator")) {
            nav += std::string("<a href=\"") + link.path + "\">" + link.title + "</a> ";
        }
    }
    return "<header><h1>" + HtmlText(title) + "</h1><nav>" + nav + "</nav><span class=\"user\">" +
           HtmlText(user) + "</span></header>\n";
}

}  // namespace plant
